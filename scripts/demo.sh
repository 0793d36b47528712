#!/usr/bin/env bash
# The main job: builds the system, installs a sample model INI under a demo C:\ root, and has the command-line imaging
# application load Quennet through the data source manager stand-in, printing its identity and every state.
# Usage: scripts/demo.sh [build-dir] [twainapp options]. The build folder is absolute or relative to the source
# folder; an argument that starts with "-" is an option, and the build folder is then "build".
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=build
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
    build=$1
    shift
fi
case $build in
/*) ;;
*) build="$PWD/$build" ;;
esac
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target quennet twaindsm_standin twainapp

stage="$build/stage"
root="$build/demo-root"
mkdir -p "$root/Windows"
# The model's INI file: Scanner64.ds less its last 5 characters, in the Windows folder of the C:\ root.
cat > "$root/Windows/Scanner.ini" <<'INI'
[TWAIN]
File Prefix=kvx
Version=1.0.0.1
Manufacturer=Korvel
Product Name(kvx7731)=Korvel KVX 7731
Setting Folder=\Korvel
Setting Path=\Korvel\kvx7731\
Registry=SOFTWARE\Korvel\kvx7731
HasADF(kvx7731)=TRUE
IsAutoduplex(kvx7731)=FALSE
HasManualDuplex(kvx7731)=TRUE
HasAutoCrop(kvx7731)=TRUE
HasA3(kvx7731)=FALSE
INI

export PLATFORM_ROOT="$root"
export TWAIN_DS_PATH="$stage/twain"
export PLATFORM_TWAIN_DSM="$stage/lib/libtwaindsm_standin.so"
exec "$stage/bin/twainapp" "$@"
