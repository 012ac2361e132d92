# Sourced after wine-env.sh: starts a private Xvfb display and a persistent
# wineserver for the current prefix, and stops both when the calling script exits.
# Usage: wine_session_start FIRST_DISPLAY LAST_DISPLAY
#        wine_session_start_on_display   (the caller's DISPLAY, no Xvfb of ours)
wine_session_start() {
    local display="" n
    for n in $(seq "$1" "$2"); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
    done
    [ -n "$display" ] || { echo "no free X display" >&2; return 1; }
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_SESSION_XVFB_PID=$!
    export DISPLAY=":$display"
    trap wine_session_stop EXIT
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    wine_session_boot
}

wine_session_start_on_display() {
    [ -n "${DISPLAY:-}" ] || { echo "no DISPLAY to show the windows on" >&2; return 1; }
    trap wine_session_stop EXIT
    wine_session_boot
}

wine_session_boot() {
    # One wineserver for the whole session keeps process start-up cheap.
    "$WINESERVER" -p >/dev/null 2>&1 || true
    # Start the prefix's background processes (services, devices, desktop) now,
    # with no output of ours attached: a helper that inherits the caller's pipes
    # (CTest's, say) would make the caller wait for it. A GUI program brings up
    # the desktop process, which inherits its stderr.
    "$WINE64" wineboot >/dev/null 2>&1 </dev/null || true
    "$WINE64" rundll32.exe >/dev/null 2>&1 </dev/null || true
    # Wine ends the desktop process soon after the last program on the desktop
    # has gone and starts it again inside the next windowed one; a signed-in
    # session always has its shell. The holder ends with the wineserver.
    local hold="${WINE_SESSION_HOLD:-}"
    if [ -n "$hold" ] && [ -f "$hold" ]; then
        "$(wine_loader_of "$hold")" "$hold" >/dev/null 2>&1 </dev/null &
    fi
}

wine_session_stop() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    if [ -n "${WINE_SESSION_XVFB_PID:-}" ]; then
        kill "$WINE_SESSION_XVFB_PID" >/dev/null 2>&1 || true
        wait "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    fi
}
