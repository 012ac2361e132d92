#!/usr/bin/env bash
# Times the UI library's loading of the three pool documents and both layouts
# (bench_ui_load.exe) against an empty start-up of the same program
# ("--empty"), in the same run, under Wine. See bench/README.md.
# Usage: ui-load.sh BUILD_DIR [RUNS]   (default 20 runs)
set -uo pipefail
. "$(dirname "$0")/common.sh"
bench_args 20 "$@"
bench_require bench_ui_load.exe
program="$bin/bench_ui_load.exe"
goal_ms=20
out="$build/bench-ui"
mkdir -p "$out"
bench_prefix bench-ui-prefix 241 290

results="$out/results.txt"
: >"$results"
# One warm-up of each, then alternating runs so that both see the same machine.
"$WINE" "$program" --empty </dev/null >/dev/null 2>&1
"$WINE" "$program" </dev/null >/dev/null 2>&1
for run in $(seq 1 "$runs"); do
    start=$(now_ns)
    "$WINE" "$program" --empty </dev/null >/dev/null 2>&1
    echo "empty $(( ($(now_ns) - start) / 1000 ))" >>"$results"
    start=$(now_ns)
    line=$("$WINE" "$program" </dev/null 2>/dev/null | tr -d '\r')
    echo "whole $(( ($(now_ns) - start) / 1000 ))" >>"$results"
    read -r pools layouts total <<<"$(echo "$line" | sed -E 's/.*pools ([0-9]+) us, layouts ([0-9]+) us, total ([0-9]+) us.*/\1 \2 \3/')"
    echo "pools $pools" >>"$results"
    echo "layouts $layouts" >>"$results"
    echo "load $total" >>"$results"
done
echo "== $line"
echo "== microseconds over $runs runs (min / median)"
awk -v goal="$goal_ms" -f "$bench_stats" -f <(printf '%s\n' '
    { v[$1, ++count[$1]] = $2 }
    function row(label, name) { printf "  %-48s %9.0f %9.0f\n", label, minimum(name), median(name) }
    END {
        printf "  %-48s %9s %9s\n", "", "min", "median"
        row("empty start-up (process start to exit)", "empty")
        row("start-up with loading (process start to exit)", "whole")
        row("loading, measured inside: pool documents", "pools")
        row("loading, measured inside: both layouts", "layouts")
        row("loading, measured inside: total", "load")
        printf "== loading / empty start-up: min %.3f, median %.3f\n", minimum("load") / minimum("empty"), median("load") / median("empty")
        printf "== (start-up with loading - empty) / empty: median %.3f\n", (median("whole") - median("empty")) / median("empty")
        printf "== loading median %.1f ms; goal under %d ms: %s\n", median("load") / 1000, goal,
            (median("load") / 1000 < goal ? "within" : "NOT within")
    }') "$results"
