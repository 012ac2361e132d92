#!/usr/bin/env bash
# Demonstration on a fresh Wine prefix: lays down the sample installation in
# C:\Program Files\Lumenox, takes its inventory, runs "uninst.exe /s" there,
# takes the inventory again, shows the usage-report records and the stand-ins'
# logs, and exits 0 only when the removal check passes.
# Usage: demo.sh BUILD_DIR
# The stand-ins log into BUILD_DIR/demo-logs (the installation directory goes
# with the removal): qsdxbase_reports.jsonl, qsdxbase_calls.log, Pavrenkit.log,
# qdoxkit.log, lumenox_viewer.log and the traces of the extra actions.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
bin="$build/bin"
name=demo-prefix
logs="$build/demo-logs"
target='C:\Program Files\Lumenox'
self_removal_wait_s=10

rm -rf "$build/$name" "$build/$name-home" "$logs"
mkdir -p "$logs"
echo "== fresh prefix $build/$name"
"$here/wine-prefix.sh" "$build" "$name" || exit 1
. "$here/wine-env.sh" "$build" "$name" || exit 1

. "$here/wine-session.sh"
wine_session_start 141 190 || exit 1

setup() { "$WINE" "$bin/lumenox_setup.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
logs_win="Z:${logs//\//\\}"

echo "== installing into $target"
setup "$target" --log-dir "$logs_win" --climb-out || { echo "demo: installation failed" >&2; exit 1; }
echo "== inventory before the removal"
setup --inventory "$target"

echo "== uninst.exe /s"
start=$(date +%s.%N)
"$WINE" "$target\\uninst.exe" /s </dev/null >/dev/null 2>&1
code=$?
printf 'exit code %d after %.1f s\n' "$code" "$(echo "$(date +%s.%N) - $start" | bc)"

# The self-removal script deletes the uninstaller's directory a little after its exit.
for _ in $(seq 1 "$self_removal_wait_s"); do
    setup --check-removed "$target" >/dev/null && break
    sleep 1
done
echo "== inventory after the removal"
setup --inventory "$target"
echo "== logs of the stand-ins in $logs"
# The lock library and the document kit belong to the wizard's uninstall
# button; a silent run leaves them alone.
for log in qsdxbase_reports.jsonl lumenox_viewer.log expandtask_before.log; do
    echo "-- $log"
    if [ -f "$logs/$log" ]; then tr -d '\r' < "$logs/$log"; else echo "(none)"; fi
done
echo "== removal check"
setup --check-removed "$target"
