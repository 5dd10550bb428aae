#!/usr/bin/env bash
# vellum.exe under Wine, headless in Xvfb, driven by control id through
# window_driver.exe as a person drives it: every test image and partition
# searched in the window gives the rows the command line lists; rows chosen
# in the list are restored byte for byte as the Linux build restores them;
# a list saved from the window is the command line's file and loads back;
# the progress window's Cancel stops a cluster scan and leaves the window
# usable; the cluster-range dialog refuses what it must. With --screenshots
# DIR it also leaves pictures of the windows in DIR; VELLUM_WINDOW_QUICK=1
# searches fat16.img alone instead of every image.
#   tests/windows/run_window_tests.sh [--screenshots DIR] [BUILD_DIR] [LINUX_CLI]
# Defaults: build/windows and build/default/src/vellum-cli.
# Exit 0 when every check passed, 1 otherwise, 77 when Wine, Xvfb or a build is missing.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
shots=""
if [[ ${1:-} == --screenshots ]]; then shots=$(realpath "$2"); shift 2; fi
build=${1:-$root/build/windows}
linux_cli=${2:-$root/build/default/src/vellum-cli}
for tool in wine xvfb-run mkfs.fat; do
  command -v $tool >/dev/null || { echo "$tool is not installed (scripts/setup.sh --windows)" >&2; exit 77; }
done
for f in "$build/src/vellum.exe" "$build/src/vellum-cli.exe" "$build/src/window_driver.exe" "$linux_cli"; do
  [[ -f $f ]] || { echo "missing $f (cmake --preset windows, cmake --preset default)" >&2; exit 77; }
done
# Inside Xvfb from here on: the script runs itself again under xvfb-run.
if [[ -z ${VELLUM_IN_XVFB:-} ]]; then
  export VELLUM_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" ${shots:+--screenshots "$shots"} "$build" "$linux_cli"
fi
exe=$(realpath "$build/src/vellum.exe")
cli=$(realpath "$build/src/vellum-cli.exe")
driver=$(realpath "$build/src/window_driver.exe")
linux_cli=$(realpath "$linux_cli")

work=$(mktemp -d /tmp/vellum-window.XXXXXX)
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
wineboot -i >/dev/null 2>&1
# The dialogs' Japanese fonts, which Wine does not have: without these every
# glyph is a box.
for font in "ＭＳ Ｐゴシック" "ＭＳ ゴシック" "MS Shell Dlg" "MS Shell Dlg 2"; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
done
images=$work/images
"$root/tests/data/unpack.sh" "$root/tests/data" "$images" >/dev/null
cd "$work"

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }
same() {  # name, file a, file b
  if cmp -s "$2" "$3"; then pass; else fail "$1"; diff "$2" "$3" | head -8 >&2; fi
}
drive() { wine "$driver" "$@"; }
# The main window and what it opens, cut from the screen (Xvfb shows no
# window frames).
shot() {
  [[ -n $shots ]] || return 0
  sleep 1
  local l t r b
  read -r l t r b <<<"$(drive window)"
  import -window root -crop $((r - l - 3))x$((b - t - 23))+$((l + 2))+$((t + 21)) +repage "$shots/$1"
}

# The window on an image; waits until it is up.
open_window() {
  wine "$exe" "$@" >/dev/null 2>&1 &
  drive wait || fail "the window did not open for $*"
}
close_window() { wineserver -k >/dev/null 2>&1; wait 2>/dev/null; }

# Waits until the window is free; a question on the way gets `answer`
# (a button id: 7 No; a message with OK alone gets OK). The questions'
# texts go to `asked`.
settle() {  # answer
  local state
  for _ in 1 2 3 4 5 6; do
    state=$(drive idle 120) || { fail "the window did not come back"; return; }
    [[ $state == idle* ]] && return
    drive dialog >>"$work/asked"
    drive answer "$1"
  done
}

# The same, with Yes to the question that holds `text`.
settle_yes() {  # text
  local state
  for _ in 1 2 3 4 5 6; do
    state=$(drive idle 120) || { fail "the window did not come back"; return; }
    [[ $state == idle* ]] && return
    if drive dialog | grep -F "$1" >/dev/null; then drive answer 6; else drive answer 7; fi
  done
}

