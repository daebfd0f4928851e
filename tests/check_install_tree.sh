#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what a package is made from: both
# programs, the catalog, the menu entry (taking files) and the icons.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
for f in bin/vantre bin/vantre-convert share/vantre/vantremp4format.ini \
         share/applications/vantre.desktop; do
    [ -s "$prefix/$f" ] || { echo "missing: $f"; fail=1; }
done
for size in 16 22 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/vantre.png"
    [ -s "$icon" ] || { echo "missing icon: ${size}x${size}"; fail=1; }
done
entry="$prefix/share/applications/vantre.desktop"
grep -qx 'Exec=vantre %F' "$entry" || { echo "the menu entry does not take files"; fail=1; }
grep -qx 'Icon=vantre' "$entry" || { echo "the menu entry has no icon"; fail=1; }
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail=1
fi
[ "$fail" -eq 0 ] && echo "install tree complete"
exit "$fail"
