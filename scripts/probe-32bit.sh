#!/usr/bin/env bash
# Tells whether this machine's kernel runs 32-bit x86 programs at all, apart
# from whether Wine works: some kernels are built without 32-bit support, and
# there every i386 program, Wine's 32-bit loader among them, fails to start.
#
#   scripts/probe-32bit.sh [PROGRAM]
#
# Without PROGRAM it builds a tiny static 32-bit program with the native
# binutils (no 32-bit libraries needed) that exits with 42, and runs it.
# PROGRAM runs another one instead, which must exit with 42 when it runs.
#
# Exit status: 0 the kernel runs 32-bit programs; 3 it refuses them (Exec
# format error), the reason on standard output; 1 the probe itself failed
# (no assembler, or the program ran and failed), which is not a reason to
# skip anything.
set -uo pipefail

refused_reason="this machine's kernel does not run 32-bit programs (Exec format error): the x86 build was not run under Wine"

work="$(mktemp -d "${TMPDIR:-/tmp}/probe-32bit.XXXXXX")" || exit 1
trap 'rm -rf "$work"' EXIT

program="${1:-}"
if [ -z "$program" ]; then
    program="$work/probe"
    cat >"$work/probe.s" <<'EOF'
    .globl _start
_start:
    movl $1, %eax       # exit
    movl $42, %ebx      # status 42: it ran
    int $0x80
EOF
    if ! as --32 -o "$work/probe.o" "$work/probe.s" 2>"$work/err" ||
        ! ld -m elf_i386 -o "$program" "$work/probe.o" 2>>"$work/err"; then
        echo "probe-32bit: cannot build the 32-bit probe program: $(head -1 "$work/err")" >&2
        exit 1
    fi
fi

"$program" 2>"$work/err"
status=$?
if [ $status -eq 42 ]; then
    exit 0
fi
# The shell reports the kernel's ENOEXEC as exit status 126 and says why.
if [ $status -eq 126 ] && grep -q "Exec format error" "$work/err"; then
    echo "$refused_reason"
    exit 3
fi
echo "probe-32bit: $program exited with $status: $(head -1 "$work/err")" >&2
exit 1
