#!/usr/bin/env bash
# Screenshots of both layouts in real host windows, their pages and button
# states, under a private Xvfb display and a prefix of their own
# (BUILD_DIR/ui-shots-prefix): PNG files in BUILD_DIR/ui-shots/. The README's
# pictures come from the program's own run instead (make docs-images).
# Usage: ui-shots.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/../bench/common.sh"
bench_args "" "$@"
bench_require ui_shots.exe
program="$bin/ui_shots.exe"
out="$build/ui-shots"
mkdir -p "$out"
bench_prefix ui-shots-prefix 291 340
"$WINE" "$program" "Z:${out//\//\\}" </dev/null 2>&1 | tr -d '\r'
code=${PIPESTATUS[0]}
[ "$code" = 0 ] || { echo "ui-shots: ui_shots.exe failed ($code)" >&2; exit 1; }
echo "== $(ls "$out"/*.png | wc -l) screenshots in $out"
