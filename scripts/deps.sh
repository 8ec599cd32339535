#!/usr/bin/env bash
# Installs the Debian packages a tier needs, when any is missing.
#   scripts/deps.sh build|test|windows
# Installs as root, or through sudo, and says which. Exit status 1 when
# something is missing and cannot be installed here (no root and no sudo, or
# apt-get failed); the reason is on standard error.
set -u
case ${1:-build} in
    build) packages="cmake g++ ninja-build" ;;
    # The package test builds and checks a .deb (dpkg-shlibdeps, lintian,
    # file); the README's numpy lines are run with python3-numpy; qemu-user runs
    # the program on an emulated processor without AVX.
    # The sanitizers' runtime follows the installed clang (added below).
    test) packages="cmake g++ ninja-build libgtest-dev libbenchmark-dev libfftw3-dev libfast-float-dev python3 clang dpkg-dev fakeroot lintian file gzip python3-numpy libxml2-utils qemu-user librsvg2-bin" ;;
    # The cross compiler, a 32-bit wine, and for the dialog tests an X server
    # without a screen, xdotool and xwininfo (x11-utils); zip for the package;
    # GoogleTest's sources for the unit suite's Windows build;
    # xmllint and rsvg-convert for the pictures of fftext-plot.exe.
    windows) packages="g++-mingw-w64-i686 wine wine32:i386 xvfb xdotool x11-utils zip python3 googletest libxml2-utils librsvg2-bin" ;;
    *) echo "usage: scripts/deps.sh build|test|windows" >&2; exit 2 ;;
esac

# install PACKAGE...: installs those that are missing.
install() {
    missing=""
    for package in "$@"; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing="$missing $package"
    done
    [ -z "$missing" ] && return 0

    if [ "$(id -u)" = 0 ]; then
        as_root=""
        how="as root"
    elif command -v sudo >/dev/null 2>&1; then
        as_root="sudo"
        how="through sudo"
    else
        echo "missing Debian packages:$missing (not root and no sudo: install them as root)" >&2
        return 1
    fi
    echo "installing Debian packages:$missing ($how)" >&2
    case $missing in
        *:i386*)
            dpkg --print-foreign-architectures | grep -qx i386 || $as_root dpkg --add-architecture i386 ||
                { echo "could not add the i386 architecture for:$missing" >&2; return 1; } ;;
    esac
    export DEBIAN_FRONTEND=noninteractive
    if ! { $as_root apt-get update -qq >&2 &&
        $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >&2; }; then
        echo "apt-get could not install:$missing" >&2
        return 1
    fi
}

# shellcheck disable=SC2086  # the lists are plain words
install $packages || exit 1
if [ "${1:-build}" = test ]; then
    # AddressSanitizer's runtime for the clang that is installed, whatever its version.
    major=$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
    if [ -z "$major" ]; then
        echo "clang --version names no version: the sanitizers' runtime cannot be chosen" >&2
        exit 1
    fi
    install "libclang-rt-$major-dev" || exit 1
fi
exit 0
