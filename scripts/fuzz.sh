#!/usr/bin/env bash
# The long fuzz run: N generated inputs against every reader of outside input.
# Inputs that crash, hang or misbehave are kept in tests/fuzz/crashes/<target>/,
# from where every later run (the suite's short one too) replays them.
# Usage: fuzz.sh BUILD_DIR N   (FUZZ_SEED=X repeats a run, FUZZ_TARGET=NAME narrows it)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="$(cd "$1" && pwd)"
inputs="${2:-100000}"
"$here/wine-prefix.sh" "$build" || exit 1
. "$here/wine-env.sh" "$build"
"$WINESERVER" -p >/dev/null 2>&1 || true
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
args=(--corpus "Z:$root/tests/fuzz" --findings "Z:$root/tests/fuzz/crashes" --inputs "$inputs")
[ -n "${FUZZ_SEED:-}" ] && args+=(--seed "$FUZZ_SEED")
[ -n "${FUZZ_TARGET:-}" ] && args+=(--target "$FUZZ_TARGET")
"$WINE" "$build/bin/fuzz_driver.exe" "${args[@]}"
