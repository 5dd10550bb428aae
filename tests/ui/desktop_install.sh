#!/usr/bin/env bash
# After `cmake --install` into a fresh user's data home, the desktop entry is
# valid and the program is what opens disk images of every kind it reads.
# Skipped (77) when the freedesktop tools are not installed.
#   desktop_install.sh BUILD_DIR
set -euo pipefail
build=$1
for tool in desktop-file-validate xdg-mime update-mime-database update-desktop-database; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
home=$tmp/home
data=$home/.local/share
XDG_DATA_HOME="$data" cmake --install "$build" --prefix "$home/.local" >/dev/null

desktop-file-validate "$data/applications/vellum.desktop"
[[ -s "$data/applications/mimeinfo.cache" ]] || { echo "install built no desktop database" >&2; exit 1; }
[[ -s "$data/mime/globs2" ]] || { echo "install built no MIME database" >&2; exit 1; }
# The action names the program where this install put it, not the configured prefix.
grep -qF "org.freedesktop.policykit.exec.path\">$home/.local/bin/vellum<" "$data/polkit-1/actions/org.vellum.pkexec.policy" ||
  { echo "the polkit action does not name $home/.local/bin/vellum" >&2; exit 1; }

# No desktop session: xdg-mime takes its generic way over the XDG folders.
session() {
  env -i PATH="$PATH" HOME="$home" XDG_DATA_HOME="$data" XDG_DATA_DIRS=/usr/share \
    XDG_CONFIG_HOME="$home/.config" XDG_CONFIG_DIRS="$tmp/no-config" "$@"
}
# The type a name gets from its extension, in the installed and the system's database.
type_of() {
  awk -F: -v glob="*.$1" '$3 == glob { print $2; exit }' "$data/mime/globs2" /usr/share/mime/globs2
}
types=$(sed -n 's/^MimeType=//p' "$data/applications/vellum.desktop" | tr ';' ' ')
status=0
for type in $types; do
  default=$(session xdg-mime query default "$type" || true)
  [[ "$default" == "vellum.desktop" ]] || { echo "$type opens with '$default'" >&2; status=1; }
done
# A .vhd is also VHDL source by name; its content tells the two apart.
for ext in img e01 ex01 vhdx vmdk qcow2; do
  type=$(type_of "$ext")
  [[ " $types " == *" ${type:-none} "* ]] || { echo "card.$ext is ${type:-of no type}, not in MimeType" >&2; status=1; }
done
exit $status