. "$here/trees.sh"   # tree_of, windows_names
# The rows a results file carries as the window holds them: a cell longer
# than 519 bytes (a folder deep in a tree) is cut in the file, and a row
# restored from a cut folder lands elsewhere. As "1-5,7".
whole_rows() {
  drive rows | python3 -c '
import sys
lines = sys.stdin.buffer.read().decode("utf-8").split("\n")[1:]
keep = [i + 1 for i, line in enumerate(l for l in lines if l)
        if all(len(c.encode("cp932", "replace")) <= 519 for c in line.split("\t"))]
spans = []
for r in keep:
    if spans and spans[-1][1] == r - 1: spans[-1][1] = r
    else: spans.append([r, r])
print(",".join(str(a) if a == b else "%d-%d" % (a, b) for a, b in spans))
'
}
# Those rows of the window's list restored into a folder picked in the
# folder picker (typed into its edit box), against the Linux build's restore
# of the same rows: names, sizes, times and bytes.
restore_all() {  # label, source
  local rows dest=$work/window-restored-$1
  rows=$(whole_rows)
  [[ -n $rows ]] || return 0
  mkdir -p "$dest"
  drive select "$rows"
  drive click 1003
  drive dialog >/dev/null || { fail "$1: no folder picker"; return; }
  drive type-edit "Z:${dest//\//\\}"
  drive press 1
  settle 1   # the summary
  "$linux_cli" search "$2" --no-free-scan -o "linux-$1.tsv" 2>/dev/null
  "$linux_cli" restore "$2" --results "linux-$1.tsv" --rows "$rows" --to "$work/linux-restored-$1" >/dev/null 2>&1
  mkdir -p "$work/linux-restored-$1"
  tree_of "$work/linux-restored-$1" | windows_names >"linux-tree-$1.txt"
  tree_of "$dest" | LC_ALL=C sort >"window-tree-$1.txt"
  same "$1: every row restored from the window" "linux-tree-$1.txt" "window-tree-$1.txt"
}

# The list as the window shows it: the headings, then the rows, each cell
# cut as a results file saves it (519 bytes of code page 932).
window_rows() {
  drive rows | tr -d '\r' | python3 -c '
import sys
def cut(cell):
    out, length = "", 0
    for c in cell:
        n = len(c.encode("cp932", "replace"))
        if length + n > 519: break
        out, length = out + c, length + n
    return out
for line in sys.stdin.read().split("\n"):
    if line: print("\t".join(cut(c) for c in line.split("\t")))
'
}
# The same from a results file: the headings (every third field of the
# column line) and the cells, without the data word.
file_rows() {
  python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
if data.startswith(b"\xef\xbb\xbf"): data = data[3:]
try: text = data.decode("utf-8")
except UnicodeDecodeError: text = data.decode("cp932")
lines = text.split("\r\n")
print("\t".join(lines[1].split("\t")[0::3]))
for line in lines[2:]:
    if line: print("\t".join(line.split("\t")[:-1]))
' "$1"
}

# The drive box index of a root text, as the command line numbers the table.
index_of() {  # image, root text
  index_among "$2" "$1"
}
index_among() {  # root text, the images named on the command line
  local root=$1
  shift
  wine "$cli" drives "$@" 2>/dev/null | tr -d '\r' | awk -F'\t' -v root="$root" '$2 == root { print $1 }'
}

