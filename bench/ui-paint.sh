#!/usr/bin/env bash
# Times one progress-bar repaint and one full redraw of the wizard in a real
# host window (bench_ui_paint.exe), each against one BitBlt of the same size in
# the same run, under Wine and a private display. See bench/README.md.
# Usage: ui-paint.sh BUILD_DIR [RUNS]   (default 3 runs)
set -uo pipefail
. "$(dirname "$0")/common.sh"
bench_args 3 "$@"
bench_require bench_ui_paint.exe
program="$bin/bench_ui_paint.exe"
bench_prefix bench-ui-prefix 241 290
status=0
for run in $(seq 1 "$runs"); do
    echo "== run $run"
    "$WINE" "$program" </dev/null 2>&1 | tr -d '\r' || status=1
done
exit "$status"
