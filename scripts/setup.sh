#!/usr/bin/env bash
# Installs the Debian packages Tolvane builds and tests with, when any is missing.
# Idempotent and quiet when everything is already there.
set -euo pipefail
packages=(
  build-essential cmake pkg-config ccache
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev libtiff-dev libimagequant-dev libgsf-1-dev
  libexiv2-dev liblcms2-dev libturbojpeg0-dev
  libwebp-dev libavif-dev libheif-dev libjxl-dev libopenjp2-7-dev
  webp libavif-bin libheif-examples libjxl-tools libopenjp2-tools
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  python3-pil python3-olefile
  exiv2 libimage-exiftool-perl libjpeg-turbo-progs
  fonts-noto-cjk xvfb xauth openbox
  qt6-translations-l10n
  dpkg-dev file fakeroot lintian appstream desktop-file-utils
  imagemagick
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq >/dev/null
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
