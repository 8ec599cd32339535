#!/usr/bin/env bash
# prefix.sh start|stop DIR: the shared wine prefix of one ctest run (fixture
# setup and cleanup), so that the wine suite pays for wineboot only once.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_env.sh"
case ${1:-} in
    start) wine_prefix_create "$2" && echo "wine prefix ready: $2" ;;
    stop) wine_prefix_remove "$2" ;;
    *) echo "usage: prefix.sh start|stop DIR" >&2; exit 2 ;;
esac
