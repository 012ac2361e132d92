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
. "$here/wine-env.sh" "$build" "$name"

display=""
for n in $(seq 141 190); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
cleanup() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
"$WINESERVER" -p >/dev/null 2>&1 || true
# Start the prefix's background processes and the desktop with no output of
# ours attached, so that none of them holds this script's pipes.
"$WINE" wineboot >/dev/null 2>&1 </dev/null || true
"$WINE" rundll32.exe >/dev/null 2>&1 </dev/null || true

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
