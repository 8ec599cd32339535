# Sourced by tests/e2e/plot.sh (PLOT_HOOK): runs fftext-plot.exe under wine
# in command-line mode and reads its message from the relay log of
# MessageBoxW. Uses $PROGRAM and $work of plot.sh; needs WINEPREFIX ready.
. "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"
plot_logs=$(mktemp -d)
trap 'rm -rf "$work" "$plot_logs"' EXIT

# plot_message LOG: the one message box as its text, "" when there was none,
# "BAD ..." for anything a correct program never does.
plot_message() {
    local lines count
    lines=$(relay_calls "$1" user32.MessageBoxW)
    count=$(printf '%s' "$lines" | grep -c 'Call user32.MessageBoxW(')
    [ "$count" = 0 ] && return 0
    [ "$count" = 1 ] || { echo "BAD $count message boxes"; return 0; }
    local pattern='Call user32\.MessageBoxW\(00000000,[0-9a-f]{8} L"(.*)",[0-9a-f]{8} L"fftext-plot",00000030\) ret='
    if [[ $lines =~ $pattern ]]; then
        echo "${BASH_REMATCH[1]}"
    else
        echo "BAD box: $lines"
    fi
}

run_plot() {
    local log=$plot_logs/relay.log paths=0 argument value=0 options=1
    for argument in "$@"; do
        if [ "$value" = 1 ]; then
            value=0
        elif [ "$options" = 1 ] && [ "$argument" = -- ]; then
            options=0
        elif [ "$options" = 1 ] && [[ $argument == --* ]]; then
            [[ $argument == --from || $argument == --to || $argument == --peaks ]] && value=1
        else
            paths=$((paths + 1))
        fi
    done
    (cd "$work" && wine_cli "$log" "$PROGRAM" "$@")
    RC=$?
    MESSAGE=$(plot_message "$log")
    # Standard output as the table reads it (text mode: CR LF line ends).
    cp "$log.stdout" "$work/stdout"
    local opened
    opened=$(relay_calls "$log" shell32.ShellExecuteW)
    if [ "$paths" = 2 ] && [ -n "$opened" ]; then
        MESSAGE="BAD the picture was opened with two paths given: $opened"
    elif [ "$paths" = 1 ] && [ "$RC" = 0 ] && [[ $MESSAGE == "The picture was written to "*" but no program could open it." ]]; then
        # A dropped file: the test prefix has no viewer for .svg, so the open
        # fails after the picture is complete (exit code 0 all the same). It
        # must have been asked for.
        if [[ $opened =~ L\"open\",[0-9a-f]{8}\ L\"[^\"]*\.svg\",00000000,00000000,00000001\) ]]; then
            MESSAGE=
        else
            MESSAGE="BAD no ShellExecuteW open call: $opened"
        fi
    fi
}
