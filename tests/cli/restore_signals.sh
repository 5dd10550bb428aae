#!/usr/bin/env bash
# SIGTERM and SIGHUP stop a restore as Ctrl+C does: the file being written is
# never left under its real name (it is written under a name of its own and
# takes its real one only when complete), the summary and the report are
# still written, and the exit status names the signal (143, 129). A scan
# stopped so still writes what it found to -o.
# The volume: a FAT32 image (mkfs.fat, mtools) with one deleted 600 MiB file.
set -uo pipefail
cli=${1:?vellum-cli}
command -v mcopy >/dev/null && command -v mkfs.fat >/dev/null || { echo "needs mtools and mkfs.fat"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

truncate -s 700M "$work/big.img" && mkfs.fat -F 32 "$work/big.img" >/dev/null || exit 77
# A long name survives the deletion whole (a short name loses its first letter).
truncate -s 600M "$work/big.bin"
mcopy -i "$work/big.img" "$work/big.bin" "::Big video.bin" && mdel -i "$work/big.img" "::Big video.bin" || exit 77
rm "$work/big.bin"

# stop SIGNAL STATUS: a restore stopped by SIGNAL while the file is half written.
stop() {
  local signal=$1 want=$2 dest="$work/out-$1"
  "$cli" restore "$work/big.img" --to "$dest" --report "$work/report-$signal.tsv" >"$work/$signal.out" 2>&1 &
  local pid=$! partial="" i
  for ((i = 0; i < 600; i++)); do
    partial=$(find "$dest" -name '.vellum-partial-*' -size +1M 2>/dev/null | head -1)
    [[ -n $partial ]] && break
    sleep 0.1
  done
  [[ -n $partial ]] || { kill "$pid"; wait "$pid"; fail "$signal: no file was being written ($(tail -3 "$work/$signal.out"))"; return; }
  [[ -e "$dest/Big video.bin" ]] && fail "$signal: the real name is there before the file is complete"
  kill -s "$signal" "$pid"
  wait "$pid"
  local status=$?
  [[ $status == "$want" ]] || fail "$signal: exit $status, wanted $want"
  [[ -e "$dest/Big video.bin" ]] && fail "$signal: a half file is left under its real name ($(stat -c %s "$dest/Big video.bin") bytes)"
  [[ -n $(find "$dest" -name '.vellum-partial-*') ]] && fail "$signal: the partial file was left behind"
  grep -q "復元を中止しました。" "$work/$signal.out" || fail "$signal: no summary: $(tail -3 "$work/$signal.out")"
  [[ -s "$work/report-$signal.tsv" ]] || fail "$signal: no report"
}
stop TERM 143
stop HUP 129

# The finished restore: the file under its own name, nothing else beside it.
"$cli" restore "$work/big.img" --to "$work/whole" >"$work/whole.out" 2>&1 || fail "whole restore: $(tail -3 "$work/whole.out")"
[[ $(stat -c %s "$work/whole/Big video.bin" 2>/dev/null) == 629145600 ]] || fail "whole restore: Big video.bin is not 600 MiB"
[[ -z $(find "$work/whole" -name '.vellum-partial-*') ]] || fail "whole restore left a partial file"

# A full scan stopped by SIGTERM writes the rows found so far and says where it stopped.
"$cli" full-scan "$work/big.img" --yes -o "$work/scan.tsv" >/dev/null 2>"$work/scan.err" &
pid=$!
sleep 1
kill -TERM "$pid"
wait "$pid"
status=$?
if [[ $status == 143 ]]; then
  [[ -s "$work/scan.tsv" ]] || fail "full-scan: no rows written to -o after SIGTERM"
  grep -q "中断" "$work/scan.err" || fail "full-scan: does not say where it stopped: $(cat "$work/scan.err")"
elif [[ $status != 0 ]]; then
  fail "full-scan stopped by SIGTERM: exit $status"
else
  echo "note: the full scan ended before the signal"
fi

[[ $failures -eq 0 ]] || exit 1
