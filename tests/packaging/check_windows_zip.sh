#!/usr/bin/env bash
# The Windows zip as a user unpacks it: the files it must hold, and in each
# program the icon (group 128: 48, 32 and 16 pixels), the version information
# (file and product version both VERSION), the manifest (run as the invoking
# user, common controls 6, per-monitor DPI) and the subsystem (vellum.exe a
# window, vellum-cli.exe a console program). Under Wine, when it is there,
# `vellum-cli.exe --version` names VERSION.
#   check_windows_zip.sh ZIP VERSION
set -euo pipefail
zip=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
# A throw-away Wine prefix, its server stopped before it is removed.
trap 'WINEPREFIX="$tmp/wine" wineserver -k >/dev/null 2>&1; rm -rf "$tmp"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

unzip -q "$zip" -d "$tmp"
root=$tmp/$(basename "$zip" .zip)
[[ -d "$root" ]] || { echo "FAIL: $(basename "$zip") has no folder $(basename "$root")" >&2; exit 1; }
for f in vellum.exe vellum-cli.exe Qiv16.dll Qiv32.dll manual.html LICENSE.txt screenshots/progress.png; do
  [[ -s "$root/$f" ]] || fail "the zip holds no $f"
done
grep -q $'\r$' "$root/LICENSE.txt" || fail "LICENSE.txt has no Windows line ends"

check_exe() {
  local exe=$1 subsystem=$2 name
  name=$(basename "$exe")
  wrestool -x -R -t 24 -n 1 "$exe" >"$tmp/manifest.xml" 2>/dev/null || true
  for want in 'level="asInvoker"' 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
              '>true/pm<' 'PerMonitorV2' '<longPathAware'; do
    grep -qF "$want" "$tmp/manifest.xml" || fail "$name: the manifest lacks $want"
  done
  wrestool -x -R -t 14 -n 128 "$exe" >"$tmp/group.bin" 2>/dev/null || true
  wrestool -x -R -t 16 "$exe" >"$tmp/version.bin" 2>/dev/null || true
  python3 "$here/pe_resources.py" "$tmp/group.bin" "$tmp/version.bin" "$version" "$name" || status=1
  x86_64-w64-mingw32-objdump -p "$exe" >"$tmp/headers.txt"
  grep -q "^Subsystem.*($subsystem)" "$tmp/headers.txt" || fail "$name: not a $subsystem program"
}
check_exe "$root/vellum.exe" "Windows GUI"
check_exe "$root/vellum-cli.exe" "Windows CUI"

if command -v wine >/dev/null; then
  got=$(cd "$root" && env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$tmp/wine" WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=" timeout 120 wine ./vellum-cli.exe --version 2>/dev/null | tr -d '\r') || true
  [[ "$got" == "vellum-cli $version" ]] || fail "vellum-cli.exe --version under Wine said '$got'"
  echo "wine vellum-cli.exe --version: $got" >&2
else
  echo "skipped: vellum-cli.exe under Wine (no wine)" >&2
fi
[[ $status -eq 0 ]] && echo "ok: $(basename "$zip")" >&2
exit $status
