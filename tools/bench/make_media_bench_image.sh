#!/usr/bin/env bash
# Makes a FAT32 image full of deleted media files for timing the free-cluster
# scan: photos, pictures, videos, sound, archives, PDFs and office files made
# by ImageMagick, ffmpeg and zip (plus the sample files of tests/data/content
# whose formats have an end the scan can find), copied by mtools until the
# volume is nearly full, then all deleted.
#   make_media_bench_image.sh OUT.img [GIB]
# BENCH_WRITTEN=full writes the image out in full first (blank_image.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out=${1:?output image}
gib=${2:-4}
source "$here/blank_image.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8
src=$work/src
mkdir -p "$src"

photo() {  # NAME WIDTH HEIGHT FROM TO
  convert -size "$2x$3" "gradient:$4-$5" -attenuate 0.4 +noise Gaussian -quality 92 "$src/$1.jpg"
}
photo dawn 4000 3000 navy orange
photo field 3264 2448 darkgreen khaki
photo harbour 4608 3456 steelblue white
photo portrait 2448 3264 sienna wheat
photo street 1920 1080 gray20 gold
convert -size 1600x1200 plasma:tomato-teal "$src/plasma.png"
convert -size 1024x768 gradient:purple-yellow -attenuate 0.2 +noise Uniform "$src/noise.png"
convert -size 800x600 plasma:blue-green -colors 64 "$src/banner.gif"
convert -size 1024x768 gradient:black-white "$src/scan.bmp"

video() {  # NAME.EXT SECONDS CODEC-OPTIONS...
  local name=$1 seconds=$2
  shift 2
  ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=1280x720:rate=30" -f lavfi -i sine=frequency=440 \
    -t "$seconds" -vf noise=alls=8:allf=t "$@" -shortest "$src/$name"
}
video holiday.mp4 12 -c:v libx264 -preset veryfast -crf 26 -c:a aac
video party.mov 8 -c:v libx264 -preset veryfast -crf 24 -c:a aac
video garden.avi 6 -c:v mjpeg -q:v 6 -c:a pcm_s16le
ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=330:duration=30" -ac 2 "$src/voice.wav"
head -c 3000000 /dev/urandom > "$work/random.bin"
(cd "$work" && zip -q -0 "$src/backup.zip" random.bin)
for f in letter.docx sheet.xlsx slides.pptx letter.doc sheet.xls office.pdf linearized.pdf \
         plain.zip tone.m4a clip.wmv frames.mng gradient.jp2; do
  cp "$repo/tests/data/content/$f" "$src/"
done

# Hard links under distinct names, round after round, until the set fills
# the volume but for a margin for the file system's own tables.
budget=$(( (gib * 1024 - 48) * 1024 * 1024 ))
mkdir -p "$work/tree/media"
total=0
round=0
while :; do
  for f in "$src"/*; do
    size=$(stat -c %s "$f")
    (( total + size > budget )) && break 2
    base=$(basename "$f")
    ln "$f" "$work/tree/media/${round}-${base}"
    total=$((total + size))
  done
  round=$((round + 1))
done

blank_image "$out" "${gib}G"
mkfs.fat -F 32 -s 8 -i 20261208 -n MEDIABENCH "$out" >/dev/null
mcopy -s -i "$out" "$work/tree/media" ::/
count=$(ls "$work/tree/media" | wc -l)
mdeltree -i "$out" ::/media
echo "$out: $count media files ($((total / 1048576)) MiB) written and deleted"
