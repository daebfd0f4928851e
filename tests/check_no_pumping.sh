#!/usr/bin/env bash
# Fails when code waits while serving the main thread's queue or event loop: workers never wait
# for the main thread, so the main thread never needs to pump while it waits. Only the
# main-thread waker runs the queue from the event loop; the screenshot scenes step the loop to
# take their pictures.
set -u
root=${1:?project folder}
scenes='/tools/screenshots/[A-Za-z]+\.cpp:'
found=$(grep -rnE '\bWaitPumping\b|CheckSynchronize[[:space:]]*\([^)[:space:]]|\bprocessEvents[[:space:]]*\(' \
            "$root/src" "$root/tools" --include='*.cpp' --include='*.h' | grep -vE "$scenes")
files=$(find "$root/src" "$root/tools" -name '*.cpp' -o -name '*.h' | wc -l)
echo "checked $files source files"
[ "$files" -gt 0 ] || { echo "no sources found in $root"; exit 1; }
if [ -n "$found" ]; then
    echo "waits that pump the event queue:"
    echo "$found"
    exit 1
fi
