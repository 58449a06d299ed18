#!/usr/bin/env bash
# Builds everything and runs every test: unit and scenario tests, the same
# under AddressSanitizer and UBSan, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev \
    libbenchmark-dev clang libclang-rt-14-dev

echo "== Linux build and tests"
cmake --workflow --preset test

echo "== AddressSanitizer and UBSan build and tests"
cmake --workflow --preset test-asan
