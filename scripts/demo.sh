#!/usr/bin/env bash
# Demonstration on a fresh Wine prefix: lays down the sample installation in
# C:\Program Files\Lumenox, takes its inventory, uninstalls it, takes the
# inventory again, shows the usage-report records and the stand-ins' logs, and
# exits 0 only when the removal check passes.
# Usage: demo.sh BUILD_DIR [MODE]
#   wizard   (the default) "uninst.exe" started plainly: with a DISPLAY, on
#            that display for a person to click through; without one, on a
#            private Xvfb display, where demo_driver.exe clicks through as a
#            person does and saves each window in BUILD_DIR/demo-shots/
#   headless the driven run on a private display even when DISPLAY is set
#   silent   "uninst.exe /s"
# The stand-ins log into BUILD_DIR/demo-logs (the installation directory goes
# with the removal): qsdxbase_reports.jsonl, qsdxbase_calls.log, Pavrenkit.log,
# qdoxkit.log, lumenox_viewer.log and the traces of the extra actions.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [wizard|headless|silent]" >&2; exit 2; }
build="$(cd "$1" && pwd)"
mode="${2:-wizard}"
case "$mode" in
    wizard) if [ -n "${DISPLAY:-}" ]; then mode=interactive; else mode=headless; fi ;;
    headless|silent) ;;
    *) echo "demo: MODE must be wizard, headless or silent, not '$mode'" >&2; exit 2 ;;
esac
bin="$build/bin"
name=demo-prefix
logs="$build/demo-logs"
shots="$build/demo-shots"
target='C:\Program Files\Lumenox'
self_removal_wait_s=10
demo_start=$(date +%s.%N)
elapsed() { echo "$(date +%s.%N) - $1" | bc; }

rm -rf "$build/$name" "$build/$name-home" "$logs" "$shots"
mkdir -p "$logs"
echo "== fresh prefix $build/$name"
"$here/wine-prefix.sh" "$build" "$name" || exit 1
. "$here/wine-env.sh" "$build" "$name" || exit 1

. "$here/wine-session.sh"
if [ "$mode" = interactive ]; then
    wine_session_start_on_display || exit 1
else
    wine_session_start 141 190 || exit 1
fi

setup() { "$WINE" "$bin/lumenox_setup.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
logs_win="Z:${logs//\//\\}"

echo "== installing into $target"
setup "$target" --log-dir "$logs_win" --climb-out || { echo "demo: installation failed" >&2; exit 1; }
echo "== inventory before the removal"
setup --inventory "$target"

start=$(date +%s.%N)
case "$mode" in
    silent)
        echo "== uninst.exe /s"
        "$WINE" "$target\\uninst.exe" /s </dev/null >/dev/null 2>&1
        code=$? ;;
    interactive)
        echo "== uninst.exe on $DISPLAY: answer the question about the open viewer, then uninstall and finish"
        "$WINE" "$target\\uninst.exe" </dev/null >/dev/null 2>&1
        code=$? ;;
    headless)
        echo "== uninst.exe driven by demo_driver.exe on the private display $DISPLAY"
        "$WINE" "$bin/demo_driver.exe" --shots "Z:${shots//\//\\}" "$target\\uninst.exe" </dev/null 2>&1 | tr -d '\r'
        code=${PIPESTATUS[0]} ;;
esac
printf 'exit code %d after %.1f s\n' "$code" "$(elapsed "$start")"

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
for log in qsdxbase_reports.jsonl lumenox_viewer.log expandtask_before.log Pavrenkit.log qdoxkit.log; do
    echo "-- $log"
    if [ -f "$logs/$log" ]; then tr -d '\r' < "$logs/$log"; else echo "(none)"; fi
done
if [ "$mode" = headless ]; then
    echo "== screenshots in $shots"
    ls "$shots" 2>/dev/null
fi
echo "== removal check"
setup --check-removed "$target"
checked=$?
printf '== demo (%s) took %.1f s\n' "$mode" "$(elapsed "$demo_start")"
[ "$code" = 0 ] || { echo "demo: the uninstaller's run failed ($code)" >&2; exit 1; }
exit "$checked"
