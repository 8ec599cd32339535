#!/usr/bin/env bash
# read_output.sh FFTEXT SOURCE-DIR: the python lines of the README's "Reading
# the output", run as they stand on the spectrum of examples/signal.txt, read
# every row and column: the same numbers as the text split by hand, N/2 rows,
# the frequencies k / (N dx), the tallest peak at 50 Hz. The pandas lines run
# where pandas is installed. Exit status 77 (skip) when no python3 has numpy.
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
cd "$work" || exit 1
"$python" - "$found" <<'PYTHON'
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
print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
PYTHON
