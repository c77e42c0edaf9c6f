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
for tool in "$WAVGEN" "$CLI"; do
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
gen sweep-44100Hz-8bit-stereo --rate 44100 --bits 8 --channels 2 --seconds 3 --signal sweep --freq 100 --freq2 15000
gen sweep-48000Hz-24bit-mono --rate 48000 --bits 24 --channels 1 --seconds 4 --signal sweep --freq 20 --freq2 20000
gen tone-440-96000Hz-24bit-stereo --rate 96000 --bits 24 --channels 2 --seconds 3 --signal tone --freq 440 --amplitude 0.8
# Already in a target format, so one of the two runs reports each as unchanged.
gen tone-330-22050Hz-8bit-mono --rate 22050 --bits 8 --channels 1 --seconds 2 --signal tone --freq 330
gen tone-660-48000Hz-24bit-stereo --rate 48000 --bits 24 --channels 2 --seconds 2 --signal tone --freq 660

convert() {
    local rate="$1" mode="$2"
    local out="demo/out-$rate-$mode"
    echo
    echo "run-demo: tolvane-cli demo/in/*.wav --rate $rate --mode $mode --out $out"
    if ! "$CLI" demo/in/*.wav --rate "$rate" --mode "$mode" --out "$out"; then
        echo "run-demo: tolvane-cli reported failures for --rate $rate --mode $mode" >&2
        exit 1
    fi
}

convert 22050 Mono8bit
convert 48000 Stereo24bit

echo
echo "run-demo: done"
for dir in demo/in demo/out-22050-Mono8bit demo/out-48000-Stereo24bit; do
    echo "$ROOT/$dir:"
    if [ -d "$dir" ] && [ -n "$(ls -A "$dir")" ]; then
        find "$dir" -maxdepth 1 -type f -printf '  %10s  %f\n' | sort -k2
    else
        echo "  (empty)"
    fi
done
