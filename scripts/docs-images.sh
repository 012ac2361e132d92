#!/usr/bin/env bash
# The README's pictures: a driven demo run on a private display (demo.sh
# headless) saves the running-viewer question and the wizard's three pages;
# they go to docs/ reduced to 256 colours, which keeps them small.
# Usage: docs-images.sh BUILD_DIR
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build="$(cd "$1" && pwd)"
shots="$build/demo-shots"
images=(msgbox wizard-confirm wizard-progress wizard-farewell)

bash "$here/demo.sh" "$build" headless || { echo "docs-images: the demo failed" >&2; exit 1; }
for image in "${images[@]}"; do
    [ -f "$shots/$image.png" ] || { echo "docs-images: the demo saved no $image.png" >&2; exit 1; }
done
mkdir -p "$root/docs"
for image in "${images[@]}"; do
    convert "$shots/$image.png" -strip +dither -colors 256 "$root/docs/$image.png" ||
        { echo "docs-images: cannot write docs/$image.png" >&2; exit 1; }
done
echo "== docs-images: $(printf 'docs/%s.png ' "${images[@]}")updated"
