#!/usr/bin/env bash
# vellum-cli.exe under Wine against the Linux build, image by image: info,
# search and full-scan give the same output (the root text's separator and
# the type-name column aside: Windows' shell names types its own way), and a
# restore of every listed row gives the same files, bytes and times. Then a
# destination deeper than 260 characters, which only the long-path prefix
# reaches.
#   tests/windows/run_wine_tests.sh [LINUX_CLI] [WINDOWS_EXE]
# Defaults: build/default/src/vellum-cli and build/windows/src/vellum-cli.exe.
# Exit 0 when every check passed, 1 otherwise, 77 when wine or a build is missing.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
linux_cli=${1:-$root/build/default/src/vellum-cli}
exe=${2:-$root/build/windows/src/vellum-cli.exe}
command -v wine >/dev/null || { echo "wine is not installed (scripts/setup.sh --windows)" >&2; exit 77; }
[[ -x $linux_cli ]] || { echo "no Linux build at $linux_cli" >&2; exit 77; }
[[ -f $exe ]] || { echo "no Windows build at $exe (cmake --preset windows)" >&2; exit 77; }
linux_cli=$(realpath "$linux_cli")
exe=$(realpath "$exe")

work=$(mktemp -d /tmp/vellum-wine.XXXXXX)
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
# A throw-away prefix, no display, no debug chatter, no offers to install
# Mono or Gecko. Both programs see the same time zone.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
unset DISPLAY WAYLAND_DISPLAY
wineboot -i >/dev/null 2>&1

images=$work/images
"$root/tests/data/unpack.sh" "$root/tests/data" "$images" >/dev/null
# Names that Windows refuses, deleted on a FAT volume made by mkfs.fat and
# mtools (which take them): device names and a trailing dot.
if command -v mcopy >/dev/null && command -v mkfs.fat >/dev/null; then
  names=$images/windows-names.img
  mkfs.fat -C -i 5EED0001 -n NAMES "$names" 1440 >/dev/null
  for n in 'CON.txt' 'ends with a dot.' 'Lpt1.Log' 'kept.txt'; do
    printf 'name %s\n' "$n" >"$work/piece"
    mcopy -i "$names" "$work/piece" "::$n"
  done
  for n in 'CON.txt' 'ends with a dot.' 'Lpt1.Log'; do mdel -i "$names" "::$n"; done
else
  echo "mtools or dosfstools missing: the refused-name image is left out" >&2
fi

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }

win() { wine "$exe" "$@"; }
# A results file as UTF-8 text, whichever encoding its build saved it in
# (code page 932 on Windows, UTF-8 with a byte order mark when a name needs it).
utf8_of() {
  python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
if data.startswith(b"\xef\xbb\xbf"): data = data[3:]
try: text = data.decode("utf-8")
except UnicodeDecodeError: text = data.decode("cp932")
sys.stdout.write(text)
' "$1"
}
# The results file in Linux's form: the folder column's root text and
# separators as Linux writes them, and the type names (4th column of a file
# row) taken out.
masked() {
  utf8_of "$1" | awk -F'\t' 'BEGIN { OFS = "\t" }
    NF >= 5 { $4 = "-"; if (sub(/:\\/, ":/", $2)) gsub(/\\/, "/", $2) } { print }'
}
# Windows writes its folders with '\' throughout: no row's folder (the
# second cell) holds a '/'.
no_forward_slashes() {  # name, results file of the Windows build
  local mixed
  mixed=$(utf8_of "$2" | awk -F'\t' 'NR > 2 && $2 ~ /\// { n++ } END { print n + 0 }')
  if [[ $mixed == 0 ]]; then pass; else fail "$1: $mixed folders with '/' in the Windows list"; fi
}
. "$here/trees.sh"   # tree_of, windows_names
same() {  # name, file a, file b
  if cmp -s "$2" "$3"; then pass; else fail "$1"; diff "$2" "$3" | head -8 >&2; fi
}

