#!/usr/bin/env bash
# Times the uninstaller's start-ups that do nothing or little against an empty
# windowed program (bench_empty_gui.exe) in the same run, under Wine, and splits
# each into phases by the program's trace marks. See bench/README.md.
# Usage: startup.sh BUILD_DIR [RUNS]   (default 11 runs)
# With COMPARE=/path/to/other/uninst.exe (another build of the same
# architecture), that program is timed beside this build's in every run and case.
# Everything happens in a prefix of its own, BUILD_DIR/bench-startup-prefix.
set -uo pipefail
. "$(dirname "$0")/common.sh"
bench_args 11 "$@"
out="$build/bench-startup"
root='C:\bench'
# A case that has not ended by then is waiting for someone (a window): it is
# ended and reported.
case_timeout_s=20
self_removal_wait_s=15

bench_require uninst.exe lumenox_setup.exe bench_empty_gui.exe bench_startup_helper.exe
compare="${COMPARE:-}"
[ -z "$compare" ] || [ -f "$compare" ] || { echo "COMPARE names no file: $compare" >&2; exit 2; }
rm -rf "$out"
mkdir -p "$out"
bench_prefix bench-startup-prefix 291 340

helper() { "$WINE" "$bin/bench_startup_helper.exe" "$@"; }
drive_c="$WINEPREFIX/drive_c"
rm -rf "$drive_c/bench"
mkdir -p "$drive_c/bench"

# Installs the small sample; the program compared with, if any, goes beside
# uninst.exe as uninst_b.exe.
install_sample() {  # DIR OPTIONS...
    local dir="$1"
    shift
    setup --cleanup "$dir" >/dev/null
    setup "$dir" --tiny --no-viewer --no-service --no-processes "$@" >"$out/install.txt" ||
        { cat "$out/install.txt" >&2; echo "bench: installation in $dir failed" >&2; exit 1; }
    [ -z "$compare" ] || cp "$compare" "$drive_c/bench/${dir##*\\}/uninst_b.exe"
}

# The installations the cases start in; their keys are laid down again before
# every run (the silent case removes them).
install_sample "$root\\plain"
install_sample "$root\\skip" --skip
section=$(tr -d '\r' <"$drive_c/bench/plain/qsdxbase_values.txt" | sed -n 's/^QUninstallToolName=//p')
[ -n "$section" ] || section=QUninstallToolName

# The trace's clock (Wine's performance counter) against the wall clock that
# `date` reads: both read at once by one process.
read -r trace_ms wall_ns <<<"$(helper clocks | tr -d '\r')"
[ -n "${wall_ns:-}" ] || { echo "bench: cannot read the clocks" >&2; exit 1; }
# wall ns -> trace ms
to_trace_ms() { echo "$trace_ms + ($1 - $wall_ns) / 1000000" | bc -l; }

# The second instance meets a section held by the helper, which holds it until
# its standard input closes.
mkfifo "$out/hold.fifo"
hold_section() {
    rm -f "$out/hold.txt"
    helper hold "$section" <"$out/hold.fifo" >"$out/hold.txt" 2>&1 &
    holder_pid=$!
    exec 3>"$out/hold.fifo"
    for _ in $(seq 1 100); do grep -q held "$out/hold.txt" 2>/dev/null && return 0; sleep 0.1; done
    echo "bench: the section $section could not be held" >&2
    exit 1
}
# Every process that is not being timed is let end before the next timing.
settle_s=0.5
release_section() { exec 3>&-; wait "$holder_pid" 2>/dev/null; sleep "$settle_s"; }

results="$out/results.txt"   # "case figure ms" per run
: >"$results"
record() { echo "$1 $2 $3" >>"$results"; }

# Runs one case: CASE PROGRAM ARGS...; records the whole process and, from the
# marks, its phases.
time_case() {
    local name="$1" program="$2" trace="$out/$1-$run.txt"
    shift 2
    local start end code
    start=$(now_ns)
    WINEDEBUG=+timestamp,+debugstr timeout "$case_timeout_s" "$WINE" "$program" "$@" \
        </dev/null >/dev/null 2>"$trace"
    code=$?
    end=$(now_ns)
    [ "$code" = 124 ] && { echo "bench: $name did not end within ${case_timeout_s}s (does it show a window?)" >&2; return 1; }
    [ "$code" = 0 ] || echo "bench: $name: exit code $code" >&2
    record "$name" whole "$(( (end - start) / 1000 ))"
    [ "$name" = empty ] && return 0
    # Each mark's time after the process start, in microseconds.
    tr -d '\r' <"$trace" | awk -v start="$(to_trace_ms "$start")" -v end="$(to_trace_ms "$end")" -v name="$name" '
        match($0, /^[0-9]+\.[0-9]+:/) { t = substr($0, 1, RLENGTH - 1) * 1000 }
        match($0, /uninst: [a-z0-9 ]+/) { m = substr($0, RSTART + 8, RLENGTH - 8); if (!(m in at)) at[m] = t; last = t }
        END {
            us = 1000  # ms to us
            if (!("start" in at) || !("single instance" in at)) { print "incomplete trace" > "/dev/stderr"; exit 1 }
            printf "%s entry %d\n", name, (at["start"] - start) * us
            printf "%s section %d\n", name, (at["single instance"] - at["start"]) * us
            if ("started" in at) printf "%s prepare %d\n", name, (at["started"] - at["single instance"]) * us
            if ("viewer check" in at) printf "%s startup %d\n", name, (at["viewer check"] - start) * us
            if ("run ended" in at) printf "%s run %d\n", name, (at["run ended"] - at["started"]) * us
            if ("end" in at && "run ended" in at) printf "%s teardown %d\n", name, (at["end"] - at["run ended"]) * us
            if ("step 18" in at) printf "%s after_steps %d\n", name, (end - at["step 18"]) * us
            printf "%s exit %d\n", name, (end - last) * us
        }' >>"$results" || { echo "bench: $name: incomplete trace in $trace" >&2; return 1; }
}

