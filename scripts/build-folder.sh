# The build folder of demo.sh and scankey.sh, sourced by them in the source folder.

# Sets `build` to the folder the first argument names, absolute or relative to the source folder, or to "build"
# when there is no argument or the first is an option (starts with "-"); `build_shift` to how many arguments that
# took (1 or 0).
take_build_folder() {
    build=build
    build_shift=0
    if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
        build=$1
        build_shift=1
    fi
    case $build in
    /*) ;;
    *) build="$PWD/$build" ;;
    esac
}

# Configures `build` and builds the targets named.
build_targets() {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j"$(nproc)" --target "$@"
}
