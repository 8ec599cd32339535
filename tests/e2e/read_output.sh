#!/usr/bin/env bash
# read_output.sh FFTEXT SOURCE-DIR: the python lines of the README's "Reading
# the output", run as they stand on the spectrum of examples/signal.txt, read
# every row and column: the same numbers as the text split by hand, N/2 rows,
# the frequencies k / (N dx), the tallest peak at 50 Hz. The pandas lines run
# where pandas is installed. The README's numpy lines of the sign convention
# give fftext's magnitudes and phases, and its "Reading a magnitude" lines
# print the rows it shows. Exit status 77 (skip) when no python3 has numpy.
set -u
fftext=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python=""
for candidate in python3 /usr/bin/python3; do
    if "$candidate" -c 'import numpy' 2>/dev/null; then python=$candidate; break; fi
done
if [ -z "$python" ]; then
    echo "SKIP: no python3 with numpy (scripts/deps.sh test installs python3-numpy)"
    exit 77
fi
env -u DISPLAY "$fftext" "$source/examples/signal.txt" "$work/out.txt" </dev/null
rc=$?
[ "$rc" = 1 ] || { echo "FAIL example: exit $rc"; echo "0 passed, 1 failed"; exit 1; }

# The README's block, from its python fence to the closing one.
awk '/^## Reading the output/ { on = 1 } on && /^```python/ { grab = 1; next }
     grab && /^```/ { exit } grab { print }' "$source/README.md" >"$work/readme.py"
grep -q 'np.loadtxt' "$work/readme.py"
found=$?
# Every python block of the README, each after a "# ---- block" line.
awk '/^```python/ { grab = 1; print "# ---- block"; next } grab && /^```/ { grab = 0 } grab { print }' \
    "$source/README.md" >"$work/blocks.py"
cp "$source/examples/signal.txt" "$work/in.txt"
cd "$work" || exit 1
"$python" - "$found" "$source/docs/fftext.1" "$source/data/windows/README.txt" <<'PYTHON'
import sys
import numpy

found = sys.argv[1] == "0"
block = open("readme.py").read()
passed = failed = 0

def check(name, ok, detail):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAIL %s: %s" % (name, detail))

check("readme_block", found, "no np.loadtxt line in the README's python block")
try:
    import pandas  # noqa: F401
    have_pandas = True
except ImportError:
    have_pandas = False
    print("pandas is not installed: its lines are not run")
    block = block[:block.index("import pandas")] if "import pandas" in block else block

names = {}
exec(block, names)

# The text split by hand: the rows that do not start with %.
rows = [line.split("\t") for line in open("out.txt", newline="").read().split("\r\n")
        if line and not line.startswith("%")]
expected = numpy.array([[float(v) for v in row] for row in rows])
data = names.get("data")
check("numpy_values", data is not None and data.shape == expected.shape and numpy.array_equal(data, expected),
      "np.loadtxt gave %r" % (None if data is None else data.shape,))
# 3000 samples 1 ms apart, padded to N = 4096: N/2 rows at k / 4.096 Hz.
check("numpy_rows", data is not None and data.shape == (2048, 3), "shape %r" % (None if data is None else data.shape,))
if data is not None and data.shape == (2048, 3):
    k = numpy.arange(2048)
    check("frequencies", numpy.allclose(data[:, 0], k / 4.096, rtol=1e-8, atol=0), "frequency column")
    peak = data[1:, 0][numpy.argmax(data[1:, 1])]
    check("peak_at_50_hz", abs(peak - 50.0) < 0.25, "tallest peak at %r Hz" % peak)
    check("unpacked", numpy.array_equal(names.get("phase"), data[:, 2]), "frequency, magnitude, phase = data.T")
if have_pandas:
    table = names.get("table")
    check("pandas_values", table is not None and table.shape == (2048, 3) and
          numpy.array_equal(table.to_numpy(), expected) and list(table.columns) == ["frequency", "magnitude", "phase"],
          "pd.read_csv gave %r" % (None if table is None else table.shape,))

# "Output": the lines that give fftext's magnitudes and phases with numpy's
# FFT, run on the example signal as in.txt, against fftext's rows: the same
# within the nine printed digits (numpy's sums round differently).
sign_block = [b for b in open("blocks.py").read().split("# ---- block\n") if "np.fft.fft" in b]
check("sign_block", len(sign_block) == 1, "%d python blocks with np.fft.fft in the README" % len(sign_block))
# The manual page holds the same lines, between .nf and .fi.
manual = open(sys.argv[2]).read().split("\n.nf\n")
manual_block = [part.split("\n.fi\n")[0] + "\n" for part in manual if "np.fft.fft" in part]
check("manual_sign_block", sign_block and manual_block == sign_block,
      "docs/fftext.1's numpy lines differ from the README's")
windows = open(sys.argv[3]).read()
check("windows_sign_block", sign_block and "\n" + sign_block[0] in windows,
      "data/windows/README.txt's numpy lines differ from the README's")
if sign_block and data is not None and data.shape == (2048, 3):
    lines = {}
    exec(sign_block[0], lines)
    want_magnitude, want_phase = data[1:, 1], data[1:, 2]
    magnitude, phase = lines.get("magnitude"), lines.get("phase")
    check("numpy_magnitude", magnitude is not None and numpy.allclose(magnitude, want_magnitude, rtol=2e-8, atol=1e-12),
          "largest difference %r" % (None if magnitude is None else numpy.max(numpy.abs(magnitude - want_magnitude)),))
    turn = None if phase is None else numpy.abs(numpy.angle(numpy.exp(1j * (phase - want_phase))))
    check("numpy_phase", turn is not None and numpy.max(turn) < 1e-7, "largest difference %r" % (None if turn is None else numpy.max(turn),))
print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
PYTHON
status=$?

# "Reading a magnitude": its shell lines, run from a copy of the source
# folder's example with the built program first on PATH, print the rows the
# README shows after them.
awk '/^\*\*Reading a magnitude/ { on = 1 } on && !ran && /^```sh/ { grab = 1; next }
     grab && /^```/ { grab = 0; ran = 1; next } ran && !shown && /^```$/ { shown = 1; next }
     shown && /^```/ { exit } grab { print > "magnitude.sh" } shown { print > "magnitude.want" }' "$source/README.md"
mkdir -p examples && cp "$source/examples/signal.txt" examples/
PATH=$(cd "$(dirname "$fftext")" && pwd):$PATH bash magnitude.sh >magnitude.got 2>&1
if [ -s magnitude.want ] && cmp -s magnitude.got magnitude.want; then
    echo "magnitude lines: passed"
else
    echo "FAIL magnitude_lines: got"; cat magnitude.got; echo "want"; cat magnitude.want 2>/dev/null
    status=1
fi
exit "$status"
