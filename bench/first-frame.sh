#!/usr/bin/env bash
# Times the uninstaller's plain start to the first presented frame of its
# wizard, and to the first frame of the running-viewer question, against an
# empty windowed program's whole start and exit in the same run, under Wine;
# and sets the peak memory of each run against the empty program's.
# See bench/README.md, "First-frame benchmark".
# Usage: first-frame.sh BUILD_DIR [RUNS]   (default 11 runs)
# With TRACE=+loaddll (any extra trace channels) the runs' traces carry them too.
# Everything happens in a prefix of its own, BUILD_DIR/bench-frame-prefix.
set -uo pipefail
. "$(dirname "$0")/common.sh"
bench_args 11 "$@"
out="$build/bench-frame"
root='C:\bench'
trace_channels="+timestamp,+debugstr${TRACE:+,$TRACE}"
case_timeout_s=20
frame_wait_s=15
# The windows by their client size, and the control each run ends with: the
# wizard's cancel button, the question's "取消" (on the box's content window).
wizard_size="530 400"
wizard_cancel="342 330"
box_size="354 180"
box_no="246 140"
box_view_id=1000
viewer_lifetime_ms=3600000

bench_require uninst.exe lumenox_setup.exe bench_empty_gui.exe bench_empty_window.exe bench_startup_helper.exe
command -v /usr/bin/time >/dev/null || { echo "bench: /usr/bin/time is needed for the peak memory" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
bench_prefix bench-frame-prefix 391 440

helper() { "$WINE" "$bin/bench_startup_helper.exe" "$@" </dev/null 2>&1 | tr -d '\r'; }
drive_c="$WINEPREFIX/drive_c"
dir="$root\\frame"
unix_dir="$drive_c/bench/frame"
rm -rf "$drive_c/bench"
mkdir -p "$drive_c/bench"
setup --cleanup "$dir" >/dev/null
setup "$dir" --tiny --no-viewer --no-service --no-processes >"$out/install.txt" ||
    { cat "$out/install.txt" >&2; echo "bench: installation failed" >&2; exit 1; }

# Wine's desktop process ends once no window is left and starts again with the
# next one: a window of the helper keeps it up, as the shell is in a session.
mkfifo "$out/desktop.fifo"
"$WINE" "$bin/bench_startup_helper.exe" desktop <"$out/desktop.fifo" >"$out/desktop.txt" 2>&1 &
desktop_pid=$!
exec 3>"$out/desktop.fifo"
for _ in $(seq 1 100); do grep -q shown "$out/desktop.txt" 2>/dev/null && break; sleep 0.1; done
grep -q shown "$out/desktop.txt" || { echo "bench: the desktop window did not show" >&2; exit 1; }
release_desktop() { exec 3>&-; wait "$desktop_pid" 2>/dev/null; }

read -r trace_ms wall_ns <<<"$(helper clocks)"
[ -n "${wall_ns:-}" ] || { echo "bench: cannot read the clocks" >&2; exit 1; }
to_trace_ms() { echo "$trace_ms + ($1 - $wall_ns) / 1000000" | bc -l; }

results="$out/results.txt"   # "case figure value" per run: times in us, memory in KiB
: >"$results"

# Runs PROGRAM under the trace with its peak resident set taken by
# /usr/bin/time (the Wine process's high-water mark: what the platform calls
# its peak working set). With MARK and CLICK the run is ended, once MARK is in
# the trace, by a click of the helper: "W H X Y [CHILD]".
time_case() {  # CASE PROGRAM [MARK CLICK]
    local name="$1" program="$2" mark="${3:-}" click="${4:-}"
    local trace="$out/$name-$run.txt" memory="$out/$name-$run.mem" start end pid code
    start=$(now_ns)
    WINEDEBUG="$trace_channels" /usr/bin/time -f %M -o "$memory" \
        timeout "$case_timeout_s" "$WINE" "$program" </dev/null >/dev/null 2>"$trace" &
    pid=$!
    if [ -n "$click" ]; then
        local waited=0
        until grep -q "$mark" "$trace" 2>/dev/null; do
            sleep 0.05
            waited=$((waited + 1))
            [ "$waited" -lt $((frame_wait_s * 20)) ] || { echo "bench: $name: no \"$mark\" (see $trace)" >&2; break; }
        done
        # shellcheck disable=SC2086  # the click's numbers go as separate arguments
        [ "$(helper click $click)" = clicked ] || echo "bench: $name: the click found no window" >&2
    fi
    wait "$pid"
    code=$?
    end=$(now_ns)
    [ "$code" = 0 ] || { echo "bench: $name: exit code $code (see $trace)" >&2; return 1; }
    echo "$name whole $(( (end - start) / 1000 ))" >>"$results"
    echo "$name peak $(tail -n 1 "$memory")" >>"$results"
    [ -n "$mark" ] || return 0
    tr -d '\r' <"$trace" | awk -v start="$(to_trace_ms "$start")" -v name="$name" -v frame="$mark" '
        match($0, /^[0-9]+\.[0-9]+:/) { t = substr($0, 1, RLENGTH - 1) * 1000 }
        match($0, /(uninst|bench): [a-z0-9 ]+/) { m = substr($0, RSTART, RLENGTH); if (!(m in at)) at[m] = t }
        END {
            us = 1000  # ms to us
            if (!(frame in at)) { print "incomplete trace" > "/dev/stderr"; exit 1 }
            printf "%s frame %d\n", name, (at[frame] - start) * us
            if (!("uninst: viewer check" in at)) exit 0
            printf "%s entry %d\n", name, (at["uninst: start"] - start) * us
            printf "%s section %d\n", name, (at["uninst: single instance"] - at["uninst: start"]) * us
            printf "%s prepare %d\n", name, (at["uninst: started"] - at["uninst: single instance"]) * us
            printf "%s check %d\n", name, (at["uninst: viewer check"] - at["uninst: started"]) * us
            printf "%s window %d\n", name, (at[frame] - at["uninst: viewer check"]) * us
        }' >>"$results" || { echo "bench: $name: incomplete trace in $trace" >&2; return 1; }
}

start_viewer() {
    "$WINE" "$unix_dir/lumenox_viewer.exe" --ms "$viewer_lifetime_ms" </dev/null >/dev/null 2>&1 &
    viewer_pid=$!
    for _ in $(seq 1 100); do
        grep -q opened "$unix_dir/lumenox_viewer.log" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "bench: the viewer window did not open" >&2
    exit 1
}

# Untimed warm-up starts: the empty program, the blank window, the wizard, the question.
run=0
time_case empty "$bin/bench_empty_gui.exe" || exit 1
time_case window "$bin/bench_empty_window.exe" "bench: window first frame" || exit 1
time_case wizard "$dir\\uninst.exe" "uninst: wizard first frame" "$wizard_size $wizard_cancel" || exit 1
start_viewer
time_case box "$dir\\uninst.exe" "uninst: box first frame" "$box_size $box_no $box_view_id" || exit 1
: >"$results"

# The question needs the viewer window, the wizard its absence: one pass each,
# the empty program timed run by run beside both.
for pass in box wizard; do
    [ "$pass" = box ] || { setup --cleanup "$dir" >/dev/null; wait "$viewer_pid" 2>/dev/null
        setup "$dir" --tiny --no-viewer --no-service --no-processes >"$out/install.txt" ||
            { echo "bench: installation failed" >&2; exit 1; }; }
    for run in $(seq 1 "$runs"); do
        time_case "empty" "$bin/bench_empty_gui.exe" || exit 1
        time_case window "$bin/bench_empty_window.exe" "bench: window first frame" || exit 1
        if [ "$pass" = wizard ]; then
            time_case wizard "$dir\\uninst.exe" "uninst: wizard first frame" "$wizard_size $wizard_cancel" || exit 1
        else
            time_case box "$dir\\uninst.exe" "uninst: box first frame" "$box_size $box_no $box_view_id" || exit 1
        fi
        echo "$pass run $run: $(awk -v c="$pass" '$1 == "empty" && $2 == "whole" { e = $3 } $1 == c && $2 == "frame" { f = $3 }
            END { printf "empty %.0f ms, first frame %.0f ms", e / 1000, f / 1000 }' "$results")"
    done
done
setup --cleanup "$dir" >/dev/null
release_desktop

echo
echo "== $runs runs each: median (min); x = median / the empty program's median"
awk -f "$bench_stats" -f <(printf '%s\n' '
    { v[$1 " " $2, ++count[$1 " " $2]] = $3 }
    function ms(label, key, base) {
        if (!(key in count)) return
        printf "  %-58s %7.1f (%7.1f) ms", label, median(key) / 1000, minimum(key) / 1000
        if (base != "") printf "  x%5.2f", median(key) / median(base)
        printf "\n"
    }
    function mib(label, key, base) {
        if (!(key in count)) return
        printf "  %-58s %7.1f (%7.1f) MiB", label, median(key) / 1024, minimum(key) / 1024
        if (base != "") printf "  x%5.2f", median(key) / median(base)
        printf "\n"
    }
    END {
        ms("empty windowed program, process start to exit", "empty whole", "")
        ms("one blank layered window, process start to its first frame", "window frame", "empty whole")
        for (k = 1; k <= 2; k++) {
            c = k == 1 ? "wizard" : "box"
            print (c == "wizard" ? "  wizard (no viewer running):" : "  running-viewer question:")
            ms("  process start to first frame", c " frame", "empty whole")
            ms("  the same / the blank window'"'"'s first frame", c " frame", "window frame")
            ms("    process start to entry (loader, load-time DLLs)", c " entry", "")
            ms("    entry to single-instance section", c " section", "")
            ms("    section to wizard object (firewall exception)", c " prepare", "")
            ms("    wizard object to viewer check (report, options)", c " check", "")
            ms("    viewer check to first frame (pools, layout, window, paint)", c " window", "")
        }
        print "  peak resident set (start, first frame, cancel):"
        mib("  empty windowed program", "empty peak", "")
        mib("  one blank layered window", "window peak", "empty peak")
        mib("  wizard run", "wizard peak", "empty peak")
        mib("  wizard run / the blank window", "wizard peak", "window peak")
        mib("  question run", "box peak", "empty peak")
    }') "$results"
echo "== traces and figures in $out"