# The .exe as shipped: its icon, manifest (asInvoker, common controls 6,
# per-monitor DPI, long paths) and version information, and no debug sections.
shipped_form() {  # the .exe
  local resources want
  resources=$(x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | grep -v '^  0x')
  for want in 'RT_GROUP_ICON' 'RT_MANIFEST' 'level=""asInvoker""' 'Microsoft.Windows.Common-Controls' \
              'PerMonitorV2' '<longPathAware' 'VERSIONINFO' "\"OriginalFilename\", \"$(basename "$1")\""; do
    if grep -qF -- "$want" <<<"$resources"; then pass; else fail "$(basename "$1"): no $want in its resources"; fi
  done
  if x86_64-w64-mingw32-objdump -h "$1" | grep '\.debug_' >/dev/null; then fail "$(basename "$1") ships debug sections"; else pass; fi
}
if command -v x86_64-w64-mingw32-windres >/dev/null; then shipped_form "$exe"; fi

# The sources: each image whole, and each partition of a whole-disk image.
sources=()
for img in "$images"/*.img; do
  if parts=$("$linux_cli" drives "$img" 2>/dev/null | awk -F'\t' '$2 ~ /#[0-9]+:\/$/ { n++ } END { print n + 0 }') &&
     [[ $parts -gt 0 ]]; then
    for ((p = 1; p <= parts; p++)); do sources+=("$img#$p"); done
  else
    sources+=("$img")
  fi
done

cd "$work"
for src in "${sources[@]}"; do
  name=$(basename "$src")
  out=$work/cmp/$name
  mkdir -p "$out"
  # Wine gives the program the folder it runs in as a Z: path; the image is
  # named relative to it, as a user would.
  rel=images/$name

  "$linux_cli" info "$rel" >"$out/info.l" 2>&1
  win info "$rel" >"$out/info.w" 2>&1
  same "$name: info" "$out/info.l" "$out/info.w"

  "$linux_cli" search "$rel" --no-free-scan -o "$out/search.l" 2>/dev/null
  win search "$rel" --no-free-scan -o "cmp/$name/search.w" 2>/dev/null
  masked "$out/search.l" >"$out/search.lm"
  masked "$out/search.w" >"$out/search.wm"
  same "$name: search" "$out/search.lm" "$out/search.wm"
  no_forward_slashes "$name: search" "$out/search.w"

  "$linux_cli" full-scan "$rel" --yes -o "$out/scan.l" 2>/dev/null
  win full-scan "$rel" --yes -o "cmp/$name/scan.w" 2>/dev/null
  masked "$out/scan.l" >"$out/scan.lm"
  masked "$out/scan.w" >"$out/scan.wm"
  same "$name: full-scan" "$out/scan.lm" "$out/scan.wm"

  # Every row of each build's own list, restored.
  "$linux_cli" restore "$rel" --results "$out/search.l" --to "$out/restored.l" >/dev/null 2>&1
  lrc=$?
  win restore "$rel" --results "cmp/$name/search.w" --to "cmp/$name/restored.w" >/dev/null 2>&1
  wrc=$?
  if [[ $lrc == "$wrc" ]]; then pass; else fail "$name: restore exit status $lrc (Linux) and $wrc (Windows)"; fi
  mkdir -p "$out/restored.l" "$out/restored.w"
  tree_of "$out/restored.l" | windows_names >"$out/tree.l"
  tree_of "$out/restored.w" | LC_ALL=C sort >"$out/tree.w"
  same "$name: restored files, bytes and times" "$out/tree.l" "$out/tree.w"

  # Each build restores the other's list as it restores its own: the root
  # text and the separators are translated when the list is read.
  win restore "$rel" --results "cmp/$name/search.l" --to "cmp/$name/from-linux.w" >/dev/null 2>&1
  "$linux_cli" restore "$rel" --results "$out/search.w" --to "$out/from-windows.l" >/dev/null 2>&1
  mkdir -p "$out/from-linux.w" "$out/from-windows.l"
  tree_of "$out/from-linux.w" | LC_ALL=C sort >"$out/tree.lw"
  same "$name: the Linux list restored on Windows" "$out/tree.l" "$out/tree.lw"
  tree_of "$out/restored.l" | LC_ALL=C sort >"$out/tree.ll"
  tree_of "$out/from-windows.l" | LC_ALL=C sort >"$out/tree.wl"
  same "$name: the Windows list restored on Linux" "$out/tree.ll" "$out/tree.wl"
done

# A destination whose path is longer than 260 characters.
deep=$work/long
for i in $(seq 1 9); do deep=$deep/folder-of-a-long-destination-path-$i; done
deep_rel=${deep#"$work"/}
src=images/fat16.img
"$linux_cli" search "$src" --no-free-scan -o "$work/long.l" 2>/dev/null
"$linux_cli" restore "$src" --results "$work/long.l" --to "$work/long-linux" >/dev/null 2>&1
win search "$src" --no-free-scan -o long.w 2>/dev/null
win restore "$src" --results long.w --to "$deep_rel" >/dev/null 2>&1
if (( ${#deep} > 260 )) && [[ -d $deep ]]; then pass; else fail "long destination (${#deep} characters) not made"; fi
tree_of "$work/long-linux" | windows_names >"$work/long-tree.l"
tree_of "$deep" 2>/dev/null | LC_ALL=C sort >"$work/long-tree.w"
same "restore below a ${#deep}-character destination" "$work/long-tree.l" "$work/long-tree.w"

# The same destination as a Windows user types it: absolute, with '\' (Wine
# shows the host's / as Z:), and once more with the separators mixed.
backslashed="Z:${work//\//\\}\\typed"
for i in $(seq 1 9); do backslashed+="\\folder-of-a-long-destination-path-$i"; done
win restore "$src" --results long.w --to "$backslashed" >/dev/null 2>&1
typed=$work/typed${deep#"$work"/long}
tree_of "$typed" 2>/dev/null | LC_ALL=C sort >"$work/typed-tree.w"
same "restore below a ${#backslashed}-character destination typed with '\\'" "$work/long-tree.l" "$work/typed-tree.w"
# Typed with the long-path prefix, as a user who knows the limit does: the
# system takes such a path as it stands, so every name below it needs '\\'.
prefixed="\\\\?\\${backslashed/\\typed\\/\\prefixed\\}"
win restore "$src" --results long.w --to "$prefixed" >/dev/null 2>&1
tree_of "$work/prefixed${deep#"$work"/long}" 2>/dev/null | LC_ALL=C sort >"$work/prefixed-tree.w"
same "restore below a destination typed with \\\\?\\" "$work/long-tree.l" "$work/prefixed-tree.w"
win restore "$src" --results long.w --to 'mixed\one/two\three' >/dev/null 2>&1
tree_of "$work/mixed/one/two/three" 2>/dev/null | LC_ALL=C sort >"$work/mixed-tree.w"
same "restore below a destination with mixed separators" "$work/long-tree.l" "$work/mixed-tree.w"

# The summary names what it could not write as Windows writes paths, with
# '\' alone: here a file stands where the restore needs a folder.
mkdir -p "$work/blocked"
echo x >"$work/blocked/old-project"
win restore "$src" --results long.w --to "Z:${work//\//\\}\\blocked" --report blocked.tsv 2>&1 | tr -d '\r' >"$work/blocked.txt"
if grep -q '^  Z:.*old-project' "$work/blocked.txt" && ! grep -q '^  Z:.*/' "$work/blocked.txt"; then pass; else
  fail "the summary's paths are not written with '\\' alone"; grep '^  Z:' "$work/blocked.txt" | head -3 >&2
fi
# So does the report, in its destination column.
if [[ -s $work/blocked.tsv ]] && ! tail -n +2 "$work/blocked.tsv" | cut -f3 | grep / >/dev/null; then pass; else
  fail "the report's destinations are not written with '\\' alone"; tail -n +2 "$work/blocked.tsv" | cut -f3 | head -3 >&2
fi

echo "wine tests: $passed passed, $failed failed (${#sources[@]} sources)"
[[ $failed -eq 0 ]]
