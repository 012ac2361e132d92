#!/usr/bin/env bash
# Counts the system calls of the silent run ("uninst.exe /s") per step, beside
# the floor's per part, on the same sample installation as bench/run.sh. Call
# counts do not move with the machine's load: they show a cut where the timings
# of a busy machine cannot.
# Usage: calls.sh BUILD_DIR [TOP]   (TOP: the most frequent functions listed per phase, default 0)
# The calls are Wine's relay trace of kernel32, kernelbase, advapi32, ntdll and
# ole32, all threads; traces land in BUILD_DIR/bench-calls/.
set -uo pipefail
. "$(dirname "$0")/common.sh"
bench_args "" "$@"
top="${2:-0}"
[[ "$top" =~ ^[0-9]+$ ]] || { echo "TOP must be a number" >&2; exit 2; }
bench_require uninst.exe lumenox_setup.exe bench_floor.exe
out="$build/bench-calls"
logs="$out/logs"
relayed='kernel32.*;kernelbase.*;advapi32.*;ntdll.*;ole32.*'
rm -rf "$out" && mkdir -p "$logs"
bench_prefix bench-calls-prefix 441 490
"$WINE64" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /d "$relayed" /f >/dev/null 2>&1

# "phase calls nt" lines (nt: the native calls, ntdll's Nt*, most of which go
# to the wineserver): the calls between one mark and the next, "process start"
# before the first mark and "exit" after the last.
# Only the lines of the process that wrote the marks: the programs it starts
# inherit the trace.
count_calls() {
    local pid
    pid=$(tr -d '\r' <"$1" | grep -m1 -E '(uninst|floor): ' | cut -d: -f2)
    tr -d '\r' <"$1" | awk -F: -v top="$top" -v pid="$pid" '
        BEGIN { phase = "process start"; order[++phases] = phase }
        $2 != pid { next }
        /:Call / {
            n[phase]++
            if (/:Call ntdll\.Nt/) nt[phase]++
            if (top > 0 && match($0, /Call [A-Za-z0-9_]+\.[A-Za-z0-9_]+/)) f[phase, substr($0, RSTART + 5, RLENGTH - 5)]++
            next
        }
        match($0, /(uninst|floor): [a-z0-9 ]+/) {
            phase = substr($0, RSTART, RLENGTH); order[++phases] = phase
            if (phase ~ /: end$/) { phase = "exit"; order[++phases] = phase }
        }
        END {
            for (i = 1; i <= phases; i++) {
                p = order[i]; printf "  %-32s %7d %6d\n", p, n[p], nt[p]; total += n[p]; totalnt += nt[p]
                if (top > 0) {
                    k = 0; delete list
                    for (key in f) { split(key, part, SUBSEP); if (part[1] == p) list[++k] = sprintf("%7d %s", f[key], part[2]) }
                    m = 0; cmd = "sort -rn | head -" top
                    for (j = 1; j <= k; j++) print list[j] | cmd
                    close(cmd)
                }
            }
            printf "  %-32s %7d %6d\n", "total", total, totalnt
        }'
}

bench_install --no-viewer
WINEDEBUG=+timestamp,+pid,+debugstr,+relay "$WINE" "$bench_target\\uninst.exe" /s </dev/null >/dev/null 2>"$out/uninst.txt"
bench_wait_removed "$out/check-uninst.txt" || echo "calls: the uninstaller left files behind" >&2
bench_install --no-viewer --no-service --no-processes
WINEDEBUG=+timestamp,+pid,+debugstr,+relay "$WINE" "$build/bin/bench_floor.exe" "$bench_target" </dev/null >/dev/null \
    2>"$out/floor.txt"
setup --cleanup "$bench_target" >/dev/null
echo "== uninst.exe /s: calls and native calls per phase (from the mark named to the next)"
count_calls "$out/uninst.txt"
echo "== bench_floor.exe: calls and native calls per part"
count_calls "$out/floor.txt"
