#!/usr/bin/env bash
# Times two builds of fftext against each other on the same inputs, their
# runs interleaved (old, new, old, new, ...) so that a slow spell of the
# machine falls on both; checks that they write the same bytes.
#
#   bench/compare.sh OLD_FFTEXT NEW_FFTEXT [DIR]   (DIR defaults to /tmp/fftext-bench)
#   RUNS=n                                        runs per program and size (default 9)
#
# Prints a markdown table: medians and ranges in seconds, new / old.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
old=$1
new=$2
dir=${3:-/tmp/fftext-bench}
runs=${RUNS:-9}
python3 "$root/bench/make_inputs.py" "$dir" 1000 100000 1000000 10000000 >/dev/null
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
python3 - "$old" "$new" "$dir" "$runs" <<'PY'
import filecmp, os, statistics, subprocess, sys, time
old, new, folder, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])

def timed(program, samples, output):
    if os.path.exists(output):
        os.remove(output)  # a new file each run, as bench/run.sh does
    start = time.perf_counter()
    code = subprocess.call([program, samples, output])
    elapsed = time.perf_counter() - start
    if code != 1:  # 1: spectrum written
        sys.exit("%s %s: exit code %d" % (program, samples, code))
    return elapsed

print("| lines | old median s (range) | new median s (range) | new / old |")
print("|---|---|---|---|")
for count in (1000, 100000, 1000000, 10000000):
    samples = os.path.join(folder, "samples-%d.txt" % count)
    outputs = {p: os.path.join(folder, "compare-%s.txt" % p) for p in ("old", "new")}
    times = {"old": [], "new": []}
    for run in range(runs + 1):  # the first round warms the page cache and is not counted
        for name, program in (("old", old), ("new", new)) if run % 2 == 0 else (("new", new), ("old", old)):
            elapsed = timed(program, samples, outputs[name])
            if run > 0:
                times[name].append(elapsed)
    if not filecmp.cmp(outputs["old"], outputs["new"], shallow=False):
        sys.exit("%d lines: the two builds wrote different bytes" % count)
    o, n = statistics.median(times["old"]), statistics.median(times["new"])
    print("| %d | %.4f (%.4f–%.4f) | %.4f (%.4f–%.4f) | %.3f |" % (
        count, o, min(times["old"]), max(times["old"]), n, min(times["new"]), max(times["new"]), n / o))
PY
