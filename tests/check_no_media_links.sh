#!/usr/bin/env bash
# Fails when any program in the given folder has a libav*, libsw*, libpostproc or SDL entry
# among its dynamic dependencies.
set -u
dir=${1:?program folder}
checked=0
bad=0
for f in "$dir"/*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    head -c 4 "$f" | grep -q $'\x7fELF' || continue
    checked=$((checked + 1))
    needed=$(readelf -d "$f" | grep NEEDED)
    if echo "$needed" | grep -Eiq '\[(libav|libsw|libpostproc|libSDL)'; then
        echo "$f links a media library:"
        echo "$needed" | grep -Ei '\[(libav|libsw|libpostproc|libSDL)'
        bad=1
    fi
done
echo "checked $checked programs"
[ "$checked" -gt 0 ] || { echo "no programs found in $dir"; exit 1; }
exit $bad
