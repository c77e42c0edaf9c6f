#!/usr/bin/env bash
# Usage: scripts/screenshots.sh BIN_DIR [OUT_DIR]
# Saves PNG pictures of the window (idle, with a filled list, with decode-only checked, with high
# quality checked, during a run) at 100 % in OUT_DIR (default docs/screenshots) and at 200 % in
# OUT_DIR/200.
set -euo pipefail

BIN="$(cd -- "${1:?usage: $0 BIN_DIR [OUT_DIR]}" && pwd)"
ROOT="$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="${2:-$ROOT/docs/screenshots}"
mkdir -p "$OUT/200"
work="$(mktemp -d)"
trap 'rm -rf -- "$work"' EXIT

gen() { "$BIN/tolvane-wavgen" "$work/$1" "${@:2}" >/dev/null; }
gen "夏の海辺で.wav" --rate 44100 --bits 16 --channels 2 --seconds 9.4 --signal sweep
gen "interview_2024-03-11.wav" --rate 16000 --bits 16 --channels 1 --seconds 6.2
gen "ピアノ練習曲 第3番.wav" --rate 96000 --bits 24 --channels 2 --seconds 4.8 --signal tone
gen "field-recording rain.wav" --rate 48000 --bits 24 --channels 1 --seconds 7.5 --signal noise
gen "朝のニュース.wav" --rate 22050 --bits 8 --channels 1 --seconds 3.3
gen "podcast episode 12.wav" --rate 32000 --bits 16 --channels 2 --seconds 5.9 --signal sweep
mkdir -p "$work/mp3"
gen "mp3/ライブ録音.wav" --rate 44100 --bits 16 --channels 2 --seconds 8 --signal sweep
gen "mp3/Demo Track 07.wav" --rate 48000 --bits 16 --channels 2 --seconds 6 --signal tone
XDG_CONFIG_HOME="$work/config" "$BIN/tolvane-cli" "$work/mp3/"*.wav --rate 44100 --mode Stereo16bit \
    --no-decode-only --mp3 192 --out "$work" >/dev/null
rm -rf -- "$work/mp3"

shots() {
    env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" "$@" "$BIN/tolvane-shots" "$dir" "$work"/*.wav "$work"/*.mp3
}
dir="$OUT" shots
dir="$OUT/200" shots QT_SCALE_FACTOR=2
echo "screenshots: $OUT and $OUT/200"
