#!/usr/bin/env bash
# Usage: scripts/run-demo.sh BIN_DIR
# Makes a few demo WAV inputs under demo/in/ and converts them twice with tolvane-cli.
set -euo pipefail

if [ "$#" -ne 1 ]; then
    echo "usage: $0 BIN_DIR" >&2
    exit 2
fi

# BIN_DIR is relative to the caller's folder; resolve it before moving to the repo root.
if ! BIN="$(cd -- "$1" 2>/dev/null && pwd)"; then
    echo "run-demo: no such folder: $1 (build first: make build)" >&2
    exit 1
fi
ROOT="$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)"
WAVGEN="$BIN/tolvane-wavgen"
CLI="$BIN/tolvane-cli"
WINDOW="$BIN/tolvane"
for tool in "$WAVGEN" "$CLI" "$WINDOW"; do
    if [ ! -x "$tool" ]; then
        echo "run-demo: missing $tool (build first: make build)" >&2
        exit 1
    fi
done

cd "$ROOT"
# The generator and the converter never overwrite, so start from an empty folder each time.
rm -rf -- demo
mkdir -p demo/in

gen() {
    local name="$1"
    shift
    "$WAVGEN" "demo/in/$name.wav" "$@"
}

echo "run-demo: generating inputs in $ROOT/demo/in"
gen tone-440-8000Hz-8bit-mono --rate 8000 --bits 8 --channels 1 --seconds 3 --signal tone --freq 440
gen sweep-22050Hz-16bit-stereo --rate 22050 --bits 16 --channels 2 --seconds 4 --signal sweep --freq 50 --freq2 10000
gen tone-1000-44100Hz-16bit-stereo --rate 44100 --bits 16 --channels 2 --seconds 3 --signal tone --freq 1000
gen sweep-48000Hz-24bit-mono --rate 48000 --bits 24 --channels 1 --seconds 4 --signal sweep --freq 20 --freq2 20000
gen tone-440-96000Hz-24bit-stereo --rate 96000 --bits 24 --channels 2 --seconds 3 --signal tone --freq 440 --amplitude 0.8

# An MP3 made by our own encoder, with an ID3v2 tag in front that the converter strips first.
mkdir -p demo/work
"$WAVGEN" demo/work/song.wav --rate 44100 --bits 16 --channels 2 --seconds 5 --signal sweep --freq 200 --freq2 4000
"$CLI" demo/work/song.wav --rate 44100 --mode Stereo16bit --no-decode-only --mp3 192 --out demo/work >/dev/null
title="Tolvane demo"
frame_size=$((${#title} + 1))
tag_size=$((10 + frame_size))
byte() { printf "\\$(printf '%03o' "$1")"; }
{
    printf 'ID3\003\000\000\000\000\000'
    byte "$tag_size"
    printf 'TIT2\000\000\000'
    byte "$frame_size"
    printf '\000\000\000%s' "$title"
    cat demo/work/song.mp3
} >demo/in/tagged-sweep-44100Hz-192k.mp3

# Compressed inputs made through GStreamer: AAC in MP4 and Vorbis in Ogg.
gst() {
    local name="$1" encoder="$2"
    gst-launch-1.0 -q audiotestsrc num-buffers=200 samplesperbuffer=1024 wave=sine freq=660 \
        ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! $encoder ! filesink location="demo/in/$name"
}
gst tone-660-aac.m4a "avenc_aac ! mp4mux"
gst tone-660-vorbis.ogg "vorbisenc ! oggmux"
rm -rf -- demo/work

convert() {
    local label="$1"
    shift
    local out="demo/out-$label"
    mkdir -p "$out"
    echo
    echo "run-demo: tolvane-cli demo/in/* $* --out $out"
    # Every choice is given, so the user's saved settings do not change the demo.
    if ! "$CLI" demo/in/* --dither --no-decode-only "$@" --out "$out"; then
        echo "run-demo: tolvane-cli reported failures for $label" >&2
        exit 1
    fi
}

convert wav --rate 22050 --mode Stereo16bit --wav
convert mp3 --rate 44100 --mode Stereo16bit --mp3 128

# The window itself, on the same inputs: listed, converted at once, closed when done. It runs as a
# throw-away user, so it neither reads nor changes your settings, and its plugin is registered
# there beforehand, so no first-start box waits for a click.
window_home="$(mktemp -d)"
trap 'rm -rf -- "$window_home"' EXIT
mkdir -p "$window_home/config/hesterby" "$window_home/data/gstreamer-1.0/plugins" "$window_home/run" demo/out-window
chmod 700 "$window_home/run"
cp -- "$BIN/libgstwavdest.so" "$window_home/data/gstreamer-1.0/plugins/"
printf '[Software\\hesterby\\tolvane]\nSoundPath=%s/\nTargetFreq=48000\nTargetMode=3\nDecodeOnly=0\nUseDither=1\nEncmp3=0\n' \
    "$ROOT/demo/out-window" >"$window_home/config/hesterby/tolvane.conf"
run_window() {
    env HOME="$window_home" XDG_CONFIG_HOME="$window_home/config" XDG_DATA_HOME="$window_home/data" \
        XDG_RUNTIME_DIR="$window_home/run" XDG_CACHE_HOME="$window_home/cache" timeout 300 "$@" "$WINDOW" demo/in/*
}
echo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run-demo: tolvane demo/in/* (on your display; it closes itself when the list is done)"
    run_window
else
    echo "run-demo: tolvane demo/in/* (no display: under Xvfb; it closes itself when the list is done)"
    run_window xvfb-run -a -s "-screen 0 1280x1024x24"
fi

echo
echo "run-demo: done"
for dir in demo/in demo/out-wav demo/out-mp3 demo/out-window; do
    echo "$ROOT/$dir:"
    if [ -d "$dir" ] && [ -n "$(ls -A "$dir")" ]; then
        find "$dir" -maxdepth 1 -type f -printf '  %10s  %f\n' | sort -k2
    else
        echo "  (empty)"
    fi
done
