#!/usr/bin/env bash
# Installs the Debian package into this machine as a user would, checks what
# it put where and that the installed programs run, then removes it again.
# For a throw-away machine (CI) run as root: it refuses to touch a Vellum
# package that was installed before it started.
#   check_deb.sh DEB SAMPLE_IMAGE REFERENCE_CLI
# REFERENCE_CLI is the build's own vellum-cli: the installed one must list
# SAMPLE_IMAGE exactly as it does.
set -euo pipefail
deb=$(realpath "$1") sample=$(realpath "$2") reference=$(realpath "$3")
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

if [[ $(id -u) -ne 0 ]]; then
  echo "skipped: installing a package needs root" >&2
  exit 77
fi
# Two runs on one machine would install and remove the same package under each other.
exec 9>/tmp/vellum-check-deb.lock
flock 9
if dpkg-query -W -f='${Status}' vellum 2>/dev/null | grep 'install ok installed' >/dev/null; then
  echo "skipped: a vellum package is installed already; not replacing it" >&2
  exit 77
fi
version=$(dpkg-deb -f "$deb" Version)
tmp=$(mktemp -d)
remove() {
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 remove -y -qq vellum >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap remove EXIT

echo "== apt-get install $(basename "$deb")" >&2
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends "$deb" 2>&1 |
  grep -E '^(Selecting|Preparing|Unpacking|Setting up|Processing triggers)' >&2 || true
dpkg-query -W -f='${Status}' vellum | grep 'install ok installed' >/dev/null || { echo "FAIL: vellum is not installed" >&2; exit 1; }

dpkg -L vellum >"$tmp/files"
for want in /usr/bin/vellum /usr/bin/vellum-cli /usr/bin/Qiv16.dll /usr/bin/Qiv32.dll \
            /usr/share/man/man1/vellum.1.gz /usr/share/man/man1/vellum-cli.1.gz \
            /usr/share/bash-completion/completions/vellum-cli /usr/share/applications/vellum.desktop \
            /usr/share/icons/hicolor/48x48/apps/vellum.png /usr/share/icons/hicolor/16x16/apps/vellum.png \
            /usr/share/mime/packages/vellum.xml /usr/share/polkit-1/actions/org.vellum.pkexec.policy \
            /usr/share/doc/vellum/manual.html /usr/share/doc/vellum/screenshots/progress.png \
            /usr/share/doc/vellum/copyright /usr/share/doc/vellum/changelog.gz; do
  grep -qxF "$want" "$tmp/files" || fail "dpkg -L vellum does not list $want"
done
grep -q '^/usr/local' "$tmp/files" && fail "the package installs into /usr/local"
grep -qF 'exec.path">/usr/bin/vellum<' /usr/share/polkit-1/actions/org.vellum.pkexec.policy ||
  fail "the polkit action does not name /usr/bin/vellum"
echo "dpkg -L vellum: $(wc -l <"$tmp/files") paths; the files:" >&2
while read -r path; do if [[ -f "$path" ]]; then echo "  $path"; fi; done <"$tmp/files" >&2

# The version the package carries is the one the command line names.
got=$(/usr/bin/vellum-cli --version)
echo "/usr/bin/vellum-cli --version: $got (package $version)" >&2
[[ "$got" == "vellum-cli $version" ]] || fail "vellum-cli --version says '$got', the package $version"
dpkg-query -W -f='${Depends}\n' vellum | grep 'libqt6widgets6' >/dev/null || fail "Depends has no Qt Widgets"

# The installed program searches the sample as the build does.
(cd "$tmp" && /usr/bin/vellum-cli search "$sample" --no-free-scan -o installed.tsv 2>/dev/null) ||
  fail "the installed vellum-cli search failed"
(cd "$tmp" && "$reference" search "$sample" --no-free-scan -o built.tsv 2>/dev/null)
cmp -s "$tmp/installed.tsv" "$tmp/built.tsv" || fail "the installed vellum-cli lists the sample otherwise than the build"
echo "/usr/bin/vellum-cli search $(basename "$sample"): $(($(wc -l <"$tmp/installed.tsv") - 2)) rows" >&2
head -4 "$tmp/installed.tsv" | tr -d '\r' >&2
# The window starts from the installed files (its libraries resolve).
ldd /usr/bin/vellum | grep 'not found' >/dev/null && fail "/usr/bin/vellum misses a library"

remove
trap - EXIT
[[ -e /usr/bin/vellum-cli ]] && fail "removing the package left /usr/bin/vellum-cli"
[[ $status -eq 0 ]] && echo "ok: $(basename "$deb") installed, ran and removed" >&2
exit $status