expect_marks() {  # CASE [VARIANT]: the case did what it stands for
    local trace="$out/$1${2:-}-$run.txt"
    case "$1" in
        second) ! grep -q 'uninst: started' "$trace" ;;
        skip) grep -q 'uninst: end' "$trace" && ! grep -q 'uninst: viewer check' "$trace" ;;
        silent) grep -q 'uninst: step 18' "$trace" ;;
    esac || { echo "bench: run $run: $1 did not run as expected (see $trace)" >&2; exit 1; }
}

# One warm-up start of each program, untimed.
"$WINE" "$bin/bench_empty_gui.exe" </dev/null >/dev/null 2>&1
"$WINE" "$root\\skip\\uninst.exe" </dev/null >/dev/null 2>&1
[ -z "$compare" ] || "$WINE" "$root\\skip\\uninst_b.exe" </dev/null >/dev/null 2>&1
variants=("")
[ -z "$compare" ] || variants+=(_b)

for run in $(seq 1 "$runs"); do
    time_case empty "$bin/bench_empty_gui.exe" || exit 1
    # The two builds take turns at going first, case by case, so that both
    # see the same moment of the machine.
    order=("${variants[@]}")
    [ $((run % 2)) = 0 ] && [ -n "$compare" ] && order=(_b "")
    hold_section
    sleep "$settle_s"
    for v in "${order[@]}"; do
        time_case "second$v" "$root\\plain\\uninst$v.exe" || exit 1
        expect_marks second "$v"
    done
    release_section
    for v in "${order[@]}"; do
        time_case "skip$v" "$root\\skip\\uninst$v.exe" || exit 1
        expect_marks skip "$v"
    done
    # Each silent run removes an installation of its own: the keys, verbs and
    # shortcuts are shared, and a second run on them would find nothing left.
    for v in "${order[@]}"; do
        install_sample "$root\\silent-$run$v"
        time_case "silent$v" "$root\\silent-$run$v\\uninst$v.exe" /s || exit 1
        expect_marks silent "$v"
        # The self-removal script must be done before anything else is timed.
        for _ in $(seq 1 $((self_removal_wait_s * 2))); do
            [ -d "$drive_c/bench/silent-$run$v" ] || break
            sleep 0.5
        done
        sleep "$settle_s"
    done
    echo "run $run: $(awk -v r="$run" '$2 == "whole" { n[$1]++; if (n[$1] == r) printf "%s %.0f ms  ", $1, $3 / 1000 }' "$results")"
done
echo
echo "== milliseconds over $runs runs: median (min), and x = median / the empty program's median whole process"
awk -v compare="$compare" -f "$bench_stats" -f <(printf '%s\n' '
    { v[$1 " " $2, ++count[$1 " " $2]] = $3 / 1000 }
    function cell(key) {
        if (!(key in count)) return sprintf("%22s", "")
        return sprintf("%6.1f (%5.1f) x%5.2f", median(key), minimum(key), median(key) / base)
    }
    function row(label, c, phase) {
        if (!((c " " phase) in count)) return
        printf "  %-56s %s", label, cell(c " " phase)
        if (compare != "") printf "   %s", cell(c "_b " phase)
        printf "\n"
    }
    END {
        base = median("empty whole")
        printf "  %-56s %22s", "", "this build"
        if (compare != "") printf "   %22s", "compared (uninst_b)"
        printf "\n"
        row("empty windowed program, whole process", "empty", "whole")
        split("second skip silent", cases, " ")
        title["second"] = "second instance (section held):"
        title["skip"] = "manifest with skip=\"1\", no arguments:"
        title["silent"] = "silent run (/s) of a small installation:"
        for (k = 1; k <= 3; k++) {
            c = cases[k]
            print "  " title[c]
            row("  whole process", c, "whole")
            if (c == "silent") row("  start-up: process start to the viewer check", c, "startup")
            row("  process start to entry (loader, load-time DLLs)", c, "entry")
            row("  entry to single-instance section (SDK lookup)", c, "section")
            row("  section to wizard object (extra actions, firewall)", c, "prepare")
            if (c != "silent") row("  the run (report object, options)", c, "run")
            if (c != "silent") row("  teardown (firewall removal, wizard object)", c, "teardown")
            if (c == "silent") row("  after step 18: firewall removal, script, exit", c, "after_steps")
            row("  exit (last mark to process end)", c, "exit")
        }
        if (compare == "") exit
        # Run by run the two builds met the same machine: the median of their
        # ratios is steadier than the ratio of the medians.
        printf "== this build / compared, median of the runs'"'"' ratios:"
        split("second whole,skip whole,silent startup,silent after_steps", pairs, ",")
        for (k = 1; k <= 4; k++) {
            split(pairs[k], kp, " ")
            n = count[kp[1] " " kp[2]]
            for (i = 1; i <= n; i++) v["ratio " k, i] = v[kp[1] " " kp[2], i] / v[kp[1] "_b " kp[2], i]
            count["ratio " k] = n
            printf " %s %.2f%s", pairs[k], median("ratio " k), (k < 4 ? "," : "\n")
        }
    }') "$results"
echo "== traces and figures in $out"
