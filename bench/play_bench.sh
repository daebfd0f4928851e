#!/usr/bin/env bash
# Playback benchmark: a 20-second 1920x1080 25 fps H.264 clip with AAC sound, played by the
# play tool headless and in 256x183 and 1280x720 windows under Xvfb, with SDL's dummy sound
# device. Prints the tool's closing figures for each run.
#
#   bench/play_bench.sh [BUILD_DIR]        (default build/release, else build/test)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
    for candidate in "$root/build/release" "$root/build/test"; do
        if [ -x "$candidate/bin/play" ]; then build=$candidate; break; fi
    done
fi
play="$build/bin/play"
[ -x "$play" ] || { echo "play not found; build the 'play' target first" >&2; exit 1; }

work=$(mktemp -d /tmp/vantre-play-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
clip="$work/clip1080.mp4"
ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i testsrc2=duration=20:size=1920x1080:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=48000:duration=20 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 50 -c:a aac -b:a 128k "$clip"

export SDL_AUDIODRIVER=dummy
run() {
    local label=$1
    shift
    echo "== $label"
    "$@" | tail -n 2
}

run "headless, 1920x1080 clip, 640x360 surface" "$play" --quiet "$clip"
run "headless, 1920x1080 clip, 1920x1080 surface" "$play" --quiet --size 1920x1080 "$clip"
if command -v xvfb-run > /dev/null; then
    run "window 256x183 under Xvfb" xvfb-run -a -s "-screen 0 1920x1200x24" \
        "$play" --quiet --window --size 256x183 "$clip"
    run "window 1280x720 under Xvfb" xvfb-run -a -s "-screen 0 1920x1200x24" \
        "$play" --quiet --window --size 1280x720 "$clip"
else
    echo "xvfb-run not found: window runs skipped"
fi
