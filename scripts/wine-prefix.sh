#!/usr/bin/env bash
# Creates the Wine prefix of a build tree once; later calls return at once.
# Usage: wine-prefix.sh BUILD_DIR [PREFIX_NAME]   (see wine-env.sh)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-env.sh" "$1" "${2:-}"
# The marker names the prefix's make-up: a prefix of an older make-up is made afresh.
marker="$WINEPREFIX/.uninst-ready-4"
[ -f "$marker" ] && exit 0
rm -rf "$WINEPREFIX"
mkdir -p "$HOME"
"$WINE64" wineboot -i >/dev/null 2>&1 || true
"$WINESERVER" -w
# A fresh prefix links Desktop, Documents, ... to the real home; shortcut tests
# must never touch it, so those become plain folders of the prefix.
for user_dir in "$WINEPREFIX"/drive_c/users/*/; do
    for d in Desktop Documents Pictures Music Videos Downloads Templates; do
        if [ -L "$user_dir$d" ]; then rm -f "$user_dir$d"; mkdir -p "$user_dir$d"; fi
    done
done
# Map the Chinese faces the layouts ask for to an installed CJK font. The file
# is written in the UTF-16 format of regedit 5: a REGEDIT4 file is read in the
# ANSI code page and would garble the Chinese value names. A crashed program
# gets no crash dialog (under Xvfb nobody would close it): the debugger only
# writes its backtrace and the program ends with its failure. No window
# manager runs on the test display: windows are not handed to one, else the
# destruction of every visible top-level window waits 2 s for its answer.
{
    printf '\xff\xfe'
    iconv -f UTF-8 -t UTF-16LE <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"宋体"="WenQuanYi Micro Hei"
"微软雅黑"="WenQuanYi Micro Hei"
"SimSun"="WenQuanYi Micro Hei"
"Microsoft YaHei"="WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
} > "$WINEPREFIX/prefix.reg"
"$WINE64" regedit /S "$WINEPREFIX/prefix.reg" >/dev/null 2>&1 || true
"$WINESERVER" -w
touch "$marker"
