#!/usr/bin/env bash
# Installs the Debian 12 packages Zelvora needs to build, run and test,
# skipping those already installed. Run as root or with sudo available.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
    libsoundtouch-dev libsdl2-dev libsimpleini-dev
    lame ffmpeg
    fonts-wqy-microhei
    libgtest-dev libgmock-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
