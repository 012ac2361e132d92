#!/usr/bin/env bash
# Runs the CTest suite of a build tree under Wine with its own prefix and a
# private Xvfb display that this script starts and stops.
# Usage: run-tests.sh BUILD_DIR [ctest arguments...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"; shift
"$here/wine-prefix.sh" "$build" || exit 1
. "$here/wine-env.sh" "$build"

display=""
for n in $(seq 91 140); do
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
# One wineserver for the whole run keeps process start-up cheap.
"$WINESERVER" -p >/dev/null 2>&1 || true
# Start the prefix's background processes (services, devices, desktop) now, with
# no test output attached: a helper that inherits CTest's pipes would make CTest
# wait for it until the time-out.
"$WINE" wineboot >/dev/null 2>&1 </dev/null || true
# A GUI program brings up the desktop process, which inherits its stderr.
"$WINE" rundll32.exe >/dev/null 2>&1 </dev/null || true
"$WINE" explorer /desktop=shell,1024x768 /dev/null >/dev/null 2>&1 </dev/null &
# The manager of the default desktop too: Wine starts it on first use (a new
# console's host window, a launch onto "Winsta0\Default") from the process that
# needs it, which then hands it CTest's stderr pipe and makes CTest wait for the
# time-out.
"$WINE" explorer /desktop >/dev/null 2>&1 </dev/null &
sleep 0.5
ctest --test-dir "$build" --output-on-failure "$@"
