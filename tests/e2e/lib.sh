# Shared by the end-to-end scripts: how to run the program, and the checks.
# Sourced with PROGRAM set; FFTEXT_E2E_HOOK may name a bash file that
# redefines run_fftext for another build (under an emulator, say).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
golden=$here/../golden
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run_fftext ARG... : runs the program; sets RC, MESSAGE ("Caption: text" or
# "", the first line of standard error) and DETAIL (the lines after it: the
# Linux build's "fftext: ..." line, if any).
run_fftext() {
    timeout 60 "$PROGRAM" "$@" </dev/null >"$work/stdout" 2>"$work/stderr"
    RC=$?
    MESSAGE=$(head -n 1 "$work/stderr")
    DETAIL=$(tail -n +2 "$work/stderr")
}
if [ -n "${FFTEXT_E2E_HOOK:-}" ]; then
    # shellcheck source=/dev/null
    . "$FFTEXT_E2E_HOOK"
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL $1: $2"; }

# expect_output NAME INPUT [OUTPUT]: a completed run writes exactly NAME.out.
expect_output() {
    local name=$1 input=$2 output=${3:-$work/$1.result}
    run_fftext "$input" "$output"
    if [ "$RC" != 1 ]; then fail "$name" "exit code $RC, want 1 (message: $MESSAGE)"; return; fi
    if [ -n "$MESSAGE" ]; then fail "$name" "unexpected message: $MESSAGE"; return; fi
    if ! cmp -s "$output" "$golden/$name.out"; then
        fail "$name" "output differs from $name.out:"
        diff <(od -c "$golden/$name.out") <(od -c "$output") | head -n 10
        return
    fi
    pass
}

# expect_failure NAME INPUT MESSAGE [OUTPUT]: exit code 0, exactly that one
# message, and no output file.
expect_failure() {
    local name=$1 input=$2 want=$3 output=${4:-$work/$1.never}
    run_fftext "$input" "$output"
    if [ "$RC" != 0 ]; then fail "$name" "exit code $RC, want 0"; return; fi
    if [ "$MESSAGE" != "$want" ]; then fail "$name" "message '$MESSAGE', want '$want'"; return; fi
    if [ -e "$output" ]; then fail "$name" "an output file was created"; return; fi
    pass
}

# failure_text NAME PRINTF-TEXT MESSAGE: the input is made from the printf text.
failure_text() {
    printf -- "$2" >"$work/$1.txt"
    expect_failure "$1" "$work/$1.txt" "$3"
}

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
}
