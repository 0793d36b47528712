#!/usr/bin/env bash
# Builds everything and runs every test. Usage: scripts/test.sh [build-dir]
# The fuzz targets also run briefly on their corpora (FUZZ_SECONDS each, default 15; 0 replays the corpora only),
# built in <build-dir>-fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=${1:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
fuzz_status=0
FUZZ_BUILD_DIR="$build-fuzz" FUZZ_JOBS=${FUZZ_JOBS:-4} bash scripts/fuzz.sh all "${FUZZ_SECONDS:-15}" || fuzz_status=$?
(cd "$build" && ctest -j"$(nproc)" --output-on-failure)
if [ "$fuzz_status" -ne 0 ]; then
    echo "test.sh: a fuzz target failed (see its findings in $build-fuzz/findings)" >&2
    exit "$fuzz_status"
fi
