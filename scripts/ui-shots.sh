#!/usr/bin/env bash
# Screenshots of both layouts in real host windows, their pages and button
# states, under a private Xvfb display and a prefix of their own
# (BUILD_DIR/ui-shots-prefix): PNG files in BUILD_DIR/ui-shots/. The README's
# pictures come from the program's own run instead (make docs-images).
# Usage: ui-shots.sh BUILD_DIR
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build="$(cd "$1" && pwd)"
program="$build/bin/ui_shots.exe"
[ -f "$program" ] || { echo "missing $program: build first" >&2; exit 1; }
out="$build/ui-shots"
mkdir -p "$out"
"$here/wine-prefix.sh" "$build" ui-shots-prefix || exit 1
. "$here/wine-env.sh" "$build" ui-shots-prefix
. "$here/wine-session.sh"
wine_session_start 291 340 || exit 1
"$WINE" "$program" "Z:${out//\//\\}" </dev/null 2>&1 | tr -d '\r'
code=${PIPESTATUS[0]}
[ "$code" = 0 ] || { echo "ui-shots: ui_shots.exe failed ($code)" >&2; exit 1; }
echo "== $(ls "$out"/*.png | wc -l) screenshots in $out"
