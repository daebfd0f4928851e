#!/usr/bin/env bash
# Fails when a library object is freed by hand: contexts, codec contexts and buffers are
# released only by the deleters of src/media/MediaPtr.h, so no early return can leak them.
set -u
src=${1:?source folder}
pattern='\b(avformat_close_input|avformat_free_context|avcodec_free_context|avcodec_close|av_free)[[:space:]]*\('
found=$(grep -rnE "$pattern" "$src" --include='*.cpp' --include='*.h' |
        grep -v -e '/media/MediaPtr\.h:' -e '/media/LibraryEntryPoints\.h:')
files=$(find "$src" -name '*.cpp' -o -name '*.h' | wc -l)
echo "checked $files source files"
[ "$files" -gt 0 ] || { echo "no sources found in $src"; exit 1; }
if [ -n "$found" ]; then
    echo "freed by hand outside the deleters:"
    echo "$found"
    exit 1
fi
