#!/usr/bin/env bash
# Prints the lines of test code and of the code under test, and their ratio;
# fails when the tests exceed the allowed share of the other code.
# Usage: count-lines.sh [MAX_RATIO]   (or LINES_MAX_RATIO)
# Tests may be at most half as long as the other code.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
max="${1:-${LINES_MAX_RATIO:-0.5}}"

# Code files (sources, headers, CMake and shell scripts) under the given folders.
count() {
    (cd "$root" && find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.cmake' \
        -o -name CMakeLists.txt -o -name '*.sh' \) -print0 2>/dev/null) |
        (cd "$root" && xargs -0 cat 2>/dev/null) | wc -l
}

tests=$(count tests)
# All other code: the program, the stand-ins, benchmarks, scripts, resources,
# the demo tools and the build files.
code=$(count src companions bench scripts res tools cmake CMakeLists.txt)
awk -v t="$tests" -v c="$code" -v max="$max" 'BEGIN {
    ratio = c ? t / c : 0
    printf "test code lines: %d, non-test code lines: %d, ratio %.3f (at most %s)\n", t, c, ratio, max
    exit ratio > max ? 1 : 0
}'
