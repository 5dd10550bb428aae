#!/usr/bin/env bash
# Carving a quick-formatted camera and phone card beside PhotoRec: photos,
# videos (MP4, MOV, AVCHD-style M2TS), music (MP3, FLAC, Ogg Vorbis, Opus),
# archives (7z, gzip) and a phone's SQLite database written to a FAT32 card
# (mkfs.fat + mtools), then the card quick-formatted (mkfs.fat again), so
# only their contents can find the files. Per family it prints how many
# files each tool carved byte for byte, the bytes each wrote, and the times
# of `vellum-cli full-scan --yes` + `restore --results`, of PhotoRec (every
# file type enabled) and of a dd bs=1M read of the same image, one run each,
# warm page cache.
#
#   tools/bench/bench_carving.sh [IMAGE ORIGINALS_DIR]
#   tools/bench/bench_carving.sh --make    (only make the card)
#
# Without arguments makes the card in build/bench/carving/ once (ffmpeg,
# exiftool, p7zip, gzip, sqlite3, mtools, dosfstools). Needs a built
# vellum-cli (build/default; VELLUM_CLI names another) and testdisk's photorec.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cli=${VELLUM_CLI:-$repo/build/default/src/vellum-cli}
out=${VELLUM_BENCH_OUT:-$repo/build/bench/carving}
mkdir -p "$out"
export LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 TZ=UTC

make_originals() {  # DIR: the files a camera and a phone leave on a card
  local d=$1
  mkdir -p "$d"
  local ff=(ffmpeg -nostdin -hide_banner -loglevel error -y)
  local i
  for i in 1 2 3 4; do
    "${ff[@]}" -f lavfi -i "testsrc2=size=1600x1200:rate=1" -frames:v 1 -q:v 3 "$d/DSC0000$i.JPG"
    exiftool -q -overwrite_original -Make=Vellum -Model=Bench -DateTimeOriginal='2024:05:06 07:08:0'$i \
      "$d/DSC0000$i.JPG"
  done
  "${ff[@]}" -f lavfi -i "mandelbrot=size=800x600" -frames:v 1 "$d/SCREEN01.PNG"
  "${ff[@]}" -f lavfi -i "testsrc2=size=640x360:rate=25:duration=8" -f lavfi -i "sine=f=440:d=8" \
    -c:v libx264 -preset veryfast -b:v 2M -c:a aac "$d/MOV00001.MP4"
  "${ff[@]}" -f lavfi -i "testsrc2=size=640x360:rate=25:duration=6" -f lavfi -i "sine=f=330:d=6" \
    -c:v libx264 -preset veryfast -b:v 2M -c:a aac -f mov "$d/MOV00002.MOV"
  for i in 1 2; do
    "${ff[@]}" -f lavfi -i "testsrc2=size=720x480:rate=25:duration=8" -f lavfi -i "sine=f=$((200 * i)):d=8" \
      -c:v mpeg2video -b:v 6M -c:a ac3 -f mpegts -mpegts_m2ts_mode 1 "$d/0000$i.MTS"
  done
  local tone=(-f lavfi -i "sine=frequency=523:sample_rate=44100:duration=40")
  "${ff[@]}" "${tone[@]}" -c:a libmp3lame -b:a 192k -metadata title=Bench "$d/TRACK01.MP3"
  "${ff[@]}" -f lavfi -i "anoisesrc=d=20:c=pink:a=0.3" -c:a libmp3lame -b:a 128k "$d/TRACK02.MP3"
  "${ff[@]}" -f lavfi -i "anoisesrc=d=15:c=brown:a=0.2" -c:a flac -f flac "$d/TRACK03.FLA"
  "${ff[@]}" -f lavfi -i "anoisesrc=d=30:c=pink:a=0.2" -c:a libvorbis -q:a 4 -f ogg "$d/TRACK04.OGG"
  "${ff[@]}" -f lavfi -i "anoisesrc=d=30:c=white:a=0.1" -c:a libopus -b:a 64k -f opus "$d/VOICE01.OPU"
  seq 1 400000 > "$d/numbers.txt"
  head -c 3000000 /dev/urandom > "$d/noise.bin"
  (cd "$d" && 7z a -bd "$d/BACKUP.7Z" numbers.txt noise.bin >/dev/null)
  gzip -9 -c "$d/numbers.txt" > "$d/LOG0001.GZ"
  rm "$d/numbers.txt" "$d/noise.bin"
  sqlite3 "$d/CONTACTS.DB" "CREATE TABLE c (id INTEGER PRIMARY KEY, name TEXT, note BLOB);
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)
    INSERT INTO c (name, note) SELECT 'contact ' || i, randomblob(40) FROM n;"
}

