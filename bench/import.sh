#!/usr/bin/env bash
# Times fftext-import converting a 10^7-row comma export (about 254 MB: the
# abscissa as Python's repr of i * 1e-4, the ordinate with ten significant
# digits) next to fftext transforming the converted file, in the same run,
# and reports fftext-import's peak resident memory (/usr/bin/time -v).
#
#   bench/import.sh [DIR]   (DIR defaults to /tmp/fftext-bench)
#   RUNS=n                  runs per program (default 5)
#
# The runs alternate: fftext-import writes a new data file (the old one
# removed first), then fftext transforms it into a new spectrum. The first
# round warms the page cache and is not counted. Prints a markdown table of
# medians and ranges in seconds, and the ratio of the medians.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-/tmp/fftext-bench}
runs=${RUNS:-5}
mkdir -p "$dir"
cd "$root"
cmake --preset release >/dev/null && cmake --build --preset release --target fftext fftext-import >/dev/null
export_file=$dir/export-10000000.csv
if [ ! -f "$export_file" ]; then
    python3 - "$export_file" <<'PY'
import random, sys
random.seed(1)
with open(sys.argv[1], "w") as out:
    lines = []
    for i in range(10**7):
        lines.append("%r,%.10g\n" % (i * 1e-4, random.uniform(-1, 1)))
        if len(lines) == 100000:
            out.write("".join(lines))
            lines = []
    out.write("".join(lines))
PY
fi
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
python3 - "$root/build/release" "$dir" "$runs" "$export_file" <<'PY'
import os, re, statistics, subprocess, sys, time
build, folder, runs, export = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
data = os.path.join(folder, "export-10000000.txt")
spectrum = os.path.join(folder, "export-spectrum.txt")

def timed(command, want):
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-v"] + command, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if result.returncode != want:
        sys.exit("%s: exit code %d\n%s" % (" ".join(command), result.returncode, result.stderr))
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))
    return elapsed, rss

names = ("fftext-import (converts the export)", "fftext (transforms the converted file)")
times = {name: [] for name in names}
peak = 0
for run in range(runs + 1):
    for path in (data, spectrum):
        if os.path.exists(path):
            os.remove(path)
    convert, rss = timed([os.path.join(build, "fftext-import"), export, data], 0)
    transform, _ = timed([os.path.join(build, "fftext"), data, spectrum], 1)  # 1: spectrum written
    if run > 0:
        times[names[0]].append(convert)
        times[names[1]].append(transform)
        peak = max(peak, rss)
rows = 10**7
bound = 16 * 1024 + 8 * rows / 1024
print("export %d bytes, converted file %d bytes, %d rows" % (os.path.getsize(export), os.path.getsize(data), rows))
print()
print("| program | median s | min–max s |")
print("|---|---|---|")
for name in names:
    values = times[name]
    print("| %s | %.3f | %.3f–%.3f |" % (name, statistics.median(values), min(values), max(values)))
print()
print("ratio of the medians: %.2f (goal: at most 2)" % (statistics.median(times[names[0]]) / statistics.median(times[names[1]])))
print("fftext-import peak resident memory: %d KiB (bound 16 MiB + 8 bytes per row = %d KiB)" % (peak, bound))
PY
