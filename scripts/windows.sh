#!/usr/bin/env bash
# Helpers for the Windows build, cross-compiled on Debian with MinGW-w64 and
# run under Wine. Sourced by windows-test and package-windows, after deps.sh.
#
#   build-win-deps/  libpng and libjpeg-turbo, built static from Debian's own
#                    source packages (JUCE's bundled copies are not shipped by
#                    Debian); built once per folder
#   build-win/       the program, its tests and the portable zip

kvr_windows_packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    libz-mingw-w64-dev mingw-w64-tools
    icoutils
    wine wine64 fonts-wine
    dpkg-dev zip unzip
)

kvr_windows_deps_dir=build-win-deps
kvr_windows_build_dir=build-win

# Fetches Debian's sources of libpng1.6 and libjpeg-turbo with an apt
# configuration of the build folder's own (the machine's sources and lists are
# left as they are) and builds them as static MinGW libraries into
# build-win-deps/prefix. Does nothing when that was done before.
kvr_windows_deps() {
    local root
    root="$(pwd)"
    local deps="$root/$kvr_windows_deps_dir"
    local prefix="$deps/prefix"
    [ -f "$prefix/.built" ] && return 0

    # Whatever an interrupted run left is fetched again.
    rm -rf "$deps/src"
    mkdir -p "$deps/apt/lists/partial" "$deps/apt/cache/archives/partial" "$deps/src"
    echo "deb-src http://deb.debian.org/debian bookworm main" >"$deps/apt/sources.list"
    local apt=(-o "Dir::Etc::sourcelist=$deps/apt/sources.list" -o "Dir::Etc::sourceparts=-"
        -o "Dir::State::Lists=$deps/apt/lists" -o "Dir::Cache=$deps/apt/cache")
    # As root apt fetches as the user _apt, who may not write into the build folder.
    [ "$(id -u)" -ne 0 ] || apt+=(-o "APT::Sandbox::User=root")
    apt-get "${apt[@]}" update -qq
    (cd "$deps/src" && apt-get "${apt[@]}" source -qq libpng1.6 libjpeg-turbo >/dev/null)

    local toolchain="$root/cmake/MinGW64.cmake"
    local png jpeg
    png="$(find "$deps/src" -maxdepth 1 -type d -name 'libpng1.6-*' | head -1)"
    jpeg="$(find "$deps/src" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -1)"

    nice -n 10 cmake -S "$jpeg" -B "$deps/jpeg-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF >/dev/null
    nice -n 10 cmake --build "$deps/jpeg-build" --parallel 2 --target install >/dev/null
    # As Debian's libjpeg-dev does: JUCE reads the library's private header.
    cp "$jpeg/jpegint.h" "$prefix/include/"

    nice -n 10 cmake -S "$png" -B "$deps/png-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF >/dev/null
    nice -n 10 cmake --build "$deps/png-build" --parallel 2 --target install >/dev/null

    touch "$prefix/.built"
}

# Configures build-win: the program, its tests and the zip, cross-compiled,
# with the Windows programs run under Wine in build-win/wine (scripts/wine-run).
# Extra arguments go to cmake.
kvr_windows_configure() {
    local root juce
    root="$(pwd)"
    # Debian's JUCE, whose build tools run on this machine.
    juce="$(dirname "$(dpkg -L juce-modules-source | grep '/JUCEConfig.cmake$' | head -1)")"
    cmake -S . -B "$kvr_windows_build_dir" -DCMAKE_BUILD_TYPE=Release -DJUCE_DIR="$juce" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/MinGW64.cmake" \
        -DCMAKE_PREFIX_PATH="$root/$kvr_windows_deps_dir/prefix" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run;$root/$kvr_windows_build_dir/wine" \
        "$@" >/dev/null
}
