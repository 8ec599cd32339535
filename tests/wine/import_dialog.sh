#!/usr/bin/env bash
# import_dialog.sh FFTEXT-IMPORT.EXE NATIVE-FFTEXT-IMPORT: fftext-import.exe
# under wine on a private Xvfb server. Started without arguments, the export
# picked in the open dialog is converted beside itself (the native program's
# bytes) and the summary box answered; dropped again, the Yes/No box answered
# Yes replaces the file, answered No keeps it; Escape in the dialog ends the
# run with exit code 1, no file and no box. Skipped (exit status 77) without
# Xvfb, xdotool or xwininfo.
set -u
if [ $# -ne 2 ] || [ ! -f "$1" ]; then
    echo "usage: import_dialog.sh FFTEXT-IMPORT.EXE NATIVE-FFTEXT-IMPORT" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
native=$2
. "$here/wine_env.sh"
[ -x "$native" ] || { echo "SKIP: no native fftext-import at $native"; exit 77; }
dialog_session_begin
# answer KEY: presses KEY in the next box captioned fftext-import.
answer() {
    local box
    box=$(find_window '^fftext-import$') && xdo windowfocus --sync "$box" && xdo key "$1"
}

status=0
fail() { echo "FAIL $1: $2"; status=1; }
printf 'time;value\r\n0,5;1,25\r\n1;-2\r\n1,5;3,5E-2\r\n' >"$work/picked.csv"
"$native" "$work/picked.csv" "$work/native.txt" 2>/dev/null

# Picked in the dialog: converted, the summary shown.
WINEDEBUG=-all,+relay timeout 60 wine "$exe" </dev/null >/dev/null 2>"$work/picked.log" &
APP_PID=$!
if dialog=$(find_window '^Export to convert$'); then
    xdo windowfocus --sync "$dialog" && xdo type --delay 5 "Z:${work//\//\\}\\picked.csv" && xdo key Return
    answer Return
fi
wait "$APP_PID"
rc=$?
APP_PID=
if [ "$rc" != 0 ] || ! cmp -s "$work/picked.txt" "$work/native.txt"; then
    fail picked "exit code $rc; no picked.txt beside the export, or not the native program's bytes"
elif ! relay_calls "$work/picked.log" user32.MessageBoxW | grep -q 'picked.txt: semicolon-separated, decimal comma'; then
    fail picked "no summary box: $(relay_calls "$work/picked.log" user32.MessageBoxW)"
else
    echo "picked: converted beside the export, summary shown"
fi

# Dropped again on the existing file: No keeps it, Yes replaces it.
for key in n y; do
    echo kept >"$work/picked.txt"
    WINEDEBUG=-all timeout 60 wine "$exe" "Z:${work//\//\\}\\picked.csv" </dev/null >/dev/null 2>&1 &
    APP_PID=$!
    answer "$key"
    [ "$key" = y ] && answer Return  # the summary
    wait "$APP_PID"
    rc=$?
    APP_PID=
    if [ "$key" = n ] && { [ "$rc" != 1 ] || [ "$(cat "$work/picked.txt")" != kept ]; }; then
        fail answer_no "exit code $rc, the file: $(head -c 40 "$work/picked.txt")"
    elif [ "$key" = y ] && { [ "$rc" != 0 ] || ! cmp -s "$work/picked.txt" "$work/native.txt"; }; then
        fail answer_yes "exit code $rc, the file: $(head -c 40 "$work/picked.txt")"
    else
        echo "answer $key: exit code $rc, the file as it should be"
    fi
done

# Cancelled.
rm -f "$work/picked.txt"
WINEDEBUG=-all,+relay timeout 60 wine "$exe" </dev/null >/dev/null 2>"$work/cancel.log" &
APP_PID=$!
if dialog=$(find_window '^Export to convert$'); then
    xdo windowfocus --sync "$dialog" && xdo key Escape
fi
wait "$APP_PID"
rc=$?
APP_PID=
if [ "$rc" != 1 ] || [ -e "$work/picked.txt" ] || relay_calls "$work/cancel.log" user32.MessageBoxW | grep -q .; then
    fail cancel "exit code $rc, want 1 without a file or a message"
else
    echo "cancel: exit code 1, no file, no message"
fi
exit $status
