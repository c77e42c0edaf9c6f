#!/bin/sh
# Installs every Debian package Tolvane builds, tests and benchmarks with.
# Idempotent: does nothing (and prints nothing) when all are present.
set -eu

PACKAGES="
build-essential cmake ninja-build pkg-config git
qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
gstreamer1.0-plugins-ugly gstreamer1.0-libav xdg-utils
libmp3lame-dev libmpg123-dev twolame libtag1-dev libsoxr-dev
shared-mime-info fonts-noto-cjk fontconfig
libgtest-dev libgmock-dev googletest xvfb xauth x11-utils x11-apps desktop-file-utils
libcli11-dev
clang libclang-rt-14-dev
sox ffmpeg lame mpg123 flac time python3 python3-numpy
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "install-deps: installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
echo "install-deps: done"
