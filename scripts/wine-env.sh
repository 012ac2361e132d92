# Sourced: the Wine environment of one build tree. Usage: . wine-env.sh BUILD_DIR [PREFIX_NAME]
# Every test run uses its own prefix and home inside the build tree, never ~/.wine.
# PREFIX_NAME (default "wineprefix", the tests' prefix) names another prefix of
# the build tree, with its own home "PREFIX_NAME-home" (the demo's, for instance).
_build="$(cd "$1" && pwd)"
_name="${2:-wineprefix}"
export WINEPREFIX="$_build/$_name"
if [ "$_name" = wineprefix ]; then export HOME="$_build/home"; else export HOME="$_build/$_name-home"; fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d;winemenubuilder.exe=d"
export WINEARCH=win64
if command -v wine64 >/dev/null 2>&1; then
    WINE=wine64
elif [ -x /usr/lib/wine/wine64 ]; then
    WINE=/usr/lib/wine/wine64
else
    WINE=wine
fi
export WINE
if command -v wineserver >/dev/null 2>&1; then WINESERVER=wineserver; else WINESERVER=/usr/lib/wine/wineserver; fi
export WINESERVER
unset _build _name
