#!/usr/bin/env bash
# corpus.sh FFTEXT.EXE NATIVE-FFTEXT [COUNT]: the two builds on the same
# generated inputs (make_corpus.py, COUNT files, default 2000, or
# $FFTEXT_CORPUS_FILES), in command-line mode: the output files must be the
# same bytes, and a failing input the same exit code and message. Exit status
# 77 (skip) when the native program is missing.
set -u
if [ $# -lt 2 ] || [ ! -f "$1" ]; then
    echo "usage: corpus.sh FFTEXT.EXE NATIVE-FFTEXT [COUNT]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
native=$2
count=${3:-${FFTEXT_CORPUS_FILES:-2000}}
if [ ! -x "$native" ]; then
    echo "SKIP: no native program at $native (build the release preset first)"
    echo "0 passed, 0 failed"
    exit 77
fi
native=$(cd "$(dirname "$native")" && pwd)/$(basename "$native")
. "$here/wine_env.sh"

work=$(mktemp -d)
trap 'wine_session_end; rm -rf "$work"' EXIT
wine_session_begin || exit 1
mkdir "$work/in" "$work/native" "$work/wine"
python3 "$here/make_corpus.py" "$count" "$work/in" || exit 1

# Each side writes NAME.out and NAME.result ("exit code|message").
run_native() {
    local name=$1
    timeout 60 "$native" "$work/in/$name.txt" "$work/native/$name.out" </dev/null >/dev/null 2>"$work/native/$name.err"
    # The message line; the Linux build's detail line after it has no Windows counterpart.
    echo "$?|$(head -n 1 "$work/native/$name.err")" >"$work/native/$name.result"
}
run_wine() {
    local name=$1
    (cd "$work" && wine_cli "$work/wine/$name.log" "$exe" "$work/in/$name.txt" "$work/wine/$name.out")
    echo "$?|$(relay_message "$work/wine/$name.log")" >"$work/wine/$name.result"
    rm -f "$work/wine/$name.log" "$work/wine/$name.log.stdout"
}

# One worker per processor, each on every jobs-th file.
jobs=$(nproc 2>/dev/null || echo 2)
names=$(cd "$work/in" && ls | sed 's/\.txt$//')
for side in native wine; do
    for worker in $(seq 0 $((jobs - 1))); do
        (
            i=0
            for name in $names; do
                [ $((i % jobs)) = "$worker" ] && "run_$side" "$name"
                i=$((i + 1))
            done
        ) &
    done
    wait
done

python3 - "$work" $names <<'PYTHON'
import os, sys
work, names = sys.argv[1], sys.argv[2:]
same = differ = rows = rows_differ = failing = 0
columns = [0, 0, 0]
shown = 0
for name in names:
    results = [open(os.path.join(work, side, name + '.result')).read().strip() for side in ('native', 'wine')]
    outputs = []
    for side in ('native', 'wine'):
        path = os.path.join(work, side, name + '.out')
        outputs.append(open(path, 'rb').read() if os.path.exists(path) else None)
    if not results[0].startswith('1|'):
        failing += 1
    if results[0] == results[1] and outputs[0] == outputs[1]:
        same += 1
        rows += outputs[0].count(b'\n') if outputs[0] else 0
        continue
    differ += 1
    detail = ''
    if results[0] != results[1]:
        detail = 'native %r, wine %r' % (results[0], results[1])
    elif outputs[0] is not None and outputs[1] is not None:
        a, b = outputs[0].split(b'\r\n'), outputs[1].split(b'\r\n')
        rows += len(a) - 1
        bad = [(i, x, y) for i, (x, y) in enumerate(zip(a, b)) if x != y]
        rows_differ += len(bad) + abs(len(a) - len(b))
        for _, x, y in bad:
            fx, fy = x.split(b'\t'), y.split(b'\t')
            for c in range(min(3, len(fx), len(fy))):
                if fx[c] != fy[c]:
                    columns[c] += 1
        if bad:
            i, x, y = bad[0]
            detail = '%d of %d lines differ; line %d: native %r, wine %r' % (len(bad), len(a) - 1, i + 1, x, y)
        else:
            detail = 'lengths %d and %d' % (len(outputs[0]), len(outputs[1]))
    else:
        detail = 'output present: native %s, wine %s' % (outputs[0] is not None, outputs[1] is not None)
    if shown < 10:
        print('DIFF %s: %s' % (name, detail))
        shown += 1
print('%d files compared (%d of them failing inputs), %d identical, %d different; '
      '%d lines written, %d lines different (frequency %d, magnitude %d, phase %d)'
      % (len(names), failing, same, differ, rows, rows_differ, columns[0], columns[1], columns[2]))
print('%d passed, %d failed' % (same, differ))
sys.exit(1 if differ else 0)
PYTHON
