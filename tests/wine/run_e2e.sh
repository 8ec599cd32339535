#!/usr/bin/env bash
# run_e2e.sh FFTEXT.EXE [TABLE [ARGUMENT...]]: an end-to-end case table of
# the native suite (tests/e2e/run_cases.sh unless another is named, such as
# faults.sh for a build with FFTEXT_FAULTS), run against the Windows program
# under wine; the table gets the arguments after the program.
set -u
if [ $# -lt 1 ] || [ ! -f "$1" ]; then
    echo "usage: run_e2e.sh FFTEXT.EXE [TABLE]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
. "$here/wine_env.sh"
wine_session_begin || exit 1
trap wine_session_end EXIT
FFTEXT_E2E_HOOK=$here/e2e_hook.sh bash "${2:-$here/../e2e/run_cases.sh}" "$exe" "${@:3}"
