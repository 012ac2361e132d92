# Sourced: the Wine environment of one build tree. Usage: . wine-env.sh BUILD_DIR [PREFIX_NAME]
# Every test run uses its own prefix and home inside the build tree, never ~/.wine.
# PREFIX_NAME (default "wineprefix", the tests' prefix) names another prefix of
# the build tree, with its own home "PREFIX_NAME-home" (the demo's, for instance).
#
# Each program must start under the Wine loader of its own architecture: once the
# 32-bit Wine is installed, "wine" is the 32-bit loader, and a 64-bit program it
# starts through its helper reads as exit code 0 even when it died of a stack
# overflow; the 64-bit loader does the same to a 32-bit program's overflow.
# wine_loader_of PROGRAM names the right loader; WINE is the one of the
# build tree's programs, WINE64 the one of the prefix's own tools. The prefix is
# 64-bit for both builds: 32-bit programs run in it under WoW64.
_build="$(cd "$1" && pwd)"
_name="${2:-wineprefix}"
export WINEPREFIX="$_build/$_name"
if [ "$_name" = wineprefix ]; then export HOME="$_build/home"; else export HOME="$_build/$_name-home"; fi
# Quiet unless the caller asks for a trace (WINEDEBUG=+timestamp,+debugstr, say).
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d"
export WINEARCH=win64
if [ -x /usr/lib/wine/wine64 ]; then WINE64=/usr/lib/wine/wine64; else WINE64="$(command -v wine64 || echo wine64)"; fi
WINE32=/usr/lib/wine/wine
export WINE64 WINE32

# The loader for a Windows program file, by the machine field of its PE header;
# Wine's own programs named without a path are 64-bit in the 64-bit prefix.
wine_loader_of() {
    local program="$1" offset machine
    if [ ! -f "$program" ]; then echo "$WINE64"; return 0; fi
    offset=$(od -An -tu4 -j60 -N4 "$program" 2>/dev/null | tr -d ' ')
    machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$program" 2>/dev/null | tr -d ' ')
    case "$machine" in
        8664) echo "$WINE64" ;;
        014c)
            if [ ! -x "$WINE32" ]; then
                echo "wine-env: $WINE32 missing: 32-bit programs need wine32:i386 (make deps)" >&2
                return 1
            fi
            echo "$WINE32" ;;
        *) echo "wine-env: $program is not a Windows program of a known architecture" >&2; return 1 ;;
    esac
}

# The build tree's architecture is its uninstaller's (64-bit before the first build).
WINE="$(wine_loader_of "$_build/bin/uninst.exe")" || { unset _build _name; return 1; }
export WINE
if command -v wineserver >/dev/null 2>&1; then WINESERVER=wineserver; else WINESERVER=/usr/lib/wine/wineserver; fi
export WINESERVER
# The session's desktop holder (wine-session.sh), kept outside the programs' directory.
export WINE_SESSION_HOLD="$_build/session/desktop_hold.exe"
unset _build _name
