#!/bin/sh
# cmake --install puts the programs, help pages, desktop entry and icon in place. usage: install.sh BUILD_DIR
set -eu
DEST=$(mktemp -d)
trap 'rm -rf "$DEST"' EXIT
cmake --install "$1" --prefix "$DEST/usr" > /dev/null
cd "$DEST/usr"
for f in bin/chromawell bin/chromawell-batch share/man/man1/chromawell-batch.1 share/chromawell/doc/cwdoc0.html share/chromawell/doc/cwdoc21.html \
         share/applications/chromawell.desktop share/icons/hicolor/256x256/apps/chromawell.png; do
    [ -s "$f" ] || { echo "FAIL: $f not installed"; exit 1; }
done
# The manual page says what --help says; roff writes a minus as \-.
for option in each jobs out keep-going skip-done; do
    roff=$(printf '%s' "--$option" | sed 's/-/\\\\-/g')
    grep -q "^\\.B .*$roff" share/man/man1/chromawell-batch.1 && "$DEST/usr/bin/chromawell-batch" --help | grep -q -- "--$option" ||
        { echo "FAIL: --$option"; exit 1; }
done
# Both programs answer --help and --version without a display.
for program in chromawell chromawell-batch; do
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "bin/$program" --version | grep -qx "$program 2\.[0-9.]*" &&
        env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "bin/$program" --help | grep -q "^Usage: $program" ||
        { echo "FAIL: $program --help/--version"; exit 1; }
done
grep -qx 'Exec=chromawell %f' share/applications/chromawell.desktop && grep -qx 'Icon=chromawell' share/applications/chromawell.desktop
echo ok
