#!/usr/bin/env bash
# The 32-bit probe tells a kernel that refuses 32-bit programs apart from a
# program that fails, on any machine: a program the kernel cannot execute on
# any machine stands in for a 32-bit one on a kernel without 32-bit support.
#   probe-test.sh WINE_TEST_SH
set -uo pipefail
here="$(dirname "$(readlink -f "$0")")"
probe="$here/../../scripts/probe-32bit.sh"
wine_test="$1"
reason="this machine's kernel does not run 32-bit programs (Exec format error): the x86 build was not run under Wine"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# An ELF program for a machine no kernel knows: execve says ENOEXEC, as a
# kernel without 32-bit support says for every i386 program.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\000\001\000\000\000' >"$work/foreign"
head -c 200 /dev/zero >>"$work/foreign"
chmod +x "$work/foreign"
printf '#!/bin/sh\nexit 42\n' >"$work/runs" && chmod +x "$work/runs"
printf '#!/bin/sh\necho broken >&2\nexit 1\n' >"$work/broken" && chmod +x "$work/broken"

out="$(bash "$probe" "$work/foreign")"
status=$?
[ $status -eq 3 ] || fail "a program the kernel refuses: expected status 3, got $status"
[ "$out" = "$reason" ] || fail "a program the kernel refuses: expected the reason line, got: $out"

bash "$probe" "$work/runs" >/dev/null
status=$?
[ $status -eq 0 ] || fail "a program that runs: expected status 0, got $status"

bash "$probe" "$work/broken" >/dev/null 2>&1
status=$?
[ $status -eq 1 ] || fail "a program that fails in another way is no reason to skip: expected status 1, got $status"

# The real probe on this machine: it runs or the kernel refuses; never broken.
out="$(bash "$probe")"
status=$?
case $status in
    0) echo "this machine's kernel runs 32-bit programs" ;;
    3) echo "$out" ;;
    *) fail "the real probe failed (status $status)" ;;
esac

# The x86 runs are skipped with the reason; the x64 ones never are: with the
# same refusing program they go on (and here fail, having no display).
out="$(ORVO_WINE_ARCH=x86 ORVO_PROBE32_PROGRAM="$work/foreign" bash "$wine_test" scenario "$work/state" "$work/prefix" \
    host dll doc script 2>&1)"
status=$?
[ $status -eq 77 ] || fail "x86 scenario on a refusing kernel: expected the skip status 77, got $status"
[ "$out" = "$reason" ] || fail "x86 scenario on a refusing kernel: expected only the reason line, got: $out"
out="$(ORVO_WINE_ARCH=x86 ORVO_PROBE32_PROGRAM="$work/broken" bash "$wine_test" start "$work/state" "$work/prefix" 2>&1)"
status=$?
[ $status -eq 1 ] || fail "x86 start with a broken probe must fail, not skip: got $status"
out="$(ORVO_WINE_ARCH=x64 ORVO_PROBE32_PROGRAM="$work/foreign" bash "$wine_test" scenario "$work/state" "$work/prefix" \
    host dll doc script 2>&1)"
status=$?
[ $status -ne 77 ] || fail "an x64 run was skipped"
[[ "$out" == *"no display recorded"* ]] || fail "the x64 run did not go on to look for its display: $out"

[ $failed -eq 0 ] && echo "the probe tells a refusing kernel, a running program and a broken one apart"
exit $failed
