# Sourced by tests/e2e/run_cases.sh (FFTEXT_E2E_HOOK): runs the Windows
# program under wine in command-line mode and reads its message from the
# relay log of MessageBoxA. Uses $PROGRAM and $work of tests/e2e/lib.sh; needs
# WINEPREFIX ready (run_e2e.sh sees to it).
. "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"

run_fftext() {
    # The working directory maps to drive Z:, so unix paths in the arguments
    # name the same files under wine.
    (cd "$work" && wine_cli "$work/relay.log" "$PROGRAM" "$@")
    RC=$?
    MESSAGE=$(relay_message "$work/relay.log")
    DETAIL=
    # With both paths given, no dialog may ever be called.
    if [ $# -ge 2 ] && grep -aqE 'Call comdlg32\.Get(Open|Save)FileNameW\(' "$work/relay.log"; then
        MESSAGE="BAD a file dialog was called: $MESSAGE"
    fi
}
