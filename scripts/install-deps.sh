#!/usr/bin/env bash
# Installs the Debian 12 packages Vantre needs to build, run and test.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config libavcodec-dev libavformat-dev libavfilter-dev
          libavutil-dev libswscale-dev libswresample-dev qt6-base-dev libsdl2-dev libjpeg-dev
          libgtest-dev googletest xvfb xauth ffmpeg libsimpleini-dev libicu-dev
          dpkg-dev desktop-file-utils appstream man-db parallel)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q "${missing[@]}"
