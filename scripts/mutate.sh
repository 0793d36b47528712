#!/usr/bin/env bash
# Checks that the tests catch deliberate mistakes: applies each change of a list, one at a time, builds, runs the test
# that must catch it (and with --suite every test), restores the source and reports each change nothing caught.
# Run on demand, never in CI: each change rebuilds what it touches.
# Usage: scripts/mutate.sh [--suite] [--build DIR] [--only TEXT] [LIST]
#   LIST         the changes (default tests/mutations.txt)
#   --suite      also run the whole suite (ctest) when the named test passes
#   --build DIR  the build folder (default build, configured here when it is missing)
#   --only TEXT  only the changes whose line holds TEXT
# A line of the list: file @@ search @@ replace @@ test program @@ GoogleTest filter. The search text must occur
# exactly once in the file (source folder relative); '#' starts a comment line. Exits 1 when any change was not
# caught, did not apply or did not build.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
source_dir=$PWD

list=tests/mutations.txt
build=build
suite=0
only=
while [ $# -gt 0 ]; do
    case $1 in
    --suite) suite=1 ;;
    --build)
        build=$2
        shift
        ;;
    --only)
        only=$2
        shift
        ;;
    -h | --help)
        sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    -*)
        echo "mutate.sh: unknown option '$1'" >&2
        exit 2
        ;;
    *) list=$1 ;;
    esac
    shift
done
if [ ! -f "$list" ]; then
    echo "mutate.sh: no list '$list'" >&2
    exit 2
fi
case $build in
/*) ;;
*) build="$source_dir/$build" ;;
esac

if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 2
fi

work=$(mktemp -d)
current=
restore() {
    if [ -n "$current" ] && [ -f "$work/original" ]; then
        cp "$work/original" "$current" # a new time, so the build takes the source again
        current=
    fi
}
cleanup() {
    restore
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Replaces the one occurrence of the search text; exit 3 when it is not there exactly once.
apply() {
    python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, search, replace = sys.argv[1:4]
with open(path, encoding="utf-8") as f:
    text = f.read()
if text.count(search) != 1:
    sys.exit(3)
with open(path, "w", encoding="utf-8") as f:
    f.write(text.replace(search, replace, 1))
EOF
}

total=0
caught=0
programs=()
missed=()
broken=()
line_no=0
while IFS= read -r line || [ -n "$line" ]; do
    line_no=$((line_no + 1))
    case $line in
    '' | '#'*) continue ;;
    esac
    if [ -n "$only" ] && [[ $line != *"$only"* ]]; then
        continue
    fi
    rest=$line
    fields=()
    while [[ $rest == *' @@ '* ]]; do
        fields+=("${rest%% @@ *}")
        rest=${rest#* @@ }
    done
    fields+=("$rest")
    if [ ${#fields[@]} -ne 5 ]; then
        echo "line $line_no: not 'file @@ search @@ replace @@ program @@ filter'" >&2
        broken+=("line $line_no (malformed)")
        continue
    fi
    file=${fields[0]}
    search=${fields[1]}
    replace=${fields[2]}
    program=${fields[3]}
    filter=${fields[4]}
    total=$((total + 1))
    label="line $line_no: $file: '$search' -> '$replace'"

    if [ ! -f "$file" ]; then
        echo "MISSING  $label (no such file)"
        broken+=("$label (no such file)")
        continue
    fi
    cp -p "$file" "$work/original"
    current=$file
    if ! apply "$file" "$search" "$replace"; then
        restore
        echo "STALE    $label (the search text is not there exactly once)"
        broken+=("$label (stale)")
        continue
    fi
    [[ " ${programs[*]} " == *" $program "* ]] || programs+=("$program")
    if ! cmake --build "$build" --target "$program" >"$work/build.log" 2>&1; then
        restore
        echo "NO BUILD $label"
        tail -5 "$work/build.log" | sed 's/^/    /'
        broken+=("$label (does not build)")
        continue
    fi
    binary=$(find "$build" -type f -name "$program" -perm -u+x -print -quit)
    if [ -z "$binary" ]; then
        restore
        echo "NO TEST  $label (no program $program)"
        broken+=("$label (no program)")
        continue
    fi
    verdict=missed
    if ! (cd "$(dirname "$binary")" && timeout 600 "$binary" --gtest_filter="$filter" >"$work/test.log" 2>&1); then
        verdict="caught by $program $filter"
    elif grep -q '0 tests, listed below\|Running 0 tests' "$work/test.log"; then
        verdict="missed (the filter $filter runs no test)"
    elif [ $suite -eq 1 ]; then
        cmake --build "$build" >"$work/build.log" 2>&1
        if ! (cd "$build" && ctest -j"$(nproc)" >"$work/suite.log" 2>&1); then
            verdict="caught by the suite, not by $filter: $(grep -m3 '(Failed)' "$work/suite.log" | tr -s ' ' | tr '\n' ';')"
        fi
    fi
    restore
    if [[ $verdict == missed* ]]; then
        echo "MISSED   $label: $verdict"
        missed+=("$label")
    else
        echo "CAUGHT   $label: $verdict"
        caught=$((caught + 1))
    fi
done <"$list"

# The programs built go back to the unchanged source (with --suite, everything).
if [ $suite -eq 1 ]; then
    cmake --build "$build" >/dev/null 2>&1
elif [ ${#programs[@]} -gt 0 ]; then
    cmake --build "$build" --target "${programs[@]}" >/dev/null 2>&1
fi

echo "mutate.sh: $caught of $total changes caught"
for m in "${missed[@]}"; do
    echo "  not caught: $m"
done
for b in "${broken[@]}"; do
    echo "  not tried: $b"
done
[ ${#missed[@]} -eq 0 ] && [ ${#broken[@]} -eq 0 ]
