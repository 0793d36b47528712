#!/usr/bin/env bash
# The main job: builds the system, installs a sample model INI under a demo C:\ root, and has the command-line imaging
# application load Quennet through the data source manager stand-in, printing its identity and every state. Without
# options it scans one A4 colour page at 300 dpi without the window, by memory transfer, into
# <build-dir>/demo-scan.png.
# Usage: scripts/demo.sh [build-dir] [twainapp options]. The build folder is absolute or relative to the source
# folder; an argument that starts with "-" is an option, and the build folder is then "build".
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
. scripts/build-folder.sh
take_build_folder "$@"
shift "$build_shift"
build_targets quennet twaindsm_standin twainapp

stage="$build/stage"
root="$build/demo-root"
mkdir -p "$root/Windows"
# The File Prefix names the companion files the build staged beside the module (<prefix>lld.so, <prefix>Tonalis.so,
# <prefix>twrc<language>.so): the build's own choice, "kvx" unless configured otherwise.
prefix=$(sed -n 's/^SCANDRV_FILE_PREFIX:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
prefix=${prefix:-kvx}
# The model's INI file: Scanner64.ds less its last 5 characters, in the Windows folder of the C:\ root.
{
    printf '[TWAIN]\nFile Prefix=%s\n' "$prefix"
    cat <<'INI'
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
} > "$root/Windows/Scanner.ini"

export PLATFORM_ROOT="$root"
export TWAIN_DS_PATH="$stage/twain"
export PLATFORM_TWAIN_DSM="$stage/lib/libtwaindsm_standin.so"
if [ $# -eq 0 ]; then
    page="$build/demo-scan.png"
    rm -f "$page"
    echo "Scanning one A4 colour page at 300 dpi from the simulated device into $page"
    "$stage/bin/twainapp" --pixeltype rgb --resolution 300 --size a4 --enable --xfer memory --pages 1 --out "$page"
    if [ -f "$page" ]; then
        echo "The scanned page: $page"
    else
        echo "demo: no page was written" >&2
        exit 1
    fi
    exit 0
fi
exec "$stage/bin/twainapp" "$@"
