#!/usr/bin/env bash
# trig.sh PROBE.EXE PROBE-SOURCE NATIVE-COMMON-LIBRARY: the cosine, sine and
# arc tangents of the Windows build against the native build's, bit for bit,
# on the probe's ~300,000 arguments. The native probe is compiled here from
# the same source and linked with the native build's common library (the
# functions the native program uses). The C libraries' own functions are
# compared too, for information only.
set -u
if [ $# -ne 3 ] || [ ! -f "$1" ] || [ ! -f "$2" ]; then
    echo "usage: trig.sh PROBE.EXE PROBE-SOURCE NATIVE-COMMON-LIBRARY" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
probe_exe=$1
source=$2
stages=$3
if [ ! -f "$stages" ]; then
    echo "SKIP: no native common library at $stages (build the release preset first)"
    echo "0 passed, 0 failed"
    exit 77
fi
. "$here/wine_env.sh"
work=$(mktemp -d)
trap 'wine_session_end; rm -rf "$work"' EXIT
wine_session_begin || exit 1

${CXX:-c++} -std=c++17 -O2 -ffp-contract=off -I"$here/../../src" "$source" "$stages" -o "$work/probe" ||
    { echo "FAIL: the native probe does not build"; echo "0 passed, 1 failed"; exit 1; }
"$work/probe" >"$work/native.txt" || { echo "FAIL: the native probe failed"; echo "0 passed, 1 failed"; exit 1; }
wine_cli "$work/wine.log" "$probe_exe"
rc=$?
tr -d '\r' <"$work/wine.log.stdout" >"$work/wine.txt"
[ "$rc" = 0 ] || { echo "FAIL: the Windows probe exited with $rc"; echo "0 passed, 1 failed"; exit 1; }

python3 - "$work/native.txt" "$work/wine.txt" <<'PYTHON'
import collections, sys
native = open(sys.argv[1]).read().split('\n')
wine = open(sys.argv[2]).read().split('\n')
if len(native) != len(wine) or len(native) < 1000:
    print('FAIL: %d native lines, %d Windows lines' % (len(native), len(wine)))
    print('0 passed, 1 failed')
    sys.exit(1)
total, program, library = collections.Counter(), collections.Counter(), collections.Counter()
library_total = collections.Counter()
shown = 0
for a, b in zip(native, wine):
    if not a:
        continue
    fa, fb = a.split(), b.split()
    kind = fa[0]
    # angle lines: kind x cos sin sincos-sin sincos-cos libcos libsin;
    # point lines: kind y x atan2 quick-atan2 libatan2
    if len(fa) == 8:
        mine, theirs = slice(2, 6), slice(6, 8)
    else:
        mine, theirs = slice(3, 5), slice(5, 6)
    results = mine.stop - mine.start
    total[kind] += results
    library_total[kind] += theirs.stop - theirs.start
    program[kind] += sum(x != y for x, y in zip(fa[mine], fb[mine]))
    library[kind] += sum(x != y for x, y in zip(fa[theirs], fb[theirs]))
    if fa[mine] != fb[mine] and shown < 10:
        print('DIFF %s: native %s, Windows %s' % (kind, a, b))
        shown += 1
for kind in total:
    print('%-8s %7d results: program functions differ in %d; C libraries differ in %d of %d (%.2f%%)'
          % (kind, total[kind], program[kind], library[kind], library_total[kind],
             100.0 * library[kind] / library_total[kind]))
failed = sum(program.values())
print('%d passed, %d failed' % (sum(total.values()) - failed, failed))
sys.exit(1 if failed else 0)
PYTHON
