#!/usr/bin/env bash
# dialogs.sh FFTEXT.EXE [faults]: the Windows program's dialog mode under wine, on a
# private Xvfb server with no window manager, driven by xdotool: both dialogs
# accepted, each cancelled, a failure after the open dialog, the overwrite
# question, a single argument ignored; and at the end one run without any
# display, where the open dialog cannot appear, which must end the run like a
# cancel. With "faults" (a build with fault injection), only the dialogs'
# own failures instead.
#
# Skipped (a SKIP line, exit status 77) when Xvfb, xdotool or xwininfo is
# missing.
set -u
if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -f "$1" ] || { [ $# = 2 ] && [ "$2" != faults ]; }; then
    echo "usage: dialogs.sh FFTEXT.EXE [faults]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
golden=$here/../golden
. "$here/wine_env.sh"

missing=
for tool in Xvfb xdotool xwininfo; do command -v "$tool" >/dev/null || missing="$missing $tool"; done
if [ -n "$missing" ]; then
    echo "SKIP dialog cases: not installed:$missing"
    echo "0 passed, 0 failed"
    exit 77
fi

work=$(mktemp -d)
XVFB_PID=
APP_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wine_session_end
    rm -rf "$work"
}
trap cleanup EXIT
wine_session_begin_own || exit 1

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
    failed=$((failed + 1))
    echo "FAIL $1: $2"
    if command -v import >/dev/null && [ -n "${DISPLAY:-}" ]; then
        import -window root "${TMPDIR:-/tmp}/fftext-wine-$1.png" 2>/dev/null &&
            echo "  screen: ${TMPDIR:-/tmp}/fftext-wine-$1.png"
    fi
}

# A file name as typed into a wine dialog: drive Z: is the unix root.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

# relay_count LOG NAME: how many times the program called dll.Function.
relay_count() { relay_calls "$1" "$2" | grep -c . ; }

