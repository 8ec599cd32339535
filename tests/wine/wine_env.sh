# Sourced by the wine test scripts: a private wine prefix, one warm wineserver,
# and the two ways of running the Windows program (command line without X,
# dialogs under an X server).
#
# A prefix prepared by `prefix.sh start DIR` (what ctest does once per test
# run) is used as it stands when WINEPREFIX names it; otherwise the script
# makes a private prefix of its own and removes it when it exits. A prefix
# that this suite did not make is never touched.

export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The message boxes (fftext's MessageBoxA, fftext-plot's MessageBoxW), the
# dialogs and fftext-plot's ShellExecuteW are the only relay lines the tests
# read; relaying everything would log every C-runtime call.
readonly WINE_RELAY_CALLS='user32.MessageBoxA;comdlg32.GetOpenFileNameW;comdlg32.GetSaveFileNameW;user32.MessageBoxW;shell32.ShellExecuteW'
readonly WINE_READY_MARK=.fftext-test-prefix

# wine_prefix_create DIR: a fresh 32-bit prefix with unmanaged windows (no
# window manager in the tests) and the relay filter; leaves the server warm.
wine_prefix_create() {
    local dir=$1
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    (
        export WINEPREFIX=$dir
        env -u DISPLAY wineboot --init &&
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f &&
            wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d "$WINE_RELAY_CALLS" /f &&
            wineserver -w
    ) </dev/null >"$dir.log" 2>&1 || { echo "wine prefix creation failed, see $dir.log" >&2; return 1; }
    touch "$dir/$WINE_READY_MARK"
    # The server holds no pipe of the caller: ctest waits for every holder. It
    # outlives an interrupted run by ten idle minutes at most.
    WINEPREFIX=$dir wineserver -p600 </dev/null >/dev/null 2>&1
}

wine_prefix_remove() {
    local dir=$1
    [ -e "$dir/$WINE_READY_MARK" ] || return 0
    WINEPREFIX=$dir wineserver -k </dev/null >/dev/null 2>&1
    WINEPREFIX=$dir wineserver -w </dev/null >/dev/null 2>&1
    rm -rf "$dir" "$dir.log"
}

# wine_session_begin: sets WINEPREFIX to a ready prefix, making a private one
# (removed at exit, with its server) when none was handed over.
WINE_PRIVATE_DIR=
wine_session_begin() {
    if [ -n "${WINEPREFIX:-}" ] && [ -e "$WINEPREFIX/$WINE_READY_MARK" ]; then
        WINEPREFIX=$WINEPREFIX wineserver -p600 </dev/null >/dev/null 2>&1
        export WINEPREFIX
        return 0
    fi
    WINE_PRIVATE_DIR=$(mktemp -d)
    export WINEPREFIX=$WINE_PRIVATE_DIR/prefix
    echo "making a private wine prefix in $WINEPREFIX" >&2
    wine_prefix_create "$WINEPREFIX"
}

# wine_session_begin_own: like wine_session_begin, but with a wineserver of
# its own, for runs with an X display. A run without one leaves wine's desktop
# process behind without a display driver, and while it lasts every new window
# of that server fails: dialog tests must not share a server with command-line
# runs. A shared prefix is cloned with hard links (the registry is saved by
# rename, so the clones never write into each other's files).
wine_session_begin_own() {
    if [ -n "${WINEPREFIX:-}" ] && [ -e "$WINEPREFIX/$WINE_READY_MARK" ]; then
        WINE_PRIVATE_DIR=$(mktemp -d)
        cp -al "$WINEPREFIX" "$WINE_PRIVATE_DIR/prefix" || return 1
        export WINEPREFIX=$WINE_PRIVATE_DIR/prefix
        wineserver -p600 </dev/null >/dev/null 2>&1
        return 0
    fi
    wine_session_begin
}

wine_session_end() {
    if [ -n "$WINE_PRIVATE_DIR" ]; then
        wine_prefix_remove "$WINEPREFIX"
        rm -rf "$WINE_PRIVATE_DIR"
        WINE_PRIVATE_DIR=
    fi
}

