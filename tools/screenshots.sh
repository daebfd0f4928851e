#!/usr/bin/env bash
# Pictures of the program's windows for review. Starts vantre-screenshots (the desktop
# program with the screenshot scenes built in) under xvfb-run with a fresh settings folder
# and two sample clips given on its command line, and saves a PNG per scene
# (main window, device list open, pop-up and Edit menus, folder chooser, about, splash, the
# main window playing a clip, the settings dialog with its format list open, file information,
# the trim and crop dialogs, the watermark editor on both tabs, the preferences, the progress
# window during a conversion in each theme, and the main window in each theme) into OUTDIR,
# each window that may grow also enlarged (NAME-large.png); then the windows again in every
# other theme into OUTDIR/theme-N (VANTRE_THEMES="1 3" limits them, "" leaves them out).
# Usage: tools/screenshots.sh OUTDIR [PROGRAM]
#   (PROGRAM defaults to build/release/bin/vantre-screenshots)
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 OUTDIR [PROGRAM]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
program=${2:-$root/build/release/bin/vantre-screenshots}
[ -x "$program" ] || { echo "$program: build the program first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/clips"
clip() {
    ffmpeg -hide_banner -loglevel error -nostdin -y "$@"
}
clip -f lavfi -i testsrc=duration=3:size=320x240:rate=25 -f lavfi -i sine=duration=3 \
    -c:v mpeg4 -c:a aac -shortest "$work/clips/holiday.mp4"
clip -f lavfi -i testsrc2=duration=5:size=320x240:rate=25 -c:v mpeg4 "$work/clips/beach walk.avi"

# shoot FOLDER [THEME [SCENES]]: one run of the program with a fresh settings folder.
shoot() {
    rm -rf "$work/home"
    mkdir -p "$work/home" "$1"
    env -u QT_QPA_PLATFORM HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" \
        XDG_RUNTIME_DIR="$work" VANTRE_SCREENSHOTS="$1" \
        ${2:+VANTRE_SCREENSHOT_THEME="$2"} ${3:+VANTRE_SCREENSHOT_SCENES="$3"} \
        timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$program" "$work/clips/holiday.mp4" "$work/clips/beach walk.avi"
}

rm -f "$out"/*.png
rm -rf "$out"/theme-?
shoot "$out"
# The windows again in every other theme, each into its own folder.
dialogs=main,main-formats,popup,menu-edit,about,main-playing,settings,settings-formats,fileinfo
dialogs=$dialogs,trim,crop,watermark,watermark-effect,preferences,progress
for theme in ${VANTRE_THEMES-1 2 3 4 5 6}; do
    shoot "$out/theme-$theme" "$theme" "$dialogs"
done

fail=0
for scene in main main-formats popup menu-edit directory about splash main-playing settings settings-formats \
             fileinfo trim crop watermark watermark-effect preferences progress \
             theme-0 theme-1 theme-2 theme-3 theme-4 theme-5 theme-6; do
    [ -s "$out/$scene.png" ] || { echo "no picture: $scene.png" >&2; fail=1; }
done
[ "$fail" -eq 0 ] && echo "pictures in $out"
exit "$fail"
