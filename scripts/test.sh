#!/usr/bin/env bash
# Builds everything and runs every test. Usage: scripts/test.sh [build-dir]
# The fuzz targets also run briefly on their corpora (FUZZ_SECONDS each, default 15; 0 replays the corpora only),
# built in <build-dir>-fuzz. The sanitizer configuration (AddressSanitizer and UndefinedBehaviorSanitizer) is built
# in <build-dir>-asan as far as the suites of SANITIZE_SUITES (folders under tests/) need, and those suites run there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
fuzz_status=0
FUZZ_BUILD_DIR="$build-fuzz" FUZZ_JOBS=${FUZZ_JOBS:-4} bash scripts/fuzz.sh all "${FUZZ_SECONDS:-15}" || fuzz_status=$?
(cd "$build" && ctest -j"$(nproc)" --output-on-failure)

# The readers of outside input and the writers, under the sanitizers; the whole configuration would take CI's time.
suites=${SANITIZE_SUITES:-scripts settings scanner devicescan}
cmake -S . -B "$build-asan" -G Ninja -DSANITIZE=ON >/dev/null
targets=()
for suite in $suites; do
    targets+=("$(basename "$suite")_tests")
done
cmake --build "$build-asan" -j"$(nproc)" --target "${targets[@]}"
for suite in $suites; do
    (cd "$build-asan/tests/$suite" && ctest -j"$(nproc)" --output-on-failure)
done
if [ "$fuzz_status" -ne 0 ]; then
    echo "test.sh: a fuzz target failed (see its findings in $build-fuzz/findings)" >&2
    exit "$fuzz_status"
fi
