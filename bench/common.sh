# Sourced by the benchmark scripts (and scripts/ui-shots.sh): the argument
# check, the prefix of their own with a warm wineserver and a private display,
# and the sample installer's call.
#   bench_args DEFAULT_RUNS "$@"   sets build (absolute), bin and runs from "BUILD_DIR [RUNS]"
#   bench_require PROGRAM...       every program must be in $bin
#   bench_prefix NAME FIRST_DISPLAY LAST_DISPLAY
#                                  makes BUILD_DIR/NAME once, enters it, starts its session
_bench_common_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bench_scripts="$_bench_common_dir/../scripts"
bench_stats="$_bench_common_dir/stats.awk"

bench_args() {
    local default_runs="$1"
    shift
    [ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR${default_runs:+ [RUNS]}" >&2; exit 2; }
    build="$(cd "$1" && pwd)" || exit 2
    bin="$build/bin"
    runs="${2:-$default_runs}"
    [ -z "$default_runs" ] || [[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "runs must be a positive number" >&2; exit 2; }
}

bench_require() {
    local program
    for program in "$@"; do
        [ -f "$bin/$program" ] || { echo "missing $bin/$program: build first" >&2; exit 1; }
    done
}

bench_prefix() {
    "$bench_scripts/wine-prefix.sh" "$build" "$1" || exit 1
    . "$bench_scripts/wine-env.sh" "$build" "$1" || exit 1
    . "$bench_scripts/wine-session.sh"
    wine_session_start "$2" "$3" || exit 1
}

now_ns() { date +%s%N; }
setup() { "$WINE" "$bin/lumenox_setup.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# The full-size sample of the silent-run benchmarks (run.sh, calls.sh), in
# $bench_target; the installer's logs go to $logs, its report to $out/install.txt.
bench_target='C:\Program Files\Lumenox'
bench_install() {
    setup --cleanup "$bench_target" >/dev/null
    setup "$bench_target" --log-dir "Z:${logs//\//\\}" "$@" >"$out/install.txt" || {
        cat "$out/install.txt" >&2
        echo "bench: installation failed" >&2
        exit 1
    }
}

# True once the self-removal script has taken the directory (it runs a few
# seconds after the uninstaller's exit); the checker's report goes to FILE.
bench_wait_removed() {  # FILE
    local _
    for _ in $(seq 1 30); do
        setup --check-removed "$bench_target" >"$1" && return 0
        sleep 0.5
    done
    return 1
}
