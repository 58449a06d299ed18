#!/usr/bin/env bash
# Builds the plug-in and the reference host, then runs both commands of the
# plug-in on the bundled demo score and prints what the user would see.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev

cmake --workflow --preset demo >/dev/null
host=build/default/veldune-host
out=build/demo
mkdir -p "$out"
rm -f "$out/registry.reg"
