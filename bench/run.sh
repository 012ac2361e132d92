#!/usr/bin/env bash
# Times the silent run ("uninst.exe /s") against a floor: bench_floor.exe, which
# removes the same files, keys, shortcuts and verbs in straight-line code.
# Each run installs the full-size sample (lumenox_setup.exe), times the
# uninstaller with its step trace, installs the sample again and times the floor
# on it. See bench/README.md for what the figures mean.
# Usage: run.sh BUILD_DIR [RUNS]   (default 5 runs)
# Everything happens in a prefix of its own, BUILD_DIR/bench-prefix, made afresh.
set -uo pipefail
. "$(dirname "$0")/common.sh"
bench_args 5 "$@"
name=bench-prefix
out="$build/bench"
logs="$out/logs"
target="$bench_target"
# Goals, read on the medians: the removal work against the floor, step 12
# against the floor's tree and shortcuts, and the process start and exit
# outside the traced steps against the floor's own.
ratio_goal=1.2
step12_ratio_goal=1.15
outside_goal_ms=20
# The viewer window's close loop waits for the user's program, not for removal
# work; it stays out of the figures. The service and a helper process stay in:
# stopping them is part of the removal.
uninst_options=(--no-viewer)
# The floor neither stops processes nor deletes services: its installation has none.
floor_options=(--no-viewer --no-service --no-processes)

bench_require uninst.exe lumenox_setup.exe bench_floor.exe

rm -rf "$build/$name" "$build/$name-home" "$out"
mkdir -p "$logs"
echo "== fresh prefix $build/$name"
# A warm wineserver and the prefix's background processes are started before
# any timing, so that neither start-up lands in a measured run.
bench_prefix "$name" 191 240

ms_since() { echo $(( ($(now_ns) - $1) / 1000000 )); }

# "ms step1 ... step17 viewer_check inside" from a +timestamp,+debugstr trace:
# each step's duration up to the next mark, the viewer check up to step 1, and
# the span from the viewer check to the end mark.
parse_trace() {
    tr -d '\r' <"$1" | awk '
        match($0, /^[0-9]+\.[0-9]+:/) { t = substr($0, 1, RLENGTH - 1) * 1000 } 
        /uninst: viewer check/ { at["v"] = t }
        match($0, /uninst: step [0-9]+/) { n = substr($0, RSTART + 13, RLENGTH - 13) + 0; at[n] = t }
        END {
            for (n = 1; n <= 18; n++) if (!(n in at)) { print "missing step " n > "/dev/stderr"; exit 1 }
            if (!("v" in at)) at["v"] = at[1]
            line = ""
            for (n = 1; n <= 17; n++) line = line sprintf("%d ", at[n + 1] - at[n])
            printf "%s%d %d\n", line, at[1] - at["v"], at[18] - at["v"]
        }'
}

# "tree keys verbs links" of the floor, in ms, from its marks.
parse_floor_trace() {
    tr -d '\r' <"$1" | awk '
        match($0, /^[0-9]+\.[0-9]+:/) { t = substr($0, 1, RLENGTH - 1) * 1000 }
        match($0, /floor: (tree|keys|verbs|links|end)/) { at[substr($0, RSTART + 7, RLENGTH - 7)] = t }
        END {
            if (!("tree" in at) || !("end" in at)) { print "incomplete floor trace" > "/dev/stderr"; exit 1 }
            printf "%d %d %d %d\n", at["keys"] - at["tree"], at["verbs"] - at["keys"], at["links"] - at["verbs"],
                at["end"] - at["links"]
        }'
}

results="$out/results.txt"   # one line per run and figure: "figure ms"
: >"$results"
record() { echo "$1 $2" >>"$results"; }

for run in $(seq 1 "$runs"); do
    run_start=$(now_ns)
    # -- the uninstaller
    bench_install "${uninst_options[@]}"
    [ "$run" = 1 ] && installed_line=$(grep '^installed:' "$out/install.txt")
    trace="$out/trace-$run.txt"
    start=$(now_ns)
    WINEDEBUG=+timestamp,+debugstr "$WINE" "$target\\uninst.exe" /s </dev/null >/dev/null 2>"$trace"
    code=$?
    uninst_ms=$(ms_since "$start")
    [ "$code" = 0 ] || echo "bench: run $run: uninst.exe exit code $code" >&2
    figures=$(parse_trace "$trace") || { echo "bench: run $run: incomplete step trace in $trace" >&2; exit 1; }
    read -r -a f <<<"$figures"
    for n in $(seq 1 17); do record "step$n" "${f[$((n - 1))]}"; done
    viewer_ms=${f[17]}
    inside_ms=${f[18]}
    waits_ms=$(( f[2] + f[4] + f[10] ))
    record uninst "$uninst_ms"
    record viewer_check "$viewer_ms"
    record outside $(( uninst_ms - inside_ms ))
    record waits "$waits_ms"
    record work $(( uninst_ms - waits_ms ))
    # The self-removal script takes the directory a few seconds after the exit;
    # it must be done before the next installation goes there.
    bench_wait_removed "$out/check-uninst-$run.txt" || { echo "bench: run $run: the uninstaller left:" >&2; cat "$out/check-uninst-$run.txt" >&2; }

    # -- the floor, on the same installation
    bench_install "${floor_options[@]}"
    start=$(now_ns)
    WINEDEBUG=+timestamp,+debugstr "$WINE" "$bin/bench_floor.exe" "$target" </dev/null 2>"$out/floor-trace-$run.txt" |
        tr -d '\r' >"$out/floor-$run.txt"
    floor_ms=$(ms_since "$start")
    record floor "$floor_ms"
    parts=$(parse_floor_trace "$out/floor-trace-$run.txt") || exit 1
    read -r -a p <<<"$parts"
    record floor_tree "${p[0]}"
    record floor_keys "${p[1]}"
    record floor_verbs "${p[2]}"
    record floor_links "${p[3]}"
    record floor_outside $(( floor_ms - p[0] - p[1] - p[2] - p[3] ))
    setup --check-removed "$target" >"$out/check-floor-$run.txt" ||
        { echo "bench: run $run: the floor left:" >&2; cat "$out/check-floor-$run.txt" >&2; }
    printf 'run %d: uninst.exe /s %d ms (prescribed waits %d ms, removal work %d ms), floor %d ms  [run took %.1f s]\n' \
        "$run" "$uninst_ms" "$waits_ms" $(( uninst_ms - waits_ms )) "$floor_ms" \
        "$(echo "($(now_ns) - $run_start) / 1000000000" | bc -l)"
