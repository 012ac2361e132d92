#!/usr/bin/env bash
# Checks the include layers of src/, then runs the whole suite on each build
# tree in turn, prints CTest's summary of each once more at the end with the
# test code's share of the code, and fails when the check or any suite failed
# or the tests outgrew their share (LINES_MAX_RATIO).
# Usage: test-all.sh BUILD_DIR...
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
status=0
summaries=()
echo "== include layers"
bash "$here/check-layers.sh" || status=1
for build in "$@"; do
    log="$build/last-test-run.txt"
    echo "== tests of $build"
    bash "$here/run-tests.sh" "$build" 2>&1 | tee "$log"
    code=${PIPESTATUS[0]}
    [ "$code" = 0 ] || status=1
    summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -n1)
    took=$(grep -E '^Total Test time' "$log" | tail -n1 | sed 's/^Total Test time (real) = */, in /')
    summaries+=("$build: ${summary:-no CTest summary (exit code $code)}$took")
done
echo
echo "== summaries"
printf '%s\n' "${summaries[@]}"
bash "$here/count-lines.sh" || status=1
exit "$status"
