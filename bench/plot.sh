#!/usr/bin/env bash
# Times fftext-plot drawing the 10^7-line benchmark's spectrum (2^23 rows,
# about 325 MB) next to fftext writing that spectrum, in the same run.
#
#   bench/plot.sh [DIR]     (DIR defaults to /tmp/fftext-bench, shared with bench/run.sh)
#   RUNS=n                  runs per program (default 5)
#
# The runs alternate: fftext writes a new spectrum file (the old one removed
# first), then fftext-plot draws it into a new picture. Prints a markdown
# table of medians and ranges in seconds.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-/tmp/fftext-bench}
runs=${RUNS:-5}
mkdir -p "$dir"
cd "$root"
cmake --preset release >/dev/null && cmake --build --preset release --target fftext fftext-plot >/dev/null
python3 bench/make_inputs.py "$dir" 10000000 >/dev/null
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
python3 - "$root/build/release" "$dir" "$runs" <<'PY'
import os, statistics, subprocess, sys, time
build, folder, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
samples = os.path.join(folder, "samples-10000000.txt")
spectrum = os.path.join(folder, "spectrum-10000000.txt")
picture = os.path.join(folder, "spectrum-10000000.svg")

def timed(command, want):
    start = time.perf_counter()
    code = subprocess.call(command)
    elapsed = time.perf_counter() - start
    if code != want:
        sys.exit("%s: exit code %d" % (" ".join(command), code))
    return elapsed

# The drawings timed: the default, ten peaks printed, a range on a log axis.
draws = {
    "fftext-plot (draws it)": [],
    "fftext-plot --peaks 10": ["--peaks", "10"],
    "fftext-plot --from 1000 --to 200000 --log-frequency --peaks 10": ["--from", "1000", "--to", "200000", "--log-frequency", "--peaks", "10"],
}
times = {"fftext (writes the spectrum)": []}
times.update({name: [] for name in draws})
for run in range(runs + 1):  # the first round warms the page cache and is not counted
    for path in (spectrum, picture):
        if os.path.exists(path):
            os.remove(path)
    write = timed([os.path.join(build, "fftext"), samples, spectrum], 1)  # 1: spectrum written
    if run > 0:
        times["fftext (writes the spectrum)"].append(write)
    for name, options in draws.items():
        with open(os.devnull, "w") as quiet:
            start = time.perf_counter()
            code = subprocess.call([os.path.join(build, "fftext-plot")] + options + [spectrum, picture], stdout=quiet)
            draw = time.perf_counter() - start
        if code != 0:
            sys.exit("fftext-plot %s: exit code %d" % (" ".join(options), code))
        if run > 0:
            times[name].append(draw)
print("spectrum %d bytes, picture %d bytes" % (os.path.getsize(spectrum), os.path.getsize(picture)))
print()
print("| program | median s | min–max s |")
print("|---|---|---|")
for name, values in times.items():
    print("| %s | %.3f | %.3f–%.3f |" % (name, statistics.median(values), min(values), max(values)))
PY