# wine_cli RELAY-LOG PROGRAM ARG...: one command-line run with no X driver at
# all, so that no dialog or box can ever wait for a user. Its stdout goes to
# RELAY-LOG.stdout; the exit status is the program's (124 on timeout).
wine_cli() {
    local log=$1
    shift
    env -u DISPLAY WINEDLLOVERRIDES="mscoree,mshtml=;winex11.drv=" WINEDEBUG=-all,+relay \
        timeout 30 wine "$@" </dev/null >"$log.stdout" 2>"$log"
}

# xvfb_start WORK: a private Xvfb server for the dialog tests; sets XVFB_PID
# and DISPLAY, and returns 1 (its log in WORK/xvfb.log) when it does not come
# up within 10 s. -noreset: without it the server resets whenever its last
# client leaves, and a client connecting at that moment (wine or xdotool) is
# refused.
xvfb_start() {
    local work=$1
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    XVFB_PID=$!
    exec 3>&-
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || return 1
    export DISPLAY=:$(head -n 1 "$work/display")
}

# dialog_session_begin: what every dialog test starts with. Exits with 77
# (skipped) without Xvfb, xdotool or xwininfo; otherwise makes WORK, a wine
# session of its own and a private Xvfb server, all ended on exit (and the
# program APP_PID, if still running). Exits with 1 when they cannot start.
dialog_session_begin() {
    local tool
    for tool in Xvfb xdotool xwininfo; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    work=$(mktemp -d)
    XVFB_PID=
    APP_PID=
    trap dialog_session_end EXIT
    wine_session_begin_own || exit 1
    xvfb_start "$work" || { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
}

dialog_session_end() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wine_session_end
    rm -rf "$work"
}

xdo() { timeout 10 xdotool "$@"; }

# find_window PATTERN [EXCLUDED-ID]: a visible window whose title matches,
# waited for up to 20 s. An id that is still on screen can be excluded.
find_window() {
    local id
    for _ in $(seq 200); do
        for id in $(xdo search --onlyvisible --name "$1" 2>/dev/null); do
            [ "$id" != "${2:-}" ] && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

# relay_calls LOG NAME: the relay "Call" lines of one function (dll.Function).
relay_calls() {
    grep -aF "Call $2(" "$1"
}

# relay_message LOG: the one message box of a run as "Caption: text", "" when
# there was none. Anything else a correct program never does (a second box,
# an owner window, another style) comes back as a line starting with "BAD",
# which no expected message equals.
relay_message() {
    local log=$1 lines count
    lines=$(relay_calls "$log" user32.MessageBoxA)
    count=$(printf '%s' "$lines" | grep -c 'Call user32.MessageBoxA(')
    [ "$count" = 0 ] && return 0
    [ "$count" = 1 ] || { echo "BAD $count message boxes"; return 0; }
    # ...:Call user32.MessageBoxA(00000000,0063e888 "TEXT",0040a0c5 "CAPTION",00000030) ret=00401b85
    local pattern='Call user32\.MessageBoxA\(([0-9a-f]{8}),[0-9a-f]{8} "(.*)",[0-9a-f]{8} "(.*)",([0-9a-f]{8})\) ret='
    if [[ ! $lines =~ $pattern ]]; then
        echo "BAD unreadable: $lines"
    elif [ "${BASH_REMATCH[1]}" != 00000000 ] || [ "${BASH_REMATCH[4]}" != 00000030 ]; then
        echo "BAD owner ${BASH_REMATCH[1]} style ${BASH_REMATCH[4]}: $lines"
    else
        # Relay writes a quote inside a string as \" and a backslash as \\.
        local text=${BASH_REMATCH[2]} caption=${BASH_REMATCH[3]}
        text=${text//\\\"/\"}
        caption=${caption//\\\"/\"}
        echo "$caption: ${text//\\\\/\\}"
    fi
}
