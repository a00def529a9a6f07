#!/usr/bin/env bash
# A folder of generated 12-megapixel photos (4000 x 3000 JPEG, quality 90)
# converted to PNG and to 256-colour GIF, two pictures at a time: tolvane-batch
# -j 2 against ImageMagick's mogrify and libvips' vips (a shell loop, two at a
# time through xargs -P 2), same pictures, same run. Prints the wall time and
# pictures per second of each, and checks every tool wrote every picture.
#
#   bench/batch_folder.sh [COUNT] [JOBS]     (default 200 photos, 2 at a time)
#
# TOLVANE_BATCH names the tolvane-batch to measure (default: a Release build
# in build-rel, made when missing).
# Needs imagemagick and libvips-tools (installed for benchmarking only).
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-200}
jobs=${2:-2}
need=()
for p in imagemagick libvips-tools; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
batch=${TOLVANE_BATCH:-$PWD/build-rel/tools/tolvane-batch}
[ -x "$batch" ] || {
  cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release -DTOLVANE_TESTS=OFF >/dev/null
  cmake --build build-rel -j2 --target tolvane-batch >/dev/null
}
w=$(mktemp -d /tmp/tolvane-folder.XXXXXX)
trap 'rm -rf "$w"' EXIT
export MAGICK_AREA_LIMIT=1GP MAGICK_MEMORY_LIMIT=4GiB MAGICK_WIDTH_LIMIT=100KP MAGICK_HEIGHT_LIMIT=100KP
im=$(command -v convert-im6.q16 || command -v convert)
mogrify=$(command -v mogrify-im6.q16 || command -v mogrify)

# The photos: one photo-like picture (smooth colour fields, fine noise), each
# copy with its own brightness and contrast so no two files are the same.
mkdir -p "$w/in"
$im -size 1000x750 plasma:fractal -seed 11 -resize 4000x3000! -attenuate 0.3 +noise Gaussian "$w/base.ppm"
for i in $(seq 1 "$count"); do
  printf '%s\n' "$i"
done | xargs -P "$jobs" -I{} sh -c \
  'vips linear "$0/base.ppm" "$0/in/photo_$(printf %04d {}).jpg[Q=90]" $(awk "BEGIN { print (85 + {} % 30) / 100 }") $(( {} % 20 ))' "$w"
echo "photos: $count x 4000 x 3000 JPEG in $w/in ($(du -sh "$w/in" | cut -f1))"

run() {  # name, output folder, command...; prints seconds and pictures per second
  local name=$1 out=$2
  shift 2
  rm -rf "$out"
  mkdir -p "$out"
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$w/err.log" || { echo "$name failed:"; tail -3 "$w/err.log"; }
  end=$(date +%s.%N)
  local made
  made=$(find "$out" -type f | wc -l)
  awk -v n="$name" -v s="$start" -v e="$end" -v c="$count" -v m="$made" \
    'BEGIN { t = e - s; printf "| %s | %.1f s | %.2f | %d/%d |\n", n, t, c / t, m, c }'
}

vips_loop() {  # format: every photo through vips, JOBS at a time
  local fmt=$1 out=$2
  find "$w/in" -name '*.jpg' -print0 | xargs -0 -P "$jobs" -I{} sh -c \
    'f={}; b=$(basename "$f" .jpg); vips copy "$f" "$0/$b.$1"' "$out" "$fmt"
}

echo
echo "| to PNG | wall time | pictures/s | written |"
echo "|---|---|---|---|"
run "tolvane-batch -j $jobs" "$w/t_png" "$batch" "$w/in" --out-dir "$w/t_png" --ext png -j "$jobs"
run "mogrify (OpenMP threads)" "$w/m_png" "$mogrify" -path "$w/m_png" -format png "$w/in/*.jpg"
run "vips, $jobs at a time" "$w/v_png" vips_loop png "$w/v_png"

echo
echo "| to 256-colour GIF | wall time | pictures/s | written |"
echo "|---|---|---|---|"
run "tolvane-batch -j $jobs" "$w/t_gif" "$batch" "$w/in" --out-dir "$w/t_gif" --ext gif --depth 8 -j "$jobs"
run "mogrify (OpenMP threads)" "$w/m_gif" "$mogrify" -path "$w/m_gif" -format gif -colors 256 "$w/in/*.jpg"
run "vips, $jobs at a time" "$w/v_gif" vips_loop gif "$w/v_gif"
