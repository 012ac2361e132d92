#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (run as root).
# Idempotent: does nothing when everything is present.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
cache="$here/.deps"

pkgs=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
      wine wine64 xvfb xauth x11-apps imagemagick dpkg-dev cmake ninja-build googletest
      fonts-wqy-microhei wine32:i386)

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

need_update=0
[ ${#missing[@]} -gt 0 ] && need_update=1

# The i686 build's programs run under the 32-bit Wine, a package of the i386 architecture.
if [[ " ${missing[*]:-} " == *" wine32:i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

# TinyXML is compiled from Debian's source package; that needs a deb-src entry.
src_list=/etc/apt/sources.list.d/debian-src.sources
have_src=0
if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null; then
    have_src=1
fi
if [ ! -d "$cache/tinyxml" ] && [ $have_src -eq 0 ]; then
    signed_by="$(grep -rhs '^Signed-By:' /etc/apt/sources.list.d/debian.sources | head -n1 | sed 's/^Signed-By:[[:space:]]*//')"
    [ -n "$signed_by" ] || signed_by=/usr/share/keyrings/debian-archive-keyring.gpg
    cat > "$src_list" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: $signed_by
SRC
    need_update=1
fi

if [ $need_update -eq 1 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$cache/tinyxml/tinyxml.cpp" ]; then
    mkdir -p "$cache"
    tmp="$(mktemp -d "$cache/src.XXXXXX")"
    (cd "$tmp" && apt-get source -q tinyxml)
    dir="$(find "$tmp" -maxdepth 1 -mindepth 1 -type d -name 'tinyxml-*' | head -n1)"
    rm -rf "$cache/tinyxml"
    mv "$dir" "$cache/tinyxml"
    rm -rf "$tmp"
fi
echo "bootstrap: ready"
