#!/usr/bin/env bash
# A program that dies must read as a failure through CTest's emulator. The 32-bit
# Wine loader ("wine") reads a 64-bit program's stack overflow as exit code 0, and
# the 64-bit loader a 32-bit program's: the emulator must start each program with
# the loader of its own architecture. Each program given (a sleeper) logs a line,
# then overflows its stack.
# Usage: expect-crash.sh EMULATOR PROGRAM...
set -u
runner="$1"; shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
status=0
for program in "$@"; do
    rm -f crash.log
    "$runner" "$program" --log crash.log --crash stack >/dev/null 2>&1
    code=$?
    if [ ! -s crash.log ]; then
        echo "FAIL: $program did not run (exit code $code)"; status=1
    elif [ "$code" = 0 ]; then
        echo "FAIL: $program died of a stack overflow, but its exit code reads 0"; status=1
    else
        echo "ok: $program died of a stack overflow, exit code $code"
    fi
done
exit "$status"