xvfb_start "$work" ||
    { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"; echo "0 passed, 1 failed"; exit 1; }


# gone WINDOW: waits until the window is no longer on screen (ids come back
# for new windows, so the next search must not start before).
gone() {
    for _ in $(seq 200); do
        xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
        sleep 0.1
    done
    return 1
}

# answer WINDOW [TEXT]: types TEXT (if any) into the focused name box, then
# Return; with no TEXT, Escape.
answer() {
    xdo windowfocus --sync "$1" || return 1
    if [ $# -ge 2 ]; then
        xdo type --delay 5 "$2" && xdo key Return
    else
        xdo key Escape
    fi
}

start_app() {  # LOG ARG...
    local log=$1
    shift
    WINEDEBUG=-all,+relay timeout 60 wine "$exe" "$@" </dev/null >"$log.stdout" 2>"$log" &
    APP_PID=$!
}

finish_app() {  # sets RC
    wait "$APP_PID"
    RC=$?
    APP_PID=
}

# dialog_run NAME INPUT OUTPUT [ARG...]: picks INPUT in the open dialog and,
# if OUTPUT is not "-", OUTPUT in the save dialog ("cancel" for either:
# Escape). Sets RC and LOG.
dialog_run() {
    local name=$1 input=$2 output=$3 open save
    shift 3
    LOG=$work/$name.log
    start_app "$LOG" "$@"
    if ! open=$(find_window '^Data to transform$'); then
        kill "$APP_PID" 2>/dev/null; finish_app; return 1
    fi
    if [ "$input" = cancel ]; then answer "$open"; else answer "$open" "$(windows_path "$input")"; fi
    gone "$open" || { kill "$APP_PID" 2>/dev/null; finish_app; return 1; }
    if [ "$output" != - ]; then
        if ! save=$(find_window '^Data to transform$'); then
            kill "$APP_PID" 2>/dev/null; finish_app; return 1
        fi
        if [ "$output" = cancel ]; then answer "$save"; else answer "$save" "$(windows_path "$output")"; fi
        SAVE_WINDOW=$save
    fi
    return 0
}

# check NAME CONDITION-STATUS DETAIL
check() { if [ "$2" = 0 ]; then pass; else fail "$1" "$3"; fi; }

calls() {  # LOG: "open/save/boxes" call counts
    echo "$(relay_count "$1" comdlg32.GetOpenFileNameW)/$(relay_count "$1" comdlg32.GetSaveFileNameW)/$(relay_count "$1" user32.MessageBoxA)"
}

## A dialog call that fails (returns no path while CommDlgExtendedError() is
## not 0, as for a chosen path longer than its 260-character buffer) is no
## cancel: one box naming the call, exit code 0, nothing written. Wine's own
## dialog cannot be made to fail so: the fault-injecting build takes the path
## chosen in the n-th dialog for such a failure.
if [ "${2:-}" = faults ]; then
    # dialog_failure NAME FAIL-SETTING OUTPUT MESSAGE CALLS
    dialog_failure() {
        local name=$1 box caption message
        export FFTEXT_FAIL=$2
        if dialog_run "$name" "$golden/impulse.txt" "$3"; then
            if box=$(find_window '^(Error|Warning)$'); then
                caption=$(xdo getwindowname "$box")
                answer "$box" ""
                finish_app
                message=$(relay_message "$LOG")
                [ "$RC" = 0 ] && [ "$caption" = Error ] && [ "$message" = "$4" ] && [ "$(calls "$LOG")" = "$5" ] &&
                    [ ! -e "$work/$name.txt" ]
                check "$name" $? "exit $RC, title '$caption', message '$message', calls $(calls "$LOG")"
            else
                kill "$APP_PID" 2>/dev/null; finish_app
                fail "$name" "no message box appeared"
            fi
        else
            fail "$name" "a dialog did not appear"
        fi
        unset FFTEXT_FAIL
    }
    dialog_failure open_dialog_fails dialog:1 - "Error: GetOpenFileNameW failed" 1/0/1
    dialog_failure save_dialog_fails dialog:2 "$work/save_dialog_fails.txt" "Error: GetSaveFileNameW failed" 1/1/1
    # A third dialog call never comes: the run goes on as usual.
    export FFTEXT_FAIL=dialog:3
    if dialog_run no_third_dialog "$golden/impulse.txt" "$work/no_third_dialog.txt"; then
        finish_app
        cmp -s "$work/no_third_dialog.txt" "$golden/impulse.out" && [ "$RC" = 1 ] && [ "$(calls "$LOG")" = 1/1/0 ]
        check no_third_dialog $? "exit $RC, calls open/save/box $(calls "$LOG")"
    else
        fail no_third_dialog "a dialog did not appear"
    fi
    unset FFTEXT_FAIL
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
    exit
fi

## Both dialogs accepted: exit code 1, the spectrum in the chosen file
if dialog_run accepted "$golden/impulse.txt" "$work/accepted.txt"; then
    finish_app
    cmp -s "$work/accepted.txt" "$golden/impulse.out" && [ "$RC" = 1 ] && [ "$(calls "$LOG")" = 1/1/0 ]
    check accepted $? "exit $RC, calls open/save/box $(calls "$LOG"), output $(cmp "$work/accepted.txt" "$golden/impulse.out" 2>&1)"
else
    fail accepted "a dialog did not appear"
fi

## Open cancelled: exit code 0, no save dialog, no message
if dialog_run cancel_open cancel -; then
    finish_app
    [ "$RC" = 0 ] && [ "$(calls "$LOG")" = 1/0/0 ]
    check cancel_open $? "exit $RC, calls open/save/box $(calls "$LOG")"
else
    fail cancel_open "the open dialog did not appear"
fi

## Save cancelled after the transform: exit code 0, nothing written, no message
if dialog_run cancel_save "$golden/impulse.txt" cancel; then
    finish_app
    [ "$RC" = 0 ] && [ "$(calls "$LOG")" = 1/1/0 ] && [ -z "$(ls -A "$work" | grep -v -e '\.log' -e '^display$' -e '^accepted.txt$')" ]
    check cancel_save $? "exit $RC, calls open/save/box $(calls "$LOG"), files: $(ls "$work")"
else
    fail cancel_save "a dialog did not appear"
fi

## A failure after the open dialog: its message box (caption in the title,
## text in the relay log), OK closes it, exit code 0, no save dialog
printf '0 1\n1 1e999\n' >"$work/invalid.txt"
if dialog_run failure_box "$work/invalid.txt" -; then
    if box=$(find_window '^(Error|Warning)$'); then
        caption=$(xdo getwindowname "$box")
        answer "$box" ""
        finish_app
        message=$(relay_message "$LOG")
        [ "$RC" = 0 ] && [ "$caption" = Error ] && [ "$message" = "Error: Invalid value at line 2" ] &&
            [ "$(calls "$LOG")" = 1/0/1 ]
        check failure_box $? "exit $RC, title '$caption', message '$message', calls $(calls "$LOG")"
    else
        kill "$APP_PID" 2>/dev/null; finish_app
        fail failure_box "no message box appeared"
    fi
else
    fail failure_box "the open dialog did not appear"
fi

## An existing output: the save dialog asks (a second window of the same
## title), Return answers yes and the file is replaced
head -c 3000 /dev/urandom >"$work/existing.txt"
if dialog_run overwrite "$golden/half_step.txt" "$work/existing.txt"; then
    if prompt=$(find_window '^Data to transform$' "$SAVE_WINDOW"); then
        answer "$prompt" ""
        finish_app
        cmp -s "$work/existing.txt" "$golden/half_step.out" && [ "$RC" = 1 ]
        check overwrite $? "exit $RC, output $(cmp "$work/existing.txt" "$golden/half_step.out" 2>&1)"
    else
        kill "$APP_PID" 2>/dev/null; finish_app
        fail overwrite "no overwrite question appeared"
    fi
else
    fail overwrite "a dialog did not appear"
fi

## One argument is ignored: both paths still come from the dialogs
if dialog_run one_argument "$golden/impulse.txt" "$work/one_argument.txt" "$golden/half_step.txt"; then
    finish_app
    cmp -s "$work/one_argument.txt" "$golden/impulse.out" && [ "$RC" = 1 ] && [ "$(calls "$LOG")" = 1/1/0 ]
    check one_argument $? "exit $RC, calls open/save/box $(calls "$LOG")"
else
    fail one_argument "a dialog did not appear"
fi

kill "$XVFB_PID" 2>/dev/null
XVFB_PID=
## Without a display the open dialog fails at once, like a cancel: exit code 0,
## no message, and the save dialog is never reached.
unset DISPLAY
wine_cli "$work/nodisplay.log" "$exe"
rc=$?
if [ "$rc" = 0 ] && [ "$(relay_count "$work/nodisplay.log" comdlg32.GetOpenFileNameW)" = 1 ] &&
    [ "$(relay_count "$work/nodisplay.log" comdlg32.GetSaveFileNameW)" = 0 ] &&
    [ -z "$(relay_message "$work/nodisplay.log")" ]; then
    pass
else
    fail no_display "exit $rc, message '$(relay_message "$work/nodisplay.log")'"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
