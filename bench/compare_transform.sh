#!/usr/bin/env bash
# Times the one-thread and the threaded transform of two builds of
# bench_transform against each other: the two binaries take turns, size by
# size, ROUNDS times, and FFTW r2c runs in each turn as a yardstick for the
# machine's pace. Prints a markdown table of medians (microseconds).
#
#   bench/compare_transform.sh OLD_BENCH_TRANSFORM NEW_BENCH_TRANSFORM
#   ROUNDS=n  turns per binary and size (default 5)
set -eu
old=$1
new=$2
rounds=${ROUNDS:-5}
python3 - "$old" "$new" "$rounds" <<'PY'
import json, statistics, subprocess, sys
old, new, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])

def run(binary, n):
    names = "BM_real_spectrum|BM_real_spectrum_parallel|BM_fftw_r2c_estimate"
    out = subprocess.run([binary, "--benchmark_filter=(%s)/%d(/|$)" % (names, n), "--benchmark_format=json",
                          "--benchmark_min_warmup_time=0.1", "--benchmark_min_time=0.2"],
                         check=True, capture_output=True, text=True).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        times[b["run_name"].split("/")[0]] = b["real_time"]
    return times

print("| N | old, 1 thread | new, 1 thread | new / old | old, threaded | new, threaded | new / old | FFTW (yardstick, old turns / new turns) |")
print("|---|---|---|---|---|---|---|---|")
for e in (10, 12, 14, 16, 18, 20, 22, 24):
    n = 1 << e
    got = {"old": [], "new": []}
    for r in range(rounds):
        for name, binary in (("old", old), ("new", new)) if r % 2 == 0 else (("new", new), ("old", old)):
            got[name].append(run(binary, n))
    med = {name: {k: statistics.median(t[k] for t in got[name]) for k in got[name][0]} for name in got}
    o, w = med["old"], med["new"]
    one = "| 2^%d | %.4g | %.4g | %.3f |" % (e, o["BM_real_spectrum"], w["BM_real_spectrum"],
                                          w["BM_real_spectrum"] / o["BM_real_spectrum"])
    if "BM_real_spectrum_parallel" in o:
        p = " %.4g | %.4g | %.3f |" % (o["BM_real_spectrum_parallel"], w["BM_real_spectrum_parallel"],
                                      w["BM_real_spectrum_parallel"] / o["BM_real_spectrum_parallel"])
    else:
        p = " | | |"
    print(one + p + " %.4g / %.4g |" % (o["BM_fftw_r2c_estimate"], w["BM_fftw_r2c_estimate"]))
PY
