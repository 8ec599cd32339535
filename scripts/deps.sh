#!/usr/bin/env bash
# Installs the Debian packages a tier needs, when any is missing.
#   scripts/deps.sh build|test|windows
# Without root and without sudo it only says what is missing and exits 1.
set -u
case ${1:-build} in
    build) packages="cmake g++ ninja-build" ;;
    test) packages="cmake g++ ninja-build libgtest-dev libbenchmark-dev libfftw3-dev libfast-float-dev python3" ;;
    windows) packages="g++-mingw-w64-i686 mingw-w64 wine wine32:i386 xvfb xdotool x11-utils zip" ;;
    *) echo "usage: scripts/deps.sh build|test|windows" >&2; exit 2 ;;
esac

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" = 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "missing Debian packages:$missing (install them as root)" >&2
    exit 1
fi
echo "installing Debian packages:$missing" >&2
case $missing in
    *:i386*) $as_root dpkg --add-architecture i386 ;;
esac
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -qq >&2 &&
    $as_root apt-get install -y -qq --no-install-recommends $missing >&2
