#!/usr/bin/env bash
# Builds the fuzz configuration (clang, libFuzzer, ASan, UBSan) in build-fuzz and runs fuzz targets on their seed
# corpora. Usage: scripts/fuzz.sh [TARGET|all] [SECONDS]
#   TARGET   a target of fuzz/ without its "fuzz_" (cfgfile, ds_entry, ...), or several joined by commas; all (the
#            default) runs every one
#   SECONDS  how long each target runs (default 60); 0 only runs the corpus once, as a regression check
# FUZZ_JOBS targets run at once (default 3). New inputs go to build-fuzz/corpus/<target>, findings to
# build-fuzz/findings/<target>/. Prints each target's executions and coverage; exits 1 when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
seconds=${2:-60}
jobs=${FUZZ_JOBS:-3}
build=${FUZZ_BUILD_DIR:-build-fuzz}

case "$seconds" in
'' | *[!0-9]*)
    echo "fuzz.sh: SECONDS must be a whole number, not '$seconds'" >&2
    exit 2
    ;;
esac

bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON >/dev/null
cmake --build "$build" --target fuzzers -j"$(nproc)"

targets=()
for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name#fuzz_}")
done
if [ "$target" != all ]; then
    IFS=, read -ra wanted <<<"$target"
    for name in "${wanted[@]}"; do
        if [ ! -x "$build/fuzz/fuzz_$name" ]; then
            echo "fuzz.sh: no target '$name'; the targets are: ${targets[*]}" >&2
            exit 2
        fi
    done
    targets=("${wanted[@]}")
fi

# The targets' C:\ roots, removed with this run, also those of targets that crashed, timed out or were stopped.
roots_base=/dev/shm
[ -d "$roots_base" ] && [ -w "$roots_base" ] || roots_base=${TMPDIR:-/tmp}
FUZZ_ROOTS=$(mktemp -d "$roots_base/fuzz-roots-XXXXXX")
export FUZZ_ROOTS
trap 'rm -rf "$FUZZ_ROOTS"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
command -v llvm-symbolizer >/dev/null || export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14

# One target: the committed seeds and regression inputs first, then SECONDS of fuzzing.
run_one() {
    local name=$1 log="$build/findings/$1/log"
    mkdir -p "$build/corpus/$name" "$build/findings/$name"
    local options=(-print_final_stats=1 -timeout=25 -rss_limit_mb=3072 "-artifact_prefix=$build/findings/$name/")
    # The registry and INI readers take files as large as a user's may be, so that a parse that grows faster than
    # its input shows as a timeout.
    case "$name" in
    registry | ini | office_devices | self_test) options+=(-max_len=262144) ;;
    esac
    if [ "$seconds" -eq 0 ]; then
        options+=(-runs=0)
    else
        options+=(-max_total_time="$seconds")
    fi
    if "$build/fuzz/fuzz_$name" "${options[@]}" "$build/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1; then
        echo ok >"$build/findings/$name/result"
    else
        echo failed >"$build/findings/$name/result"
    fi
}

for name in "${targets[@]}"; do
    rm -f "$build/findings/$name/result"
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    run_one "$name" &
done
wait

failed=0
printf '%-18s %12s %8s %10s  %s\n' target executions edges features result
for name in "${targets[@]}"; do
    log="$build/findings/$name/log"
    result=$(cat "$build/findings/$name/result" 2>/dev/null || echo failed)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
    edges=$(echo "$cov" | awk '{print $2}')
    features=$(echo "$cov" | awk '{print $4}')
    printf '%-18s %12s %8s %10s  %s\n' "$name" "${runs:-?}" "${edges:-?}" "${features:-?}" "$result"
    if [ "$result" != ok ]; then
        failed=1
        echo "---- $name: $log" >&2
        grep -E 'ERROR|SUMMARY|fuzz check failed|^    #[0-9]+ ' "$log" | head -40 >&2 || true
        ls "$build/findings/$name"/crash-* "$build/findings/$name"/leak-* "$build/findings/$name"/timeout-* \
            "$build/findings/$name"/oom-* 2>/dev/null >&2 || true
    fi
done
exit $failed