done
setup --cleanup "$target" >/dev/null

echo
echo "== $installed_line"
echo "== removed by the floor (each run): $(sed 's/^floor: //' "$out/floor-1.txt")"
echo "   (keys: HKCU and HKLM product keys, the uninstall-information key, the 276 verbs of the 32-bit view;"
echo "    links: 3 desktop and 2 start-menu shortcuts; dirs include the start-menu folder)"
echo "== milliseconds over $runs runs (min / median / max); prescribed waits = steps 3 + 5 + 11"
awk -v goal="$ratio_goal" -v step12_goal="$step12_ratio_goal" -v outside_goal="$outside_goal_ms" -f "$bench_stats" -f <(printf '%s\n' '
    { v[$1, ++count[$1]] = $2 }
    function pair(label, a, b) { printf "  %-52s %8.0f %8.0f  x%.2f\n", label, a, b, (b > 0 ? a / b : 0) }
    function row(label, name) { printf "  %-52s %8.0f %8.0f %8.0f\n", label, minimum(name), median(name), maximum(name) }
    function verdict(ok) { return ok ? "within" : "NOT within" }
    # Per run, then over the runs: on a busy machine the two sides of one run
    # share its load, so the run'"'"'s own ratio is the steadier figure.
    function median_of(x, n,    i, j, t) {
        for (i = 2; i <= n; i++) for (j = i; j > 1 && x[j - 1] > x[j]; j--) { t = x[j]; x[j] = x[j - 1]; x[j - 1] = t }
        return n % 2 ? x[(n + 1) / 2] : (x[n / 2] + x[n / 2 + 1]) / 2
    }
    function run_ratio(name, under1, under2,    i, n, x) {
        n = count[name]
        for (i = 1; i <= n; i++) x[i] = v[name, i] / (v[under1, i] + (under2 == "" ? 0 : v[under2, i]))
        return median_of(x, n)
    }
    function run_difference(name, other,    i, n, x) {
        n = count[name]
        for (i = 1; i <= n; i++) x[i] = v[name, i] - v[other, i]
        return median_of(x, n)
    }
    END {
        printf "  %-52s %8s %8s %8s\n", "", "min", "median", "max"
        row("uninst.exe /s, whole process", "uninst")
        row("  prescribed waits (steps 3, 5, 11)", "waits")
        row("  removal work (whole process - prescribed waits)", "work")
        row("bench_floor.exe, whole process", "floor")
        print "  per step of the uninstaller:"
        row("    process start and exit (whole - traced span)", "outside")
        row("    viewer check", "viewer_check")
        for (n = 1; n <= 17; n++) row(sprintf("    step %d%s", n, (n == 3 || n == 5 || n == 11) ? " (prescribed wait)" : ""), "step" n)
        print "  per part of the floor:"
        row("    process start and exit (whole - traced span)", "floor_outside")
        row("    directory tree (files, directories)", "floor_tree")
        row("    product and uninstall-information keys", "floor_keys")
        row("    276 verbs, 32-bit view", "floor_verbs")
        row("    shortcuts and start-menu folder", "floor_links")
        print "  uninstaller step against the floor part doing the same removal (median):"
        step12 = median("step12"); tree = median("floor_tree") + median("floor_links")
        pair("    step 12 / floor tree + shortcuts", step12, tree)
        pair("    step 14 / floor keys", median("step14"), median("floor_keys"))
        pair("    step 15 / floor verbs", median("step15"), median("floor_verbs"))
        rmin = minimum("work") / minimum("floor"); rmed = median("work") / median("floor"); rmax = maximum("work") / maximum("floor")
        rrun = run_ratio("work", "floor")
        printf "== removal work / floor: min %.2f, median %.2f, max %.2f; median of the runs'"'"' own ratios %.2f; goal %.2f: %s\n",
            rmin, rmed, rmax, rrun, goal, verdict(rmed <= goal)
        r12 = (tree > 0 ? step12 / tree : 0)
        r12run = run_ratio("step12", "floor_tree", "floor_links")
        printf "== step 12 / floor tree + shortcuts: median %.2f; median of the runs'"'"' own ratios %.2f; goal %.2f: %s\n",
            r12, r12run, step12_goal, verdict(r12 <= step12_goal)
        above = median("outside") - median("floor_outside")
        aboverun = run_difference("outside", "floor_outside")
        printf "== process start and exit above the floor'"'"'s: median %+d ms; median of the runs'"'"' own differences %+d ms; goal +%d ms: %s\n",
            above, aboverun, outside_goal, verdict(above <= outside_goal)
    }') "$results"
echo "== traces, checks and figures in $out"
