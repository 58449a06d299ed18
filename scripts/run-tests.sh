#!/usr/bin/env bash
# Builds everything and runs every test: unit and scenario tests, the same
# under AddressSanitizer and UBSan, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev libncurses-dev tmux \
    libbenchmark-dev libpugixml-dev libzip-dev musescore3 libxml2-utils unzip clang libclang-rt-14-dev \
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 \
    wine wine64 wine32:i386 fonts-wine libxrender1 libxrandr2 libxinerama1 libxcursor1 libxi6 libxfixes3 libxcomposite1 xvfb

# The MusicXML schema comes with an npm package, fetched by the tests.
command -v npm >/dev/null || scripts/install-deps.sh npm

echo "== Linux build and tests"
cmake --workflow --preset test

echo "== AddressSanitizer and UBSan build and tests"
cmake --workflow --preset test-asan

echo "== Windows x86 build, scenarios under Wine"
cmake --workflow --preset test-wine-x86

echo "== Windows x64 build, scenarios under Wine"
cmake --workflow --preset test-wine

echo "== Fuzzing, about a minute a target"
scripts/run-fuzz.sh 60
