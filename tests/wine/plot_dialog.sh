#!/usr/bin/env bash
# plot_dialog.sh FFTEXT-PLOT.EXE NATIVE-FFTEXT-PLOT: fftext-plot.exe started
# without arguments under wine on a private Xvfb server: the spectrum picked
# in the open dialog is drawn beside itself and opened with ShellExecuteW (the
# test prefix has no viewer for .svg, so its message box follows and is
# answered); Escape in the dialog ends the run with exit code 1, no picture
# and no message. Skipped (exit status 77) without Xvfb, xdotool or xwininfo.
set -u
if [ $# -ne 2 ] || [ ! -f "$1" ]; then
    echo "usage: plot_dialog.sh FFTEXT-PLOT.EXE NATIVE-FFTEXT-PLOT" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
native=$2
. "$here/wine_env.sh"
[ -x "$native" ] || { echo "SKIP: no native fftext-plot at $native"; exit 77; }
dialog_session_begin

status=0
fail() { echo "FAIL $1: $2"; status=1; }
printf '0\t2\t0\r\n1\t0.5\t1\r\n2\t0.25\t-1\r\n' >"$work/picked.txt"

# Picked in the dialog.
WINEDEBUG=-all,+relay timeout 60 wine "$exe" </dev/null >/dev/null 2>"$work/picked.log" &
APP_PID=$!
if dialog=$(find_window '^Spectrum to draw$'); then
    xdo windowfocus --sync "$dialog" && xdo type --delay 5 "Z:${work//\//\\}\\picked.txt" && xdo key Return
    # No viewer in the test prefix: the program says so in its box.
    if box=$(find_window '^fftext-plot$'); then
        xdo windowfocus --sync "$box" && xdo key Return
    fi
fi
wait "$APP_PID"
rc=$?
APP_PID=
"$native" "$work/picked.txt" "$work/native.svg"
if ! cmp -s "$work/picked.svg" "$work/native.svg"; then
    fail picked "no picture beside the picked file, or not the native program's (exit code $rc)"
elif [ "$rc" != 0 ]; then
    fail picked "exit code $rc: the picture was written (no viewer opened it), want 0"
elif ! relay_calls "$work/picked.log" shell32.ShellExecuteW | grep -q 'L"open",[0-9a-f]* L"Z:.*\\\\picked.svg"'; then
    fail picked "the picture was not opened: $(relay_calls "$work/picked.log" shell32.ShellExecuteW)"
else
    echo "picked: drawn beside the file and opened"
fi

# Cancelled.
WINEDEBUG=-all,+relay timeout 60 wine "$exe" </dev/null >/dev/null 2>"$work/cancel.log" &
APP_PID=$!
if dialog=$(find_window '^Spectrum to draw$'); then
    xdo windowfocus --sync "$dialog" && xdo key Escape
fi
wait "$APP_PID"
rc=$?
APP_PID=
if [ "$rc" != 1 ] || relay_calls "$work/cancel.log" user32.MessageBoxW | grep -q .; then
    fail cancel "exit code $rc, want 1 without a message"
else
    echo "cancel: exit code 1, no message"
fi
exit $status
