#!/usr/bin/env bash
# Times one progress-bar repaint and one full redraw of the wizard in a real
# host window (bench_ui_paint.exe), each against one BitBlt of the same size in
# the same run, under Wine and a private display. See bench/README.md.
# Usage: ui-paint.sh BUILD_DIR [RUNS]   (default 3 runs)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
scripts="$here/../scripts"
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [RUNS]" >&2; exit 2; }
build="$(cd "$1" && pwd)"
runs="${2:-3}"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "runs must be a positive number" >&2; exit 2; }
program="$build/bin/bench_ui_paint.exe"
[ -f "$program" ] || { echo "missing $program: build first" >&2; exit 1; }
"$scripts/wine-prefix.sh" "$build" bench-ui-prefix || exit 1
. "$scripts/wine-env.sh" "$build" bench-ui-prefix
. "$scripts/wine-session.sh"
wine_session_start 241 290 || exit 1
status=0
for run in $(seq 1 "$runs"); do
    echo "== run $run"
    "$WINE" "$program" </dev/null 2>&1 | tr -d '\r' || status=1
done
exit "$status"
