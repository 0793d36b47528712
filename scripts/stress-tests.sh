#!/usr/bin/env bash
# The suite under load, run on demand (not in CI): RUNS runs in a row of `ctest -j16` in BUILD, then PAIRS rounds in
# which the suites of BUILD and of a second build folder SECOND run at the same time (each with -j8), so that every
# test also meets a twin of itself in another process. Both folders are configured and built first.
# Usage: scripts/stress-tests.sh [RUNS] [PAIRS] [BUILD] [SECOND]   (defaults 20, 2, build, build-stress)
# Each run's log goes to BUILD/stress/; prints every run's failures and a summary; exits 1 when any run failed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
pairs=${2:-2}
build=${3:-build}
second=${4:-build-stress}
for number in "$runs" "$pairs"; do
    case "$number" in
    '' | *[!0-9]*)
        echo "stress-tests.sh: RUNS and PAIRS must be whole numbers, not '$number'" >&2
        exit 2
        ;;
    esac
done

bash scripts/deps.sh
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
for folder in "$build" "$second"; do
    cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
    cmake --build "$folder" -j"$(nproc)"
done
logs="$build/stress"
mkdir -p "$logs"

failed_runs=0
total_runs=0
declare -A failures=() # test name -> how many runs it failed in

# One suite: its log, and the names of the tests that failed recorded in $logs/<name>.failed.
suite() {
    local folder=$1 name=$2 jobs=$3
    local started=$SECONDS status=0
    (cd "$folder" && ctest -j"$jobs" --output-on-failure) >"$logs/$name.log" 2>&1 || status=$?
    sed -n '/The following tests FAILED:/,$p' "$logs/$name.log" | sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\).*/\1/p' \
        >"$logs/$name.failed"
    if [ "$status" -ne 0 ] && [ ! -s "$logs/$name.failed" ]; then
        echo "(ctest ended with $status and named no test)" >"$logs/$name.failed"
    fi
    echo "$((SECONDS - started))" >"$logs/$name.seconds"
}

report() {
    local name=$1
    total_runs=$((total_runs + 1))
    local seconds
    seconds=$(cat "$logs/$name.seconds")
    if [ -s "$logs/$name.failed" ]; then
        failed_runs=$((failed_runs + 1))
        printf '%-12s %5ss  FAILED: %s\n' "$name" "$seconds" "$(tr '\n' ' ' <"$logs/$name.failed")"
        while read -r test; do
            failures[$test]=$((${failures[$test]:-0} + 1))
        done <"$logs/$name.failed"
    else
        printf '%-12s %5ss  passed\n' "$name" "$seconds"
    fi
}

for ((i = 1; i <= runs; ++i)); do
    suite "$build" "run-$i" 16
    report "run-$i"
done
for ((i = 1; i <= pairs; ++i)); do
    suite "$build" "pair-$i-a" 8 &
    suite "$second" "pair-$i-b" 8 &
    wait
    report "pair-$i-a"
    report "pair-$i-b"
done

echo "stress-tests.sh: $failed_runs of $total_runs suites failed (logs in $logs)"
for test in "${!failures[@]}"; do
    echo "  $test failed in ${failures[$test]} suite(s)"
done
[ "$failed_runs" -eq 0 ]
