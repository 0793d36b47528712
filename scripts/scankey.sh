#!/usr/bin/env bash
# The scan key's job: builds the system, installs a sample model INI under a C:\ root of its own, and presses the
# simulated device's scan key (tools/scankey): the still-image service stand-in starts Velmora, which scans and saves
# the pages in the folder of its settings (My Pictures by default, build/scankey-root/Pictures) and prints their names.
# Usage: scripts/scankey.sh [build-dir] [scankey options]. The build folder is absolute or relative to the source
# folder; an argument that starts with "-" is an option, and the build folder is then "build".
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
. scripts/build-folder.sh
take_build_folder "$@"
shift "$build_shift"
build_targets velmora scankey

stage="$build/stage"
root="$build/scankey-root"
mkdir -p "$root/Windows"
# The model's INI file: ScannerVazeDozi.exe less its last 12 characters, in the Windows folder of the C:\ root. The
# File Prefix names the staged companion files (kvxlld, kvxpsrc<language>, kvxQuillet).
cat > "$root/Windows/Scanner.ini" <<'INI'
[TWAIN]
File Prefix=kvx
Version=1.0.0.1
Manufacturer=Korvel
Product Name(kvx7731)=Korvel KVX 7731
Setting Folder=\Korvel
Setting Path=\Korvel\kvx7731\
Registry=SOFTWARE\Korvel\kvx7731
[English]
Push UI Title=Korvel Scan Manager
[Simplified_Chinese]
Push UI Title=Korvel 扫描管理器
[Hebrew]
Push UI Title=מנהל הסריקה Korvel
INI

export PLATFORM_ROOT="$root"
exec "$stage/bin/scankey" "$@"
