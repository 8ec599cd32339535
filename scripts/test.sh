#!/usr/bin/env bash
# Builds everything and runs every test tier:
#   1. native release build, warnings as errors, fault injection: all tests
#   2. the same under AddressSanitizer and UndefinedBehaviorSanitizer
# Missing Debian packages are installed first (as root or through sudo).
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh test

echo "== native build, all tests"
cmake --preset ci >/dev/null
cmake --build --preset ci
ctest --preset ci

echo "== sanitizer build, all tests"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan
