#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer. The folders of
# src/ are layers, lowest first: base, removal, manifest, report, app; a file
# may include its own layer and those below. ui stands apart: it includes
# base and ui only, and of the uninstaller's layers only app may include it.
# Prints what it checked, then every violation.
# Usage: check-layers.sh [SRC_DIR]
set -uo pipefail
src="${1:-$(cd "$(dirname "$0")/.." && pwd)/src}"
cd "$src" || exit 2

find base removal manifest report app ui -type f \( -name '*.h' -o -name '*.cpp' \) | sort |
    xargs awk '
    BEGIN {
        rank["base"] = 0; rank["removal"] = 1; rank["manifest"] = 2; rank["report"] = 3; rank["app"] = 4
        files = 0; includes = 0; bad = 0
    }
    FNR == 1 { files++; split(FILENAME, part, "/"); from = part[1] }
    /^[ \t]*#[ \t]*include[ \t]*"/ {
        target = $0
        sub(/^[^"]*"(\.\.\/)*/, "", target); sub(/".*/, "", target)
        if (index(target, "/") == 0) next          # beside the file, or a library header
        to = substr(target, 1, index(target, "/") - 1)
        if (!(to in rank) && to != "ui") next
        includes++
        if (from == "ui") ok = (to == "ui" || to == "base")
        else if (to == "ui") ok = (from == "app")
        else ok = (rank[from] >= rank[to])
        if (!ok) violation[++bad] = "  src/" FILENAME ": " from " includes " target
    }
    END {
        print "layers: base < removal < manifest < report < app; ui on base only, used by app only"
        printf "checked %d files, %d includes of project folders: %d violations\n", files, includes, bad
        for (i = 1; i <= bad; i++) print violation[i]
        exit bad > 0
    }' || exit 1