# Every image, and every partition of a whole-disk image, searched in the window.
for img in "$images"/*.img; do
  name=$(basename "$img")
  [[ -n ${VELLUM_WINDOW_QUICK:-} && $name != fat16.img ]] && continue
  roots=$(wine "$cli" drives "images/$name" 2>/dev/null | tr -d '\r' | awk -F'\t' -v n="$name" 'index($2, n) == 1 { print $2 }')
  [[ -n $roots ]] || continue
  open_window "images/$name"
  while read -r rootText; do
    source=images/${rootText%:\\}
    label=${source#images/}
    wine "$cli" search "$source" --no-free-scan -o "cli-$label.tsv" >/dev/null 2>&1
    drive drive "$(index_of "images/$name" "$rootText")"
    drive click 1002
    settle 7   # No to the free-cluster scan; OK to "nothing found"
    window_rows >"window-$label.txt"
    file_rows "cli-$label.tsv" >"file-$label.txt"
    same "$label: the window's rows are the command line's" "file-$label.txt" "window-$label.txt"
    [[ $label == fat16.img ]] && shot windows-main-window.png
    restore_all "$label" "$source"
  done <<<"$roots"
  close_window
done

# The window's look and feel: the blue background behind labels but not in
# the edit box; the raised edge while the mouse is over a picture button;
# the layout when the window grows; dragging by the background; Enter
# searches; the exit button asks before it closes, Esc and the close box
# close at once while no rows wait to be saved.
check() {  # name, condition (python)
  if python3 -c "import sys; sys.exit(0 if ($2) else 1)"; then pass; else fail "$1"; fi
}
open_window images/fat16.img
[[ "$(drive pixel 0 4 4) $(drive pixel 1013 1 1) $(drive pixel 1007 4 4)" == "CEECFC CEECFC FFFFFF" ]] &&
  pass || fail "the background colours"
resting=$(drive pixel 1002 1 1)
drive hover 1002
hovered=$(drive pixel 1002 1 1)
drive hover 1000
[[ $hovered == FFFFFF && $resting != FFFFFF && $(drive pixel 1002 1 1) == "$resting" ]] &&
  pass || fail "the raised edge over the search button ($resting, $hovered)"
read -r wl wt wr wb <<<"$(drive window)"
read -r ll lt lr lb <<<"$(drive rect 1000)"
read -r bl bt br bb <<<"$(drive rect 1002)"
read -r nl nt nr nb <<<"$(drive rect 1011)"
drive resize 200 100
read -r wl2 wt2 wr2 wb2 <<<"$(drive window)"
check "the list grows with the window" "'$(drive rect 1000)' == '$ll $lt $((lr + 200)) $((lb + 100))'"
sy="($wb2 - $wt2) / ($wb - $wt)"
check "the search button keeps its size and its distance from the right edge" \
  "'$(drive rect 1002)' == '%d %d %d %d' % ($bl + 200, int($bt * $sy), $br + 200, int($bt * $sy) + $bb - $bt)"
sx="($wr2 - $wl2) / ($wr - $wl)"
check "the clearing notice scales" \
  "'$(drive rect 1011)' == '%d %d %d %d' % (int($nl * $sx), int($nt * $sy), int($nr * $sx), int($nb * $sy))"
drive drag $((lr + 200 + 6)) 300 -120 -40   # between the list and the right-hand column
check "dragging the background moves the window" "'$(drive window)' == '$((wl2 - 120)) $((wt2 - 40)) $((wr2 - 120)) $((wb2 - 40))'"
drive key 13
settle 7
shot windows-resized.png
[[ $(drive text 1010 | tr -d '\r ') == 14 ]] && pass || fail "Enter did not search"
drive click 1006
if drive dialog | grep -F '弊社サイトの「Vellum」ページを表示しますか？' >/dev/null; then pass; else fail "no question from the exit button"; fi
drive press 7
drive gone && pass || fail "the exit button's No did not close the window"
close_window
for way in "key 27" close; do
  open_window images/fat16.img
  drive $way
  drive gone && pass || fail "$way did not close the window"
  close_window
done

# Rows found and not saved: Esc and the close box ask first, with No as the
# default (Enter keeps the window and its rows); Yes closes it. Once the
# list is saved they close at once again.
unsaved='検索結果は保存されていません。終了しますか？'
for way in "key 27" close; do
  open_window images/fat16.img
  drive click 1002
  settle 7
  drive $way
  drive idle 10 >/dev/null
  drive dialog | grep -F "$unsaved" >/dev/null && pass || fail "$way with rows not saved did not ask"
  drive key 13
  [[ $(drive idle 10) == idle* && $(drive text 1010 | tr -d '\r ') == 14 ]] && pass ||
    fail "Enter to the question of $way did not keep the window and its rows"
  drive $way
  drive idle 10 >/dev/null
  drive answer 6
  drive gone && pass || fail "Yes to the question of $way did not close the window"
  close_window
done
open_window images/fat16.img
drive click 1002
settle 7
drive click 32775
drive type-edit "Z:${work//\//\\}\\unsaved-test.tsv"
drive press 1
settle 1
drive key 27
drive gone && pass || fail "Esc after the list was saved did not close the window at once"
close_window

# A readable list: once a search fills it, each column is at least as wide
# as the list control itself makes it to show every cell whole (up to three
# fifths of the list) and never narrower than its own width; a click on a
# heading sorts by that column and shows its arrow, up and then down, which
# the next search takes away.
open_window images/fat16.img
drive click 1002
settle 7
read -r -a fitted <<<"$(drive widths)"
read -r -a whole <<<"$(drive autosize)"
read -r list_left _ list_right _ <<<"$(drive rect 1000)"
cap=$(( (list_right - list_left) * 3 / 5 ))
own=(110 210 70 110 120 70)
cut=""
for c in "${!own[@]}"; do
  need=$(( ${whole[c]:-0} < cap ? ${whole[c]:-0} : cap ))
  (( ${fitted[c]:-0} >= need && ${fitted[c]:-0} >= ${own[c]} )) || cut+=" column $c: ${fitted[c]:-?} (cells ${whole[c]:-?})"
done
[[ -z $cut ]] && pass || fail "the list's columns were not fitted to their cells:$cut"
sizes_in_order() {  # asc or desc: the size column as the list shows it
  drive rows | tail -n +2 | cut -f3 | tr -d '\r' | python3 -c '
import sys
sizes = [int(s) if s.strip() else 0 for s in sys.stdin.read().split("\n")[:-1]]
sys.exit(0 if sizes == sorted(sizes, reverse=sys.argv[1] == "desc") and len(sizes) > 1 else 1)' "$1"
}
drive heading 2
drive idle 10 >/dev/null
[[ $(drive sorted) == "2 up" ]] && sizes_in_order asc && pass || fail "the first click on サイズ: $(drive sorted)"
drive heading 2
drive idle 10 >/dev/null
[[ $(drive sorted) == "2 down" ]] && sizes_in_order desc && pass || fail "the second click on サイズ: $(drive sorted)"
shot windows-fitted-list.png
drive click 1002
settle 7
[[ $(drive sorted) == none ]] && pass || fail "the sort arrow stayed after a new search"
close_window

# The drive box's selection: the option for files whose clusters are in use
# (1009 and its two lines) is greyed while an NTFS drive is selected, at
# start-up too, and comes back with a FAT drive, as the selection changes
# with the arrow keys.
in_use() { echo "$(drive enabled 1009)$(drive enabled 1013)$(drive enabled 1014)"; }
open_window images/ntfs-512.img images/fat16.img
[[ $(in_use) == 000 ]] && pass || fail "the in-use option at start-up on an NTFS image: $(in_use)"
drive drive "$(index_among 'fat16.img:\' images/ntfs-512.img images/fat16.img)"
[[ $(in_use) == 111 ]] && pass || fail "the in-use option after FAT16 was selected: $(in_use)"
drive drive "$(index_among 'ntfs-512.img:\' images/ntfs-512.img images/fat16.img)"
[[ $(in_use) == 000 ]] && pass || fail "the in-use option after NTFS was selected again: $(in_use)"
close_window

# --bios-disk takes the legacy path, as in the Qt program and the command
# line: the window lists through the disk BIOS what vellum-cli.exe lists
# through it, and a selection changes nothing there (the NTFS partition
# leaves the in-use option as it was, where on the raw volume it greys
# it). Without the layer's modules beside the program it says which one is
# missing and ends.
ntfs_part=$(index_of images/disk-mbr.img 'disk-mbr.img#3:\')
open_window images/disk-mbr.img
drive drive "$ntfs_part"
[[ $(in_use) == 000 ]] && pass || fail "the NTFS partition did not grey the in-use option on the raw volume"
close_window
open_window images/disk-mbr.img --bios-disk images/disk-mbr.img
drive drive "$ntfs_part"
[[ $(in_use) == 111 ]] && pass || fail "a selection on the legacy path changed the in-use option: $(in_use)"
drive drive "$(index_of images/disk-mbr.img 'disk-mbr.img#1:\')"
drive click 1002
settle 7
window_rows >window-bios.txt
close_window
wine "$cli" search 'images/disk-mbr.img#1' --bios-disk images/disk-mbr.img --no-free-scan -o cli-bios.tsv >/dev/null 2>&1
file_rows cli-bios.tsv >file-bios.txt
[[ $(wc -l <file-bios.txt) -gt 1 ]] && same "the window's rows through the disk BIOS" file-bios.txt window-bios.txt ||
  fail "the command line listed nothing through the disk BIOS"
mkdir -p "$work/alone"
cp "$exe" "$work/alone/"
wine "$work/alone/vellum.exe" --bios-disk images/disk-mbr.img >/dev/null 2>&1 &
alone=$!
drive dialog 2>/dev/null | grep -F "'Qiv16.dll'が見つかりません。" >/dev/null && pass || fail "no message for the missing layer"
drive answer 1
wait "$alone"
status=$?
[[ $status == 1 ]] && drive gone && pass || fail "the program did not end after the layer's message ($status)"
close_window

# A drive the system refuses for lack of rights (Wine's Z:): the administrator
# message names vellum.exe; where the program is not elevated (made to
# believe so, as Wine runs everything elevated) it offers to start again as
# administrator, and Yes starts a new window with the same image while
# this one ends.
z=$(wine "$cli" drives --all images/fat16.img 2>/dev/null | tr -d '\r' | awk -F'\t' '$2 == "Z:\\" { print $1 }')
refused() {  # the answer to the message
  drive drive "$z"
  drive click 1002
  drive idle 30 >/dev/null
  drive dialog >"$work/refusal"
  drive answer "$1"
  [[ $1 == 6 ]] || drive idle 30 >/dev/null   # after Yes this window ends
}
open_window images/fat16.img
refused 1
grep -q '「vellum.exe」 を右クリック' "$work/refusal" && ! grep -q '起動し直しますか' "$work/refusal" &&
  pass || fail "the administrator message when elevated"
close_window
export VELLUM_TEST_NOT_ELEVATED=1
open_window images/fat16.img
first=$(drive pid)
refused 7
grep -q '管理者として起動し直しますか？' "$work/refusal" && [[ $(drive pid) == "$first" ]] &&
  pass || fail "the offer to start again as administrator, answered No"
refused 6
for _ in $(seq 50); do [[ $(drive pid 2>/dev/null) != "$first" && $(drive count) == 1 ]] && break; sleep 0.2; done
drive click 1002
settle 7
[[ $(drive count) == 1 && $(drive pid) != "$first" && $(drive text 1010 | tr -d '\r ') == 14 ]] &&
  pass || fail "Yes did not start the program again on the same image"
close_window
unset VELLUM_TEST_NOT_ELEVATED

# Rows chosen in the list, restored into a folder picked in the folder picker
# (typed into its edit box), against the Linux build's restore of the same rows.
rows=1-3,6,10
open_window images/fat16.img
drive click 1002
settle 7
drive select "$rows"
drive click 1003
drive dialog >"$work/picker" || fail "no folder picker"
mkdir -p "$work/picked"
drive type-edit "Z:${work//\//\\}\\picked"
drive press 1
state=$(drive idle 60)
if [[ $state == dialog* ]]; then drive dialog >"$work/summary"; drive press 1; fi
if grep -q '復元しました' "$work/summary" 2>/dev/null; then pass; else fail "no summary after the restore"; cat "$work/summary" >&2; fi
close_window
"$linux_cli" search images/fat16.img --no-free-scan -o linux.tsv 2>/dev/null
"$linux_cli" restore images/fat16.img --results linux.tsv --rows "$rows" --to "$work/linux-restored" >/dev/null 2>&1
tree() { (cd "$1" && find . -type f -printf '%P\t%s\t%TY-%Tm-%Td %TH:%TM:%TS\n' | LC_ALL=C sort &&
          find . -type f -print0 | LC_ALL=C sort -z | xargs -0r sha256sum); }
tree "$work/linux-restored" >linux-tree.txt
tree "$work/picked" >window-tree.txt 2>/dev/null
same "rows $rows restored from the window" linux-tree.txt window-tree.txt

# The list saved from the window is the command line's results file (the
# drive line aside: the window's table holds the system's drives too), and
# loaded into a new window it shows the same rows again.
open_window images/fat16.img
drive click 1002
settle 7
window_rows >before-save.txt
drive click 32775
[[ $(drive dialog | sed -n 's/^caption\t//p') == 名前を付けて保存 ]] && pass || fail "the save dialog is not titled 名前を付けて保存"
drive type-edit "Z:${work//\//\\}\\saved.tsv"
drive press 1
settle 1
close_window
wine "$cli" search images/fat16.img --no-free-scan -o cli-fat16.tsv >/dev/null 2>&1
tail -n +2 cli-fat16.tsv >cli-fat16.body
tail -n +2 saved.tsv >saved.body 2>/dev/null
same "the list saved from the window" cli-fat16.body saved.body
open_window images/fat16.img
drive click 32776
[[ $(drive dialog | sed -n 's/^caption\t//p') == 開く ]] && pass || fail "the load dialog is not titled 開く"
drive type-edit "Z:${work//\//\\}\\saved.tsv"
drive press 1
settle 1
window_rows >after-load.txt
same "the list loaded into the window" before-save.txt after-load.txt
close_window

# A full cluster scan of two million clusters (an empty FAT32 volume of
# 1 GiB, sparse), cancelled in its progress window: the window takes
# commands again and searches as before.
mkfs.fat -F 32 -s 1 -C "$images/two-million-clusters.img" 1048576 >/dev/null
open_window images/two-million-clusters.img
drive click 32771
drive press 6            # Yes to the full-scan question
drive press 1            # the whole range
if drive dialog | grep 'ｷｬﾝｾﾙ' >/dev/null; then pass; else fail "no progress window during the full scan"; fi
shot windows-progress.png
drive press 2            # ｷｬﾝｾﾙ
settle 1                 # "nothing found" of the scan stopped early
state=$(drive idle 10)
[[ $state == idle* ]] && pass || fail "the cancelled scan did not give the window back ($state)"
[[ $(drive shown 1031) == 1 && $(drive text 1031) == 検索を中止しました。* ]] && pass ||
  fail "no line under the list after the cancelled scan"
drive click 1002
settle 7
[[ $(drive text 1010 | tr -d '\r ') == 0 ]] && pass || fail "no search after the cancelled scan"
close_window
rm -f "$images/two-million-clusters.img"

# The thorough search. A plain exFAT search leaves the live folders out and
# says so under the list, with the offer to search again thoroughly; the
# menu's check mark makes every search thorough; an exFAT search that found
# nothing asks at once. Each gives the command line's --thorough rows.
live_line='exFAT の使用中のフォルダの中は検索していません。'
for img in exfat exfat-live; do
  wine "$cli" search images/$img.img --no-free-scan -o cli-$img.tsv >/dev/null 2>&1
  wine "$cli" search images/$img.img --thorough --no-free-scan -o cli-thorough-$img.tsv >/dev/null 2>&1
  file_rows cli-$img.tsv >file-$img.txt
  file_rows cli-thorough-$img.tsv >file-thorough-$img.txt
done
open_window images/exfat.img
drive click 1002
settle 7
[[ $(drive text 1031) == "$live_line"* && $(drive shown 1032) == 1 ]] && pass ||
  fail "no line under the list after a plain exFAT search"
shot windows-exfat-line.png
drive click 1032
settle 7
window_rows >window-thorough-exfat.txt
same "the line's offer searched thoroughly" file-thorough-exfat.txt window-thorough-exfat.txt
[[ $(drive shown 1031)$(drive shown 1032) == 00 ]] && pass || fail "the line stayed after the thorough search"
drive click 32778   # the check mark off again
drive click 1002
settle 7
window_rows >window-exfat.txt
same "a plain search after the check mark was taken off" file-exfat.txt window-exfat.txt
drive click 32778
drive click 1002
settle 7
window_rows >window-thorough-exfat.txt
same "a search with the menu's check mark" file-thorough-exfat.txt window-thorough-exfat.txt
close_window
open_window images/exfat-live.img
drive click 1002
settle_yes '徹底検索で検索し直しますか。'
window_rows >window-thorough-exfat-live.txt
same "the offer after an exFAT search that found nothing" file-thorough-exfat-live.txt window-thorough-exfat-live.txt
close_window

# An image opened from the menu joins the drive box, selected, and is searched.
open_window
drive click 32777
drive type-edit "Z:${images//\//\\}\\fat16.img"
drive press 1
drive idle 30 >/dev/null
drive click 1002
settle 7
window_rows >window-opened.txt
same "an image opened from the menu" file-fat16.img.txt window-opened.txt
close_window

# A ddrescue mapfile loaded from the menu for an NTFS image whose rescue
# missed 1 KiB inside a deleted file (big-deleted.bin, record 82, from
# cluster 61456 of 512 bytes): the line under the list sums it up, and the
# file restored from the window has zeros exactly there, as the command
# line's restore with --map writes it.
size=$(stat -c %s images/ntfs-512.img)
bad=$(( (61456 + 10) * 512 ))
printf '# Mapfile. Created by GNU ddrescue\n0x0 +\n0x0 0x%x +\n0x%x 0x400 -\n0x%x 0x%x +\n' \
  "$bad" "$bad" $((bad + 1024)) $((size - bad - 1024)) >"$work/card.map"
open_window images/ntfs-512.img
drive click 32780
drive type-edit "Z:${work//\//\\}\\card.map"
drive press 1
drive idle 30 >/dev/null
drive text 1031 | grep -F "マップファイルで救出されていない部分: 1 か所 (1 KiB)" >/dev/null && pass ||
  fail "the mapfile's summary is not shown: $(drive text 1031)"
drive click 1002
settle 7
row=$(drive rows | awk -F'\t' 'NR > 1 && $1 == "big-deleted.bin" { print NR - 1; exit }')
drive select "$row"
drive click 1003
mkdir -p "$work/mapped"
drive type-edit "Z:${work//\//\\}\\mapped"
drive press 1
settle 1
close_window
"$linux_cli" search images/ntfs-512.img --no-free-scan -o linux-ntfs.tsv 2>/dev/null
linux_row=$(awk -F'\t' 'NR > 2 && $1 == "big-deleted.bin" { print NR - 2; exit }' linux-ntfs.tsv)
"$linux_cli" restore images/ntfs-512.img --map "$work/card.map" --results linux-ntfs.tsv --rows "$linux_row" \
  --to "$work/mapped-linux" >/dev/null 2>&1
if [[ -n $row ]] && cmp -s "$work/mapped/big-deleted.bin" "$work/mapped-linux/big-deleted.bin" &&
   [[ $(cmp -l "$work/mapped/big-deleted.bin" <(icat images/ntfs-512.img 82) | wc -l) -gt 0 ]]; then pass
else fail "big-deleted.bin restored from the window does not have the mapfile's zeros"; fi

# One recognised content restored alone: its worked-out size is offered for
# correcting first, and the file written is as long as the size given.
open_window images/media-fat32.img
drive click 1002
settle 6   # Yes to the free-cluster scan, OK to the whole range
window_rows >window-media.txt
row=$(awk -F'\t' 'NR > 1 && $1 ~ /^不明/ { print NR - 1; exit }' window-media.txt)
size=$(awk -F'\t' -v r="$row" 'NR == r + 1 { print $3 + 0 }' window-media.txt)
drive select "$row"
drive click 1003
mkdir -p "$work/sized"
drive type-edit "Z:${work//\//\\}\\sized"
drive press 1
drive dialog >"$work/size-dialog" || fail "no file-size dialog"
grep -qP "^1025\tEdit\t$size\$" "$work/size-dialog" && pass || fail "the file-size dialog did not offer $size"
shot windows-file-size.png
drive type 1025 1000
drive press 1
settle 1
written=$(find "$work/sized" -type f)
"$linux_cli" search images/media-fat32.img --free-scan -o linux-media.tsv 2>/dev/null
"$linux_cli" restore images/media-fat32.img --results linux-media.tsv --rows "$row" --to "$work/sized-linux" >/dev/null 2>&1
[[ $(stat -c %s "$written" 2>/dev/null) == 1000 ]] && cmp -s -n 1000 "$written" "$(find "$work/sized-linux" -type f)" &&
  pass || fail "the content row was not restored at the size given"
close_window

# The cluster-range dialog's refusals on FAT16 (clusters 2 to the last).
last=$("$linux_cli" info images/fat16.img | awk -F'\t' '$1 == "lastCluster" { print $2 }')
open_window images/fat16.img
drive click 32771
drive press 6
refusal() {  # start, end, the message expected
  drive type 1023 "$1"; drive type 1024 "$2"; drive press 1
  sleep 0.5
  if drive dialog | grep -F "$3" >/dev/null; then pass; else fail "range $1-$2 did not say $3"; fi
  drive press 1
}
refusal 1 "$last" "開始クラスタが小さ過ぎます。"
[[ -n $shots ]] && { drive type 1023 2; drive type 1024 "$((last + 1))"; drive press 1; shot windows-question.png; drive press 1; }
refusal 2 "$((last + 1))" "終了クラスタが大き過ぎます。"
refusal 100 99 "終了クラスタは開始クラスタ以上の値を入力してください。"
drive type 1023 2; drive type 1024 "$last"
shot windows-cluster-range.png
drive press 2
state=$(drive idle 30)
[[ $state == idle* ]] && pass || fail "Cancel in the cluster-range dialog did not close it"
close_window

echo "window tests: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