make_card() {  # IMAGE DIR: FAT32 with 4 KiB clusters, the files in the root folder, then a quick format
  local image=$1 d=$2
  rm -f "$image"
  mkfs.fat -C -F 32 -s 8 -n CARD "$image" $((320 * 1024)) >/dev/null
  local f
  for f in "$d"/*; do mcopy -i "$image" "$f" "::$(basename "$f")"; done
  mkfs.fat -F 32 -s 8 -n CARD "$image" >/dev/null
}

make_only=0
[[ ${1:-} == --make ]] && { make_only=1; shift; }
if (($# == 2)); then
  image=$1 originals=$2
else
  image=$out/card.img originals=$out/originals
  if [[ ! -f $image ]]; then
    rm -rf "$originals"
    make_originals "$originals"
    make_card "$image" "$originals"
  fi
fi
((make_only)) && exit 0

family() {  # the family of a file by its name
  case ${1,,} in
    *.jpg) echo JPEG ;; *.png) echo PNG ;; *.mp4 | *.mov) echo "ISO media" ;; *.ts | *.mts | *.m2ts) echo M2TS ;;
    *.mp3) echo MP3 ;; *.fla | *.flac) echo FLAC ;; *.ogg | *.opu | *.opus) echo Ogg ;;
    *.7z) echo 7z ;; *.gz) echo GZIP ;; *.db | *.sqlite) echo SQLite ;; *) echo other ;;
  esac
}

seconds() {  # runs a command line, prints its wall time in seconds
  local log=$out/time.txt
  /usr/bin/time -f '%e' -o "$log" bash -c "$1" >/dev/null 2>&1 || true
  cat "$log" | tail -1
}

cat "$image" > /dev/null  # warm
dd_s=$(seconds "dd if='$image' of=/dev/null bs=1M")
rm -rf "$out/vellum" "$out/photorec" "$out/list.tsv"
v_scan=$(seconds "'$cli' full-scan '$image' --yes -o '$out/list.tsv'")
v_restore=$(seconds "'$cli' restore '$image' --results '$out/list.tsv' --to '$out/vellum'")
mkdir -p "$out/photorec"
p_s=$(seconds "cd '$out/photorec' && photorec /log /d '$out/photorec/r' /cmd '$image' \
  partition_none,fileopt,everything,enable,freespace,search")

# sha256 -> original name; then each carved file's sum looked up.
declare -A wanted=()
for f in "$originals"/*; do wanted[$(sha256sum < "$f" | cut -c1-64)]=$(basename "$f"); done
declare -A total=() bytes=() vexact=() pexact=() vbytes=() pbytes=()
for f in "$originals"/*; do
  fam=$(family "$f")
  total[$fam]=$((${total[$fam]:-0} + 1))
  bytes[$fam]=$((${bytes[$fam]:-0} + $(stat -c %s "$f")))
done
tally() {  # DIR exact-array bytes-array: files carved byte for byte, bytes written, per family
  local dir=$1
  local -n exact=$2 written=$3
  declare -A seen=()
  while IFS= read -r -d '' f; do
    local sum name fam
    sum=$(sha256sum < "$f" | cut -c1-64)
    name=${wanted[$sum]:-}
    if [[ -n $name ]]; then fam=$(family "$name"); else fam=$(family "$f"); fi
    written[$fam]=$((${written[$fam]:-0} + $(stat -c %s "$f")))
    if [[ -n $name && -z ${seen[$sum]:-} ]]; then
      seen[$sum]=1
      exact[$fam]=$((${exact[$fam]:-0} + 1))
    fi
  done < <(find "$dir" -type f ! -name '*.log' ! -name 'report.xml' -print0)
}
tally "$out/vellum" vexact vbytes
tally "$out/photorec" pexact pbytes

{
  printf 'family\tfiles\toriginal bytes\tVellum byte-exact\tPhotoRec byte-exact\tVellum bytes written\tPhotoRec bytes written\n'
  for fam in JPEG PNG "ISO media" M2TS MP3 FLAC Ogg 7z GZIP SQLite other; do
    [[ -z ${total[$fam]:-} && -z ${vbytes[$fam]:-} && -z ${pbytes[$fam]:-} ]] && continue
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$fam" "${total[$fam]:-0}" "${bytes[$fam]:-0}" "${vexact[$fam]:-0}" \
      "${pexact[$fam]:-0}" "${vbytes[$fam]:-0}" "${pbytes[$fam]:-0}"
  done
} | column -t -s $'\t'
echo
printf 'image %s (%s), dd bs=1M %s s; vellum-cli full-scan %s s + restore %s s; PhotoRec %s s\n' \
  "$image" "$(du -h --apparent-size "$image" | cut -f1)" "$dd_s" "$v_scan" "$v_restore" "$p_s"
