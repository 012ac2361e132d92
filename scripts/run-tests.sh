#!/usr/bin/env bash
# Runs the CTest suite of a build tree under Wine with its own prefix and a
# private Xvfb display that this script starts and stops, TEST_JOBS tests at
# once (default: one per processor; later -j arguments win).
# Usage: run-tests.sh BUILD_DIR [ctest arguments...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"; shift
"$here/wine-prefix.sh" "$build" || exit 1
. "$here/wine-env.sh" "$build" || exit 1

. "$here/wine-session.sh"
wine_session_start 91 140 || exit 1
ctest --test-dir "$build" --output-on-failure -j "${TEST_JOBS:-$(nproc)}" "$@"
