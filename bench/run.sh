#!/usr/bin/env bash
# Times fftext against its peers side by side on the same inputs.
#
#   bench/run.sh [DIR]      (DIR defaults to /tmp/fftext-bench)
#   RUNS=n                  runs per program and size (default 5)
#   WITH_TYPICAL=1          numpy_typical at 10^7 lines too
#   OVERWRITE=1             each run overwrites the output of the one before
#
# Generates the inputs (not stored), builds fftext (release and, when the
# cross compiler and wine exist, the Windows program), the FFTW + fast_float
# peer, and runs hyperfine on each size. Prints markdown tables: medians,
# ranges, ratios, and peak resident memory (GNU time).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-/tmp/fftext-bench}
mkdir -p "$dir"
runs=${RUNS:-5}

for package in hyperfine libfftw3-dev libfast-float-dev python3-numpy time; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q "install ok installed" ||
        { echo "missing Debian package $package (apt-get install $package)" >&2; exit 1; }
done

cmake --preset release >/dev/null && cmake --build --preset release >/dev/null
g++ -std=c++17 -O2 "$root/bench/peers/fftw_peer.cpp" -o "$dir/fftw_peer" -lfftw3 -lm
python3 "$root/bench/make_inputs.py" "$dir" >/dev/null

fftext=$root/build/release/fftext
# Debian's python3, which has numpy (another python3 may come first on PATH).
python=/usr/bin/python3
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo

peak_mib() {  # peak resident memory of one run, in MiB
    /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1 | awk '{printf "%.0f", $1 / 1024}'
}

for count in 100000 1000000 10000000; do
    input=$dir/samples-$count.txt
    commands=("$fftext $input $dir/out-fftext.txt"
              "$dir/fftw_peer $input $dir/out-peer.txt"
              "$python $root/bench/peers/numpy_tuned.py $input $dir/out-tuned.txt")
    names=(fftext fftw_peer numpy_tuned)
    if [ "$count" != 10000000 ] || [ -n "${WITH_TYPICAL:-}" ]; then
        commands+=("$python $root/bench/peers/numpy_typical.py $input $dir/out-typical.txt")
        names+=(numpy_typical)
    fi
    args=()
    for i in "${!commands[@]}"; do args+=(-n "${names[$i]}" "${commands[$i]}"); done
    echo "### $count lines ($(du -m "$input" | cut -f1) MB)"
    echo
    # fftext exits with 1 after a written spectrum, so exit codes are not checked.
    # Each run writes a new file: truncating the last run's 300 MB output
    # waits for its writeback to the disk, a cost of the file system that
    # every program would pay in its open (OVERWRITE=1 measures it that way).
    prepare=(--prepare "rm -f $dir/out-fftext.txt $dir/out-peer.txt $dir/out-tuned.txt $dir/out-typical.txt")
    if [ -n "${OVERWRITE:-}" ]; then prepare=(); fi
    hyperfine -N -i --warmup 1 --runs "$runs" "${prepare[@]}" --export-json "$dir/times-$count.json" "${args[@]}" >/dev/null 2>&1
    python3 - "$dir/times-$count.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
base = next(r for r in results if r["command"] == "fftext")["median"]
print("| program | median s | min–max s | ratio to fftext |")
print("|---|---|---|---|")
for r in results:
    print("| %s | %.3f | %.3f–%.3f | %.2f |" % (r["command"], r["median"], r["min"], r["max"], r["median"] / base))
PY
    echo
    echo "peak memory: fftext $(peak_mib "$fftext" "$input" "$dir/out-fftext.txt") MiB," \
         "fftw_peer $(peak_mib "$dir/fftw_peer" "$input" "$dir/out-peer.txt") MiB," \
         "input $(du -m "$input" | cut -f1) MB"
    echo
done
