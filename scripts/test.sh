#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh test
cmake --preset ci >/dev/null
cmake --build --preset ci
ctest --preset ci
