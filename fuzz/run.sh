#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one for a while.
#
#   fuzz/run.sh [SECONDS] [TARGET...]   each target SECONDS long (default 60)
#   fuzz/run.sh --ci                    each target 45 s: about 3 minutes in all
#
# Two targets run at a time (FUZZ_PARALLEL=n to change). FUZZ_KEEP_GOING=1
# runs each target in libFuzzer's fork mode, which goes on after a crash, so
# that a long campaign is not ended by the first finding. Each works on
# build/fuzz/corpus-<target>, which starts as a copy of the committed seeds in
# fuzz/corpus/<target> and keeps what earlier runs found; the seeds themselves
# are only read. Logs go to build/fuzz/logs/, crashing inputs to
# build/fuzz/artifacts/<target>/. Exits non-zero when any target crashed,
# leaked, timed out or ran out of memory.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/fuzz"
all_targets=(fuzz_read_number fuzz_parse_samples fuzz_format_number fuzz_pipeline fuzz_import)

seconds=60
if [[ "${1:-}" == "--ci" ]]; then
    seconds=45
    shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then targets=("${all_targets[@]}"); fi
parallel=${FUZZ_PARALLEL:-2}
keep_going=()
if [[ "${FUZZ_KEEP_GOING:-0}" == 1 ]]; then keep_going=(-fork=1 -ignore_crashes=1); fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DFFTEXT_FUZZ=ON -DFFTEXT_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"

# Inputs longer than this only slow the runs down: every code path is reached
# with a few lines of text, and 8 to 10 bytes make any double.
max_len() {
    case "$1" in
        fuzz_format_number) echo 16 ;;
        *) echo 4096 ;;
    esac
}

run_target() {
    local target=$1
    local corpus="$build/corpus-$target"
    local artifacts="$build/artifacts/$target/"
    mkdir -p "$corpus" "$artifacts" "$build/logs"
    local seed
    for seed in "$root/fuzz/corpus/$target/"*; do
        [[ -e "$corpus/${seed##*/}" ]] || cp "$seed" "$corpus/"
    done
    chmod -R u+w "$corpus"
    touch "$build/logs/$target.start"
    set +e
    "$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts" \
        "${keep_going[@]}" >"$build/logs/$target.log" 2>&1
    echo $? >"$build/logs/$target.rc"
    set -e
}

running=0
for target in "${targets[@]}"; do
    if [[ $running -ge $parallel ]]; then
        wait -n
        running=$((running - 1))
    fi
    echo "fuzzing $target for $seconds s"
    run_target "$target" &
    running=$((running + 1))
done
wait

status=0
printf '%-20s %6s %12s %6s %7s\n' target result executions cov corpus
for target in "${targets[@]}"; do
    log="$build/logs/$target.log"
    rc=$(cat "$build/logs/$target.rc")
    # Fork mode prints no final statistics but "#executions: cov: ..." lines.
    executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || true)
    if [[ -z "$executions" ]]; then
        executions=$(grep -o '^#[0-9]*:' "$log" | tail -n 1 | tr -d '#:' || true)
    fi
    # Fork mode exits with 0 after crashes; what it found is in the artifacts.
    found=$(find "$build/artifacts/$target" -type f -newer "$build/logs/$target.start" | wc -l)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$' || true)
    corpus=$(grep -o 'corp: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$' || true)
    result=ok
    if [[ $rc -ne 0 || $found -ne 0 ]]; then
        result=FAILED
        status=1
    fi
    printf '%-20s %6s %12s %6s %7s\n' "$target" "$result" "${executions:-?}" "${cov:-?}" "${corpus:-?}"
    if [[ $result == FAILED ]]; then
        find "$build/artifacts/$target" -type f -newer "$build/logs/$target.start"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*check failed|artifact_prefix|Test unit written)' "$log" | head -n 10 || true
    fi
done
exit $status
