#!/bin/sh
# cmake --install puts the programs, help pages, desktop entry and icon in place. usage: install.sh BUILD_DIR
set -eu
DEST=$(mktemp -d)
trap 'rm -rf "$DEST"' EXIT
cmake --install "$1" --prefix "$DEST/usr" > /dev/null
cd "$DEST/usr"
for f in bin/chromawell bin/chromawell-batch share/chromawell/doc/cwdoc0.html share/chromawell/doc/cwdoc21.html \
         share/applications/chromawell.desktop share/icons/hicolor/256x256/apps/chromawell.png; do
    [ -s "$f" ] || { echo "FAIL: $f not installed"; exit 1; }
done
grep -qx 'Exec=chromawell %f' share/applications/chromawell.desktop && grep -qx 'Icon=chromawell' share/applications/chromawell.desktop
echo ok
