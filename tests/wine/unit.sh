#!/usr/bin/env bash
# The unit suite's Windows build under wine, without X:
#   unit.sh fftext_tests.exe [GoogleTest options]
# The exit status is the suite's; 77 (skipped) only when wine is missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
program=$1
shift
command -v wine >/dev/null || { echo "SKIP: wine is not installed"; exit 77; }
# shellcheck source=wine_env.sh
. "$here/wine_env.sh"
wine_session_begin || exit 1
# The suite writes its temporary files in the current folder.
work=$(mktemp -d)
trap 'wine_session_end; rm -rf "$work"' EXIT
cd "$work" || exit 1
env -u DISPLAY WINEDLLOVERRIDES="mscoree,mshtml=;winex11.drv=" wine "$program" --gtest_brief=1 "$@" </dev/null
