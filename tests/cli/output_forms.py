#!/usr/bin/env python3
"""The command line's forms for people and scripts, checked against the
results file they are made from: JSON lines parsed back, CSV read by the csv
module, the table at 80 and 200 columns, the restore report's SHA-256 against
the written files, usage errors, and the questions asked on a terminal."""
import csv
import hashlib
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unicodedata

from terminal_session import on_terminal
from checks import check, failures

cli, images = sys.argv[1], sys.argv[2]


def run(*args, env=None):
    return subprocess.run([cli, *args], capture_output=True, env=env)


def results_rows(data):
    lines = data.decode("utf-8").split("\r\n")
    return [line.split("\t") for line in lines[2:] if line]


def number(text):
    text = text.strip()
    return int(text) if text else None


def width(text):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


work = tempfile.mkdtemp()
try:
    for image, extra in (("fat16.img", []), ("exfat.img", []), ("ntfs-orphans.img", ["--free-scan"])):
        path = os.path.join(images, image)
        listing = os.path.join(work, image + ".tsv")
        check(run("search", path, "--zero-size", *extra, "-o", listing).returncode == 0, image + ": search")
        with open(listing, "rb") as f:
            results = f.read()
        rows = results_rows(results)
        check(len(rows) > 3, image + ": rows listed")
        ntfs = "ファイル番号" in results.decode("utf-8").split("\r\n")[1]

        # A pipe gets the results file, byte for byte as -o writes it.
        piped = run("search", *extra, path, "--zero-size").stdout
        check(piped == results, image + ": a pipe gets the results file")

        objects = [json.loads(line) for line in run("search", path, "--zero-size", *extra, "--format", "json")
                   .stdout.decode("utf-8").splitlines()]
        check(len(objects) == len(rows), image + ": one JSON object per row")
        for i, (o, cells) in enumerate(zip(objects, rows)):
            where = f"{image} row {i + 1}"
            check(o["row"] == i + 1, where + ": row number")
            check(o["name"] == cells[0] and o["folder"] == cells[1], where + ": name and folder")
            check(o["size"] == number(cells[2]), where + ": size")
            check(o["type"] == cells[3], where + ": type")
            check(o["is_dir"] == bool(int(cells[-1]) & 1), where + ": is_dir")
            check(o[("record" if ntfs else "cluster")] == number(cells[5]), where + ": cluster or record")
            if len(cells) > 7:
                check(o["scan_cluster"] == number(cells[6]) and o["slot"] == number(cells[7]), where + ": scan")
            check(o["mtime"] is None or o["mtime"][:19].replace("T", " ").replace("-", "/") == cells[4][:19],
                  where + ": mtime " + str(o["mtime"]))
            check(o["kind"] in ("walk", "orphan", "content"), where + ": kind")

        text = run("search", path, "--zero-size", *extra, "--format", "csv").stdout.decode("utf-8")
        table = list(csv.DictReader(io.StringIO(text, newline="")))
        check(len(table) == len(rows), image + ": one CSV record per row")
        for record, o in zip(table, objects):
            check(record["name"] == o["name"] and record["path"] == o["path"], image + ": CSV " + o["name"])

        for columns in (80, 200):
            env = dict(os.environ, COLUMNS=str(columns))
            lines = run("search", path, "--zero-size", *extra, "--format", "table", env=env).stdout \
                .decode("utf-8").splitlines()
            check(len(lines) == len(rows) + 3, f"{image}: table at {columns} has the volume, a heading and a total")
            check(lines[0] == "ボリューム " + image + ":/", f"{image}: the volume is named once, above the table")
            check(all(width(line) <= columns for line in lines), f"{image}: table fits {columns} columns")
            check("合計" in lines[-1], f"{image}: total line")

    # The report names every restored file with the digest of its bytes.
    listing = os.path.join(work, "fat16.img.tsv")
    out = os.path.join(work, "out")
    report = os.path.join(work, "report.tsv")
    done = run("restore", os.path.join(images, "fat16.img"), "--results", listing, "--to", out, "--report", report)
    check(done.returncode == 0, "restore with a report: " + done.stderr.decode("utf-8", "replace"))
    with open(report, encoding="utf-8") as f:
        lines = [line.rstrip("\n").split("\t") for line in f][1:]
    digests = 0
    for line in lines:
        if line[6] == "restored" and line[4]:
            with open(line[2], "rb") as f:
                data = f.read()
            check(hashlib.sha256(data).hexdigest() == line[4], "report digest of " + line[2])
            check(len(data) == int(line[3]), "report size of " + line[2])
            digests += 1
    check(digests > 5, "report lists the restored files")
    jreport = os.path.join(work, "report.json")
    run("restore", os.path.join(images, "fat16.img"), "--results", listing, "--to", out + "2", "--report", jreport,
        "--format", "json")
    with open(jreport, encoding="utf-8") as f:
        objects = [json.loads(line) for line in f]
    check(len(objects) == len(lines), "the JSON report has the TSV report's items")

    # Usage errors exit 2 and name what was wrong.
    fat = os.path.join(images, "fat12.img")
    for args, names in ((["search", fat, "--bogus"], "--bogus"),
                        (["search", fat, "--range", "2-9"], "--range"),
                        (["search", fat, "--format", "xml"], "xml"),
                        (["search", fat, "--filter"], "--filter"),
                        (["search", fat, "--in-use=yes"], "--in-use"),
                        (["restore", fat, "--to", out, "--rows", "1"], "--rows"),
                        (["restore", fat], "--to"),
                        (["info"], "SOURCE"),
                        (["info", fat, "extra"], "extra"),
                        (["full-scan", fat], "--yes"),
                        (["help", "frobnicate"], "frobnicate")):
        r = run(*args)
        check(r.returncode == 2, " ".join(args) + f": exit {r.returncode}, wanted 2")
        check(names in r.stderr.decode("utf-8"), " ".join(args) + ": the message names " + names)
    check(run("--version").returncode == 0, "--version")
    for command in ("search", "full-scan", "restore", "wipe", "info", "drives"):
        h = run("help", command)
        check(h.returncode == 0 and "例:".encode() in h.stdout, "help " + command)
        check(run(command, "--help").stdout == h.stdout, command + " --help")
    # Options anywhere, --opt=value, -- and SOURCE#N.
    a = run("search", "--zero-size", "--filter=txt", "--", fat).stdout
    b = run("search", fat, "--filter", "TXT", "--zero-size").stdout
    check(a == b and len(a) > 0, "options anywhere and --opt=value")
    disk = os.path.join(images, "disk-mbr.img")
    check(run("info", disk + "#2").stdout == run("info", disk, "--partition", "2").stdout, "SOURCE#N")

    # On a terminal the question is asked; the answer counts.
    def answer_on_terminal(args, answer):
        return on_terminal([cli, *args], None, b"[y/N]", answer + b"\n")

    scanned = os.path.join(work, "scanned.tsv")
    status, said, answered = answer_on_terminal(["search", os.path.join(images, "media-fat32.img"), "-o", scanned], b"y")
    check(answered and status == 0, f"the free-scan question is asked on a terminal (exit {status})")
    with open(scanned, "rb") as f:
        asked = f.read()
    flagged = run("search", os.path.join(images, "media-fat32.img"), "--free-scan").stdout
    check(asked == flagged, "answering y scans the free clusters as --free-scan does")
    copy = os.path.join(work, "wipe.img")
    shutil.copy(fat, copy)
    status, said, answered = answer_on_terminal(["wipe", copy], b"n")
    with open(copy, "rb") as f, open(fat, "rb") as g:
        check(answered and f.read() == g.read(), "answering n to the wipe question writes nothing")
    check(status != 0, "a declined wipe does not exit 0")
finally:
    shutil.rmtree(work, ignore_errors=True)

sys.exit(1 if failures else 0)
