#!/usr/bin/env bash
# Dialog-mode runs of the built program against a stand-in zenity (and
# kdialog) placed first on PATH, with DISPLAY set to a value nothing connects
# to. The stand-in logs each call's argv as one "[arg][arg]..." line and
# answers from a script of "RC [STDOUT]" lines, one per call; a call beyond the
# script is logged as UNEXPECTED and exits 99. STDOUT is printed through
# printf %b and a newline, so "\n" in it stands for a newline in a name. RC
# "KILL" makes it print STDOUT and then die of SIGKILL.
#
# At the end, one smoke run with the real zenity under Xvfb, driven by xdotool,
# when all three are installed.
#
# Usage: dialogs.sh PATH-TO-FFTEXT. Exit status 0 when every case passed.

set -u
export LC_ALL=C

if [[ $# -ne 2 || ! -x $1 ]]; then
    echo "usage: dialogs.sh PATH-TO-FFTEXT VERSION" >&2
    exit 2
fi
FFTEXT=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
VERSION=$2
# By full path: some cases run with a PATH that holds no tools.
TIMEOUT=$(command -v timeout)

WORK=$(mktemp -d)
XVFB_PID=
APP_PID=
DISPLAYS_PID=
cleanup() {
    [[ -n $APP_PID ]] && kill "$APP_PID" 2>/dev/null
    [[ -n $DISPLAYS_PID ]] && kill "$DISPLAYS_PID" 2>/dev/null
    [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

passed=0
failed=0

# --- The stand-in -----------------------------------------------------------

# Bash builtins only: some cases run it with nothing else on PATH.
# shellcheck disable=SC2016  # expanded by the stand-in, not here
STUB_SOURCE='#!/bin/bash
dir=${STUB_DIR:?}
line="[${0##*/}]"
for argument in "$@"; do line+="[$argument]"; done
if [[ /proc/self/fd/0 -ef /dev/null ]]; then echo devnull >"$dir/stdin"; else echo other >"$dir/stdin"; fi
count=0
[[ -f $dir/count ]] && read -r count <"$dir/count"
count=$((count + 1))
echo "$count" >"$dir/count"
answers=()
[[ -f $dir/answers ]] && mapfile -t answers <"$dir/answers"
if ((count > ${#answers[@]})); then
    echo "UNEXPECTED $line" >>"$dir/calls"
    exit 99
fi
echo "$line" >>"$dir/calls"
answer=${answers[count - 1]}
code=${answer%% *}
[[ $answer == *" "* ]] && printf "%b\n" "${answer#* }"
[[ $code == KILL ]] && kill -KILL $$
exit "$code"
'

make_stub() {  # directory, program name
    mkdir -p "$1"
    printf '%s' "$STUB_SOURCE" >"$1/$2"
    chmod 755 "$1/$2"
}

ZENITY_BIN=$WORK/zenity-bin    # zenity only
KDIALOG_BIN=$WORK/kdialog-bin  # kdialog only
make_stub "$ZENITY_BIN" zenity
make_stub "$KDIALOG_BIN" kdialog
# Names that are no program: a zenity without execute permission and a
# kdialog that is a directory; in a second place a zenity that is a directory.
DECOY_BIN=$WORK/decoy-bin
mkdir -p "$DECOY_BIN/kdialog" "$WORK/decoy-dir-bin/zenity"
printf '#!/bin/sh\nexit 0\n' >"$DECOY_BIN/zenity"
chmod 644 "$DECOY_BIN/zenity"
# A zenity that is found but cannot be started: its interpreter is missing.
BROKEN_BIN=$WORK/broken-bin
mkdir -p "$BROKEN_BIN"
printf '#!/nonexistent/interpreter\n' >"$BROKEN_BIN/zenity"
chmod 755 "$BROKEN_BIN/zenity"

export STUB_DIR=$WORK/stub

ZENITY_OPEN='[zenity][--file-selection][--title=Data to transform][--file-filter=ASCII data | *.txt *.dat *.asc *.inp *.in][--file-filter=All files | *]'
ZENITY_SAVE='[zenity][--file-selection][--save][--confirm-overwrite][--title=Data to transform][--file-filter=ASCII data | *.txt *.dat *.asc *.out *.otp][--file-filter=All files | *]'
KDIALOG_OPEN=$'[kdialog][--title][Data to transform][--getopenfilename][.][*.txt *.dat *.asc *.inp *.in|ASCII data\n*|All files]'
KDIALOG_SAVE=$'[kdialog][--title][Data to transform][--getsavefilename][.][*.txt *.dat *.asc *.out *.otp|ASCII data\n*|All files]'

GOOD_INPUT=$'0 1\n1 0\n2 0\n3 0\n'
GOOD_OUTPUT=$'0\t1\t0\r\n0.25\t1\t0\r\n'
# The usage line as it always was, then the help for someone who ran the program bare.
USAGE='usage: fftext INPUT OUTPUT
Computes the Fourier spectrum of INPUT, a text file of "abscissa ordinate"
lines with equidistant abscissae, and writes frequency, magnitude and phase
rows to OUTPUT. Without both paths, file dialogs ask for them on a desktop.
Exit code: 1 when the spectrum was written, 0 otherwise.
Manual: man fftext (input format, messages, scripting, reading the output).
'

# --- Case machinery ---------------------------------------------------------

# Each case gets a fresh directory CASE (also the program's working directory)
# and a fresh stub state, then calls run_app and expect_*; finish prints the
# verdict line.
begin() {
    CASE_NAME=$1
    problems=
    CASE=$WORK/cases/$1
    mkdir -p "$CASE"
    rm -rf "$STUB_DIR"
    mkdir -p "$STUB_DIR"
    : >"$STUB_DIR/answers"
}

answers() {  # one argument per call
    printf '%s\n' "$@" >"$STUB_DIR/answers"
}

# contents VARIABLE FILE: the whole file, trailing newlines included (which
# a $(...) would cut); empty when the file does not exist.
contents() {
    local text=x
    [[ -f $2 ]] && text=$(cat -- "$2"; echo x)
    printf -v "$1" '%s' "${text%x}"
}

# run_app ENV-ASSIGNMENT... -- ARGUMENT...: runs the program in CASE with
# DISPLAY and WAYLAND_DISPLAY removed, then the assignments applied.
run_app() {
    local settings=()
    while [[ $1 != -- ]]; do settings+=("$1"); shift; done
    shift
    (cd "$CASE" && exec "$TIMEOUT" 20 env -u DISPLAY -u WAYLAND_DISPLAY "${settings[@]}" \
        "$FFTEXT" "$@" >"$WORK/stdout" 2>"$WORK/stderr" <"$WORK/program-stdin")
    STATUS=$?
    contents STDERR "$WORK/stderr"
    contents STDOUT "$WORK/stdout"
    contents CALLS "$STUB_DIR/calls"
}

# The program's stdin is a plain file, so that a dialog which inherits it
# instead of getting /dev/null is seen.
: >"$WORK/program-stdin"

# The usual setting: the zenity stand-in first on PATH, a display named.
STUBBED=(DISPLAY=:stub "PATH=$ZENITY_BIN:$PATH")

# --- Displays that answer ---------------------------------------------------

# The stand-ins' cancel status (1) is also what GTK exits with when it cannot
# open the display, so a cancel counts only while the display can be reached.
# This server stands for live displays: it accepts (and closes) connections
# on TCP port 6000 + N of 127.0.0.1, on the abstract local socket an X server
# N would use, and on the socket file WORK/wayland-live. Number M is one that
# nothing listens to; WORK/wayland-stale is a socket file nobody serves.
# shellcheck disable=SC2016  # python, not shell
DISPLAYS_SOURCE='
import os, select, socket, sys
work = sys.argv[1]
def tcp_port():
    while True:
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        if s.getsockname()[1] > 6100:
            return s
        s.close()
tcp = tcp_port()
tcp.listen(64)
n = tcp.getsockname()[1] - 6000
x = socket.socket(socket.AF_UNIX)
x.bind(b"\0/tmp/.X11-unix/X%d" % n)
x.listen(64)
wayland = socket.socket(socket.AF_UNIX)
wayland.bind(work + "/wayland-live")
wayland.listen(64)
stale = socket.socket(socket.AF_UNIX)
stale.bind(work + "/wayland-stale")
stale.close()
free = tcp_port()
m = free.getsockname()[1] - 6000
free.close()
with open(work + "/displays.new", "w") as f:
    f.write("%d %d\n" % (n, m))
os.rename(work + "/displays.new", work + "/displays")
listening = [tcp, x, wayland]
while True:
    for ready in select.select(listening, [], [])[0]:
        ready.accept()[0].close()
'
python3 -c "$DISPLAYS_SOURCE" "$WORK" &
DISPLAYS_PID=$!
for ((tries = 0; tries < 100; tries++)); do
    [[ -s $WORK/displays ]] && break
    sleep 0.1
done
read -r LIVE_NUMBER GONE_NUMBER <"$WORK/displays" || { echo "FAIL the stand-in displays did not start"; exit 1; }
# The zenity stand-in first on PATH, a display that answers.
LIVE=(DISPLAY=":$LIVE_NUMBER" "PATH=$ZENITY_BIN:$PATH")
FAILED=$'fftext: the file dialog could not be shown: '

fail() { problems+="${problems:+; }$*"; }

expect_eq() {  # what, got, want
    [[ $2 == "$3" ]] || fail "$1: got $(printf '%q' "$2"), want $(printf '%q' "$3")"
}

expect_status() { expect_eq "exit status" "$STATUS" "$1"; }
expect_stderr() { expect_eq "stderr" "$STDERR" "$1"; }
expect_calls() {  # the expected call lines, in order
    local want=
    (($# > 0)) && want=$(printf '%s\n' "$@")
    expect_eq "dialog calls" "$CALLS" "${want:+$want$'\n'}"
}
expect_file() { # path, bytes
    if [[ -f $1 ]]; then
        local got
        contents got "$1"
        expect_eq "contents of $(basename -- "$1")" "$got" "$2"
    else
        fail "$(basename -- "$1") was not written"
    fi
}
# Nothing but the files named may exist in CASE.
expect_only_files() {
    local want got
    want=$(printf '%s\n' "$@" | sort)
    # shellcheck disable=SC2012  # the names here are plain
    got=$(cd "$CASE" && ls -A | sort)
    expect_eq "files in the case directory" "$got" "$want"
}

finish() {
    if [[ -z $problems ]]; then
        echo "PASS $CASE_NAME"
        passed=$((passed + 1))
    else
        echo "FAIL $CASE_NAME: $problems"
        failed=$((failed + 1))
    fi
}

# --- Both dialogs answered --------------------------------------------------

begin open_and_save_ok
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt"
run_app "${STUBBED[@]}" --
expect_status 1
expect_stderr ""
expect_eq "stdout" "$STDOUT" ""
expect_file "$CASE/out.txt" "$GOOD_OUTPUT"
finish

begin exact_dialog_arguments
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt"
run_app "${STUBBED[@]}" --
expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE"
# A dialog that inherited a terminal could read from it.
stdin_kind=
contents stdin_kind "$STUB_DIR/stdin"
expect_eq "stdin of the dialog" "$stdin_kind" $'devnull\n'
finish

# One argument is ignored: both dialogs still come, and the argument is
# neither read nor written.
begin one_argument_ignored
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt"
run_app "${STUBBED[@]}" -- ignored.txt
expect_status 1
expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE"
expect_file "$CASE/out.txt" "$GOOD_OUTPUT"
expect_only_files in.txt out.txt
finish

# Names pass through as bytes: spaces, quotes, a leading '-', bytes that are
# not ASCII (one not even UTF-8), newlines inside and at the end (only the
# newline the dialog adds goes), and a name longer than any fixed 260, 1024
# or 2048-byte buffer.
begin unusual_names
mkdir -p "$CASE/dir with  spaces"
odd_input=$CASE/$'dir with  spaces/-in \'q\' "dq" \xc3\xa9\xff .txt'
odd_output=$CASE/$'dir with  spaces/--out \xe2\x82\xac\n.dat \n'
printf '%s' "$GOOD_INPUT" >"$odd_input"
answers "0 $odd_input" "0 ${odd_output//$'\n'/\\n}"
run_app "${STUBBED[@]}" --
expect_status 1
expect_file "$odd_output" "$GOOD_OUTPUT"
finish

begin long_name
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
padding=
while ((${#padding} < 3800)); do padding+=./; done
answers "0 $CASE/${padding}in.txt" "0 $CASE/${padding}out.txt"
run_app "${STUBBED[@]}" --
expect_status 1
expect_file "$CASE/out.txt" "$GOOD_OUTPUT"
finish

# --- Cancelled dialogs ------------------------------------------------------

# The cancel status, or status 0 without a name, is a cancel: no further call,
# no message, exit status 0. '~' stands for a space, '@' for the input's name;
# the last row carries a name that must be ignored: one with a zero byte in it
# would be cut short to another file.
while read -r name answer; do
    begin "cancel_open_$name"
    printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
    answer=${answer//\~/ }
    answers "${answer//@/$CASE/in.txt}"
    run_app "${LIVE[@]}" --
    expect_status 0
    expect_stderr ""
    expect_calls "$ZENITY_OPEN"
    expect_only_files in.txt
    finish
done <<'ROWS'
status_1 1
status_1_with_name 1 @
empty_output 0
newline_only 0~
zero_byte_in_name 0 @\0x
ROWS

while read -r name answer; do
    begin "cancel_save_$name"
    printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
    answers "0 $CASE/in.txt" "${answer//@/$CASE/out.txt}"
    run_app "${LIVE[@]}" --
    expect_status 0
    expect_stderr ""
    expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE"
    expect_only_files in.txt
    finish
done <<'ROWS'
status_1 1
empty_output 0
ROWS

# --- A dialog that fails: the usage line, and why ---------------------------

# Any other status, or a signal, is no cancel: the run ends as without a
# display, with one more line saying why. A name printed before is ignored
# (a killed dialog has WEXITSTATUS 0). The save dialog fails the same way.
while IFS='|' read -r name answer reason; do
    for dialog in open save; do
        begin "dialog_fails_${dialog}_$name"
        printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
        if [[ $dialog == open ]]; then
            answers "${answer//@/$CASE/in.txt}"
        else
            answers "0 $CASE/in.txt" "${answer//@/$CASE/out.txt}"
        fi
        run_app "${LIVE[@]}" --
        expect_status 0
        expect_stderr "$USAGE$FAILED$reason"$'\n'
        if [[ $dialog == open ]]; then expect_calls "$ZENITY_OPEN"; else expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE"; fi
        expect_only_files in.txt
        finish
    done
done <<'ROWS'
status_0_is_not_all|2|zenity exited with status 2
status_5|5|zenity exited with status 5
status_5_with_name|5 @|zenity exited with status 5
status_255|255|zenity exited with status 255
killed|KILL|zenity was killed by signal 9
killed_with_name|KILL @|zenity was killed by signal 9
ROWS

# Which display answers decides whether the cancel status is a cancel. '@'
# stands for WORK, {N} for the live display number, {M} for one nothing
# serves.
while IFS='|' read -r name settings reason; do
    begin "display_$name"
    settings=${settings//@/$WORK}
    settings=${settings//\{N\}/$LIVE_NUMBER}
    read -r -a settings <<<"${settings//\{M\}/$GONE_NUMBER}"
    answers 1
    run_app "PATH=$ZENITY_BIN:$PATH" "${settings[@]}" --
    expect_status 0
    reason=${reason//@/$WORK}
    reason=${reason//\{M\}/$GONE_NUMBER}
    if [[ -n $reason ]]; then expect_stderr "$USAGE$FAILED$reason"$'\n'; else expect_stderr ""; fi
    expect_calls "$ZENITY_OPEN"
    finish
done <<'ROWS'
x_local|DISPLAY=:{N}|
x_local_screen|DISPLAY=:{N}.0|
x_unix_host|DISPLAY=unix:{N}|
x_tcp|DISPLAY=127.0.0.1:{N}.0|
x_tcp_protocol|DISPLAY=tcp/127.0.0.1:{N}|
x_local_through_tcp|DISPLAY=tcp/localhost:{N}|
wayland_path|WAYLAND_DISPLAY=@/wayland-live|
wayland_runtime_dir|XDG_RUNTIME_DIR=@ WAYLAND_DISPLAY=wayland-live|
x_gone_wayland_live|DISPLAY=:{M} XDG_RUNTIME_DIR=@ WAYLAND_DISPLAY=wayland-live|
x_live_wayland_gone|DISPLAY=:{N} WAYLAND_DISPLAY=@/wayland-stale|
x_gone|DISPLAY=:{M}|cannot connect to display :{M}
x_unix_gone|DISPLAY=unix:{M}.0|cannot connect to display unix:{M}.0
x_unix_protocol_gone|DISPLAY=unix/:{M}|cannot connect to display unix/:{M}
x_tcp_gone|DISPLAY=127.0.0.1:{M}|cannot connect to display 127.0.0.1:{M}
x_no_number|DISPLAY=:stub|cannot connect to display :stub
x_no_colon|DISPLAY=stub|cannot connect to display stub
wayland_stale_socket|WAYLAND_DISPLAY=@/wayland-stale|cannot connect to Wayland display @/wayland-stale
wayland_no_runtime_dir|WAYLAND_DISPLAY=wayland-live|cannot connect to Wayland display wayland-live
wayland_missing|XDG_RUNTIME_DIR=@ WAYLAND_DISPLAY=wayland-9|cannot connect to Wayland display wayland-9
both_gone|DISPLAY=:{M} WAYLAND_DISPLAY=@/wayland-stale|cannot connect to display :{M} nor to Wayland display @/wayland-stale
ROWS

# A zenity that is found but cannot be started (its interpreter is missing)
# and a kdialog that dies, as Qt aborts without a display.
begin dialog_fails_cannot_start
run_app DISPLAY=:stub "PATH=$BROKEN_BIN" --
expect_status 0
expect_stderr "$USAGE${FAILED}zenity could not be started: No such file or directory"$'\n'
expect_only_files
finish

begin dialog_fails_kdialog_killed
answers KILL
run_app DISPLAY=:stub "PATH=$KDIALOG_BIN" --
expect_status 0
expect_stderr "$USAGE${FAILED}kdialog was killed by signal 9"$'\n'
expect_calls "$KDIALOG_OPEN"
finish

begin dialog_fails_kdialog_no_display
answers 1
run_app "DISPLAY=:$GONE_NUMBER" "PATH=$KDIALOG_BIN" --
expect_status 0
expect_stderr "$USAGE${FAILED}cannot connect to display :$GONE_NUMBER"$'\n'
expect_calls "$KDIALOG_OPEN"
finish

# The real zenity, when installed, on a display that does not exist.
if command -v zenity >/dev/null; then
    begin dialog_fails_real_zenity_no_display
    mkdir -p "$WORK/zenity-home"
    run_app "DISPLAY=:$GONE_NUMBER" "HOME=$WORK/zenity-home" --
    expect_status 0
    expect_stderr "$USAGE${FAILED}cannot connect to display :$GONE_NUMBER"$'\n'
    expect_only_files
    finish
else
    echo "SKIP dialog_fails_real_zenity_no_display: zenity is not installed"
fi

# --- Failures in dialog mode ------------------------------------------------

# A failure after a dialog goes to stderr and into a warning box; the save
# dialog never comes for a failure of the input. The box's own answer (here
# 1, as after Escape) changes nothing. MISSING: no input file at all. The
# detail, where there is one, is a second line on stderr (after "fftext: ")
# and in the box; @ stands for the input's path.
while IFS='|' read -r name input caption text detail; do
    begin "message_after_open_$name"
    if [[ $input != MISSING ]]; then printf '%b' "$input" >"$CASE/in.txt"; fi
    answers "0 $CASE/in.txt" "1"
    run_app "${STUBBED[@]}" --
    expect_status 0
    want_stderr="$caption: $text"$'\n'
    box=$text
    if [[ -n $detail ]]; then
        detail=${detail//@/$CASE/in.txt}
        want_stderr+="fftext: $detail"$'\n'
        box+=$'\n'$detail
    fi
    expect_stderr "$want_stderr"
    expect_calls "$ZENITY_OPEN" "[zenity][--warning][--no-markup][--title=$caption][--text=$box]"
    finish
done <<'ROWS'
zero_step|x y\n0 1\n|Error|Zero step in input data is invalid|@: first abscissa 0 (line 1), last 0 (line 2), step 0
empty_file||Warning|Empty file|
no_input_file|MISSING|Error|CreateFile(GENERIC_READ, FILE_SHARE_READ) failed|@: No such file or directory
bad_value|0 1\n\n1 1e999\n|Error|Invalid value at line 2|@:3: "1 1e999"
ROWS

begin message_after_save
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
mkdir "$CASE/a directory"
answers "0 $CASE/in.txt" "0 $CASE/a directory" "0"
run_app "${STUBBED[@]}" --
expect_status 0
expect_stderr "Error: CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed"$'\n'"fftext: $CASE/a directory: Is a directory"$'\n'
expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE" \
    "[zenity][--warning][--no-markup][--title=Error][--text=CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed
$CASE/a directory: Is a directory]"
finish

# Every ordinate missing (commas between the columns): the spectrum is
# saved, then the note comes in a warning box.
begin note_after_save
printf '0,1\n1,0\n2,0\n3,0\n' >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt" "0"
run_app "${STUBBED[@]}" --
expect_status 1
NOTE='every ordinate read as 0: no number stood where the second column was expected (commas or semicolons between the columns?); fftext-import EXPORT DATA converts such a file'
expect_stderr "fftext: note: $NOTE"$'\n'
expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE" "[zenity][--warning][--no-markup][--title=Warning][--text=$NOTE]"
expect_file "$CASE/out.txt" $'0\t0\t0\r\n0.25\t0\t0\r\n'
finish

# --- Two arguments: no dialog program is ever started -----------------------

begin two_arguments_no_dialog
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
run_app "${STUBBED[@]}" -- in.txt out.txt
expect_status 1
expect_stderr ""
expect_calls
expect_file "$CASE/out.txt" "$GOOD_OUTPUT"
finish

begin two_arguments_message_on_stderr_only
printf 'x y\n0 1\n' >"$CASE/in.txt"
run_app "${STUBBED[@]}" -- in.txt out.txt
expect_status 0
expect_stderr $'Error: Zero step in input data is invalid\nfftext: in.txt: first abscissa 0 (line 1), last 0 (line 2), step 0\n'
expect_calls
expect_only_files in.txt
finish

# --help, -h and --version alone answer on stdout, display or not; with a
# second argument they are paths.
for argument in --help -h --version; do
    answer=$USAGE
    [[ $argument == --version ]] && answer="fftext $VERSION"$'\n'
    for setting in DISPLAY=:stub WAYLAND_DISPLAY=stub; do
        begin "alone_${argument#--}_${setting%%=*}"
        run_app "$setting" "PATH=$ZENITY_BIN:$PATH" -- "$argument"
        expect_status 0
        expect_eq stdout "$STDOUT" "$answer"
        expect_stderr ""
        expect_calls
        expect_only_files
        finish
    done
done
begin help_as_input_path
run_app "${STUBBED[@]}" -- --help out.txt
expect_status 0
expect_eq stdout "$STDOUT" ""
expect_stderr $'Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed\nfftext: --help: No such file or directory\n'
expect_calls
finish

# --- No dialog can be shown: the usage line ---------------------------------

# Settings in which no dialog program may be started. An empty DISPLAY is no
# display; a PATH entry holding a zenity without execute permission or a
# kdialog that is a directory holds no dialog program. A zenity that cannot
# be started is a failure, below.
while IFS='|' read -r name display_setting path_setting arguments; do
    begin "usage_$name"
    settings=("PATH=${path_setting//@/$WORK}")
    [[ -n $display_setting ]] && settings+=("$display_setting")
    # shellcheck disable=SC2086  # the arguments column is split on purpose
    run_app "${settings[@]}" -- $arguments
    expect_status 0
    expect_stderr "$USAGE"
    expect_eq "stdout" "$STDOUT" ""
    expect_calls
    expect_only_files
    finish
done <<'ROWS'
no_display||@/zenity-bin:/usr/bin:/bin|
no_display_one_argument||@/zenity-bin:/usr/bin:/bin|ignored.txt
empty_display|DISPLAY=|@/zenity-bin:/usr/bin:/bin|
empty_wayland_display|WAYLAND_DISPLAY=|@/zenity-bin:/usr/bin:/bin|
no_program_on_path|DISPLAY=:stub|@/decoy-bin|
no_program_relative_entry|DISPLAY=:stub|@/decoy-bin::decoy|
ROWS

# --- Which program, and how kdialog is called -------------------------------

begin wayland_display_alone
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt"
run_app WAYLAND_DISPLAY=stub-0 "PATH=$ZENITY_BIN:$PATH" --
expect_status 1
expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE"
finish

# The search goes past entries that hold no program.
begin zenity_after_decoys
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt"
run_app DISPLAY=:stub "PATH=$DECOY_BIN:$ZENITY_BIN" --
expect_status 1
expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE"
finish

begin zenity_preferred_over_kdialog
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt"
run_app DISPLAY=:stub "PATH=$KDIALOG_BIN:$ZENITY_BIN" --
expect_status 1
expect_calls "$ZENITY_OPEN" "$ZENITY_SAVE"
finish

begin kdialog_open_and_save
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt"
run_app DISPLAY=:stub "PATH=$KDIALOG_BIN" --
expect_status 1
expect_calls "$KDIALOG_OPEN" "$KDIALOG_SAVE"
expect_file "$CASE/out.txt" "$GOOD_OUTPUT"
finish

# zenity entries that are no program must not hide the kdialog behind them.
begin kdialog_behind_decoys
printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0 $CASE/out.txt"
run_app DISPLAY=:stub "PATH=$DECOY_BIN:$WORK/decoy-dir-bin:$KDIALOG_BIN" --
expect_status 1
expect_calls "$KDIALOG_OPEN" "$KDIALOG_SAVE"
finish

begin kdialog_cancel_open
answers "1"
run_app "DISPLAY=:$LIVE_NUMBER" "PATH=$KDIALOG_BIN" --
expect_status 0
expect_stderr ""
expect_calls "$KDIALOG_OPEN"
finish

begin kdialog_message
printf 'x y\n0 1\n' >"$CASE/in.txt"
answers "0 $CASE/in.txt" "0"
run_app DISPLAY=:stub "PATH=$KDIALOG_BIN" --
expect_status 0
expect_calls "$KDIALOG_OPEN" "[kdialog][--title][Error][--sorry][Zero step in input data is invalid
$CASE/in.txt: first abscissa 0 (line 1), last 0 (line 2), step 0]"
finish

# --- Smoke run with the real zenity under Xvfb ------------------------------

# Polls for a visible window titled exactly "Data to transform"; prints its
# id. X reuses ids: the save dialog may get the open dialog's, so the caller
# waits for one dialog to be gone before looking for the next.
find_dialog() {
    local id tries
    for ((tries = 0; tries < 150; tries++)); do
        id=$(timeout 5 xdotool search --onlyvisible --name '^Data to transform$' 2>/dev/null | head -n 1)
        if [[ -n $id ]]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    return 1
}

is_viewable() { timeout 5 xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }

# Types a full path into window $1 and confirms it; $3 "open" first opens the
# location box (the save dialog's name box has the focus already). GTK
# completes typed paths asynchronously and swallows an Enter sent too soon:
# pause, and press Enter again while the window stays up.
type_path() {
    local window=$1 path=$2 kind=$3 tries polls
    timeout 5 xdotool windowfocus --sync "$window" || return 1
    [[ $kind == open ]] && timeout 5 xdotool key --clearmodifiers ctrl+l
    timeout 5 xdotool key --clearmodifiers ctrl+a
    timeout 20 xdotool type --delay 5 "$path"
    sleep 0.3
    for ((tries = 0; tries < 5; tries++)); do
        timeout 5 xdotool key Return
        for ((polls = 0; polls < 20; polls++)); do
            is_viewable "$window" || return 0
            sleep 0.1
        done
    done
    return 1
}

smoke_real_zenity() {
    local tool
    for tool in Xvfb xdotool xwininfo zenity; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP real_zenity_smoke: $tool is not installed"
            return
        fi
    done
    begin real_zenity_smoke
    local home=$CASE/home runtime=$CASE/runtime display_file=$CASE/display
    mkdir -p "$home" "$runtime"
    chmod 700 "$runtime"
    printf '%s' "$GOOD_INPUT" >"$CASE/in.txt"

    # -noreset: without it the server resets whenever its last client leaves,
    # and a client connecting meanwhile fails (zenity then looks cancelled).
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$display_file" 2>/dev/null &
    XVFB_PID=$!
    local tries
    for ((tries = 0; tries < 100; tries++)); do
        [[ -s $display_file ]] && break
        sleep 0.1
    done
    if [[ ! -s $display_file ]]; then
        fail "Xvfb did not start"
        finish
        return
    fi
    DISPLAY=:$(<"$display_file")
    export DISPLAY

    (cd "$CASE" && exec env -u WAYLAND_DISPLAY NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory HOME="$home" \
        XDG_RUNTIME_DIR="$runtime" timeout 60 "$FFTEXT" >"$WORK/stdout" 2>"$WORK/stderr" </dev/null) &
    APP_PID=$!

    local open_window save_window
    if ! open_window=$(find_dialog); then
        fail "the open dialog did not appear"
    elif ! type_path "$open_window" "$CASE/in.txt" open; then
        fail "the open dialog did not take the path"
    elif ! save_window=$(find_dialog); then
        fail "the save dialog did not appear"
    elif ! type_path "$save_window" "$CASE/out.txt" save; then
        fail "the save dialog did not take the path"
    fi
    [[ -n $problems ]] && kill "$APP_PID" 2>/dev/null
    # wait in this shell: in a $(...) it would return at once.
    wait "$APP_PID"
    STATUS=$?
    APP_PID=
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    unset DISPLAY
    if [[ -z $problems ]]; then
        expect_status 1
        expect_file "$CASE/out.txt" "$GOOD_OUTPUT"
    fi
    finish
}

smoke_real_zenity

echo "$passed passed, $failed failed"
((failed == 0))
