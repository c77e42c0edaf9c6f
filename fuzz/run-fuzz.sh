#!/bin/sh
# Runs each fuzz target for a bounded time, one after the other, in one job.
#   fuzz/run-fuzz.sh BUILD_DIR SECONDS [TARGET...]
# Each target works on its own copy of fuzz/corpus/<target> under BUILD_DIR/fuzz-corpus, so the
# inputs it finds never land in the repository; crashes go to BUILD_DIR/fuzz-artifacts/<target>/.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2
[ $# -gt 0 ] || set -- waveinfo mpeg convwave ini tagtext tags

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen

status=0
for target in "$@"; do
    case $target in
    waveinfo) max_len=4096 dict=wave.dict ;;
    mpeg) max_len=4096 dict=mpeg.dict ;;
    convwave) max_len=16384 dict=wave.dict ;;
    ini) max_len=4096 dict=ini.dict ;;
    tagtext) max_len=256 dict=tagtext.dict ;;
    tags) max_len=16384 dict=tags.dict ;;
    *) echo "run-fuzz: unknown target $target" >&2; exit 2 ;;
    esac
    corpus=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-artifacts/$target
    logs=$build/fuzz-logs/$target
    mkdir -p "$corpus" "$artifacts" "$logs"
    cp -n "$root/fuzz/corpus/$target/"* "$corpus/"
    rm -f "$logs"/fuzz-*.log
    echo "fuzz_$target: ${seconds}s, corpus $corpus"
    # With -jobs libFuzzer writes the run's output to fuzz-0.log in the current folder.
    if ! (cd "$logs" && "$build/bin/fuzz_$target" "$corpus" -max_total_time="$seconds" -jobs=1 -workers=1 \
        -max_len="$max_len" -rss_limit_mb=2048 -timeout=10 -dict="$root/fuzz/$dict" \
        -artifact_prefix="$artifacts/" -print_final_stats=1 >/dev/null 2>&1); then
        status=1
        echo "fuzz_$target: FAILED, see $logs/fuzz-0.log and $artifacts/" >&2
        tail -n 40 "$logs/fuzz-0.log" >&2 || true
    fi
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done ' "$logs/fuzz-0.log" | sed "s/^/  /" || true
    echo "  corpus: $(ls "$corpus" | wc -l) inputs"
done
exit $status
