# Sourced by the Wine tests: a restored tree as text, to compare what each
# build wrote.
# Every file and folder under a folder: path, size, modification time, SHA-256.
# A folder the restore only made on the way has the time it was made, which
# differs from run to run: only times from before the run are compared.
started=$(date +%s)
tree_of() {
  (cd "$1" && find . -mindepth 1 -printf '%P\t%y\t%s\t%T@\t%TY-%Tm-%Td %TH:%TM:%TS\n' |
     awk -F'\t' -v started="$started" 'BEGIN { OFS = "\t" } { if ($4 >= started) $5 = "(made now)"; $4 = ""; print }' |
     LC_ALL=C sort &&
     find . -type f -print0 | LC_ALL=C sort -z | xargs -0r sha256sum | sed 's#^\([0-9a-f]*\)  \./\(.*\)#\2\tsha256 \1#')
}
# The Linux tree as Windows must write it (ARCHITECTURE.md section 5): in
# each name <>:"\|?* full-width, a trailing dot or space full-width, and the
# first letter of a device name (CON, AUX, COM1 ...) full-width. Sorted again.
windows_names() {
  python3 -c '
import re, sys
refused = dict(zip("<>:\"\\|?*", "＜＞：＂＼｜？＊"))
def part(n):
    keep = len(n.rstrip(". ")) or len(n)
    stem = n.split(".")[0].rstrip(" ").upper()
    device = stem in ("CON", "PRN", "AUX", "NUL") or re.fullmatch("(COM|LPT)[1-9]", stem)
    out = ""
    for i, c in enumerate(n):
        if c in refused: out += refused[c]
        elif i >= keep: out += "．" if c == "." else "　"
        elif i == 0 and device: out += chr(0xFF00 + ord(c) - 0x20)
        else: out += c
    return out
for line in sys.stdin:
    path, rest = line.rstrip("\n").split("\t", 1)
    print("/".join(part(p) for p in path.split("/")) + "\t" + rest)
' | LC_ALL=C sort
}
