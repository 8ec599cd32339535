#!/usr/bin/env bash
# Builds the program and transforms the bundled example signal.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build/example -G Ninja -DCMAKE_BUILD_TYPE=Release -DFFTEXT_TESTS=OFF >/dev/null
cmake --build build/example
output=build/example-spectrum.txt
set +e
build/example/fftext examples/signal.txt "$output"
status=$?
set -e
# A written spectrum ends the run with exit code 1.
if [ "$status" != 1 ]; then
    echo "fftext failed (exit code $status)" >&2
    exit 1
fi
echo
echo "Spectrum of examples/signal.txt written to $output; its peaks (frequency, magnitude):"
build/example/fftext-plot --peaks 4 "$output"
echo "Its picture, the peaks marked: build/example-spectrum.svg"
