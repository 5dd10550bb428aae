#!/usr/bin/env python3
"""What the command line says, as a user meets it: Ctrl+C in a scan on a
terminal, usage errors with the valid values, --folder on NTFS and FAT, a
question answered by its flag, the table's volume line, the type key of JSON
and CSV in every locale, the drive list, root texts as SOURCE, the advice for
an unreadable image and the note of a truncated image."""
import csv
import io
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

from terminal_session import on_terminal
from checks import check, failures

cli, images = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])


def run(*args, env=None, **kw):
    r = subprocess.run([cli, *args], capture_output=True, env=env, **kw)
    r.err = r.stderr.decode("utf-8", "replace")
    return r


def image(name):
    return os.path.join(images, name)


def interrupt_on_terminal(args, cwd, interrupt_at=b"%"):
    """Runs the command on a pseudo-terminal, types Ctrl+C once the progress
    line shows `interrupt_at` (never when None), and returns the exit status
    and everything it said."""
    status, said, _ = on_terminal([cli, *args], cwd, interrupt_at, b"\x03")
    return status, said.decode("utf-8", "replace")


work = tempfile.mkdtemp()
try:
    # Ctrl+C in a full cluster scan: it says so, names the last cluster
    # finished and the command that scans the rest; what was found is written.
    big = os.path.join(work, "big.img")
    subprocess.run(["truncate", "-s", "4G", big], check=True)
    subprocess.run(["mkfs.fat", "-F", "32", "-S", "512", "-s", "8", big], check=True, capture_output=True)
    status, said = interrupt_on_terminal(["full-scan", "big.img", "--yes", "-o", "found.tsv"], work)
    check(status == 130, f"interrupted scan: exit {status}")
    check("クラスタのスキャンを中断しました。" in said, "interrupted scan says it was interrupted: " + said[-400:])
    check(os.path.exists(os.path.join(work, "found.tsv")), "interrupted scan keeps what it found")
    command = [line.strip() for line in said.splitlines() if line.strip().startswith("vellum-cli full-scan")]
    check(len(command) == 1, "interrupted scan gives one command line")
    if command:
        words = shlex.split(command[0])
        check(words[:4] == ["vellum-cli", "full-scan", "big.img", "--yes"], "the rest's command: " + command[0])
        first, last = map(int, words[words.index("--range") + 1].split("-"))
        check(f"クラスタ {first - 1} までスキャンしました。" in said, "the last cluster finished is named")
        info = dict(line.split("\t", 1) for line in run("info", big).stdout.decode().splitlines())
        check(last == int(info["lastCluster"]), f"the rest ends at the last cluster ({last})")
        check(words[-2:] == ["-o", "found-rest.tsv"], "the rest goes to a file of its own")
        rest = subprocess.run([cli, *words[1:]], capture_output=True, cwd=work)
        check(rest.returncode == 0, "the suggested command runs: " + rest.stderr.decode("utf-8", "replace"))
        check(os.path.exists(os.path.join(work, "found-rest.tsv")), "the suggested command writes its file")

    # Usage errors exit 2 and say what would be valid.
    fat16 = image("fat16.img")
    for args, says in ((["search", fat16, "--free-scan", "--range", "0-10"], "--range には 2-"),
                       (["search", fat16, "--free-scan", "--range", "2-999999"], "--range には 2-"),
                       (["full-scan", fat16, "--yes", "--range", "9-8"], "--range には 2-"),
                       (["search", image("disk-mbr.img"), "--partition", "7"], "disk-mbr.img#4:/"),
                       (["restore", fat16, "--folder", "5", "--to", os.path.join(work, "f")], "NTFS")):
        r = run(*args)
        check(r.returncode == 2, " ".join(args[:1] + args[2:]) + f": exit {r.returncode}, wanted 2")
        check(says in r.err, " ".join(args[:1] + args[2:]) + ": the message says " + says + ": " + r.err)
    check(not os.path.exists(os.path.join(work, "f")), "--folder on FAT writes nothing")
    # An empty file is worded alike by every command that opens it.
    empty = os.path.join(work, "empty.img")
    open(empty, "wb").close()
    said = [run(command, empty, *more).err for command, more in (("info", []), ("search", ["--no-free-scan"]))]
    check(said[0] == said[1] and "空のため読み取れません。" in said[0], f"an empty file, info and search: {said}")
    r = run("frobnicate")
    # Worded as an unknown option and help's unknown command are.
    check(r.returncode == 2 and "'frobnicate' というコマンドはありません。" in r.err,
          f"an unknown command is named in the program's words: {r.returncode} {r.err[:200]}")

    # --folder on NTFS: the root and a file are refused; a deleted folder
    # lands below DIR in its own path, as --results puts it.
    ntfs = image("ntfs-512.img")
    rows = [json.loads(line) for line in run("search", ntfs, "--no-free-scan", "--format", "json").stdout.splitlines()]
    folder = next(r for r in rows if r["is_dir"] and r["name"] == "photos")
    a_file = next(r for r in rows if not r["is_dir"])
    for record, says in ((5, "ルートフォルダ"), (a_file["record"], "フォルダではありません")):
        r = run("restore", ntfs, "--folder", str(record), "--to", os.path.join(work, "n"))
        check(r.returncode == 2 and says in r.err, f"--folder {record}: exit {r.returncode}: {r.err}")
    out = os.path.join(work, "by-folder")
    r = run("restore", ntfs, "--folder", str(folder["record"]), "--to", out)
    check(r.returncode == 0, "--folder of a deleted folder: " + r.err)
    check(os.path.isfile(os.path.join(out, "old-project", "photos", "beach.jpg")),
          "--folder puts the folder below DIR in its own path: " + str(list(os.walk(out))))

    # A flag that answers the question: the question is not printed.
    r = run("search", fat16, "--no-free-scan")
    check("空きクラスタをスキャンしますか。" not in r.err, "--no-free-scan prints no question")
    r = run("full-scan", image("fat12.img"), "--yes")
    check("処理を続けますか。" not in r.err, "--yes prints no question")

    # The table names the volume once; folders are shown below it.
    for columns in ("80", "200"):
        env = dict(os.environ, COLUMNS=columns)
        lines = run("search", ntfs, "--no-free-scan", "--format", "table", env=env).stdout.decode().splitlines()
        check(lines[0] == "ボリューム ntfs-512.img:/", "the volume line: " + lines[0])
        check(not any("ntfs-512.img" in line for line in lines[1:]), "no row repeats the volume's root text")
    check(any(" /old-project/photos " in line for line in lines), "folders below the volume")
    check(any(" Sunset at the beach.jpg " in line for line in lines), "names whole at 200 columns")

    # The type key is the same in every locale; the display text may differ.
    keyed = {}
    for lang in ("C.UTF-8", "ja_JP.UTF-8"):
        env = dict(os.environ, LANG=lang, LC_ALL=lang, LANGUAGE=lang.split(".")[0])
        objects = [json.loads(line) for line in run("search", ntfs, "--no-free-scan", "--format", "json",
                                                    env=env).stdout.splitlines()]
        keyed[lang] = [o["mime"] for o in objects]
        records = list(csv.DictReader(io.StringIO(run("search", ntfs, "--no-free-scan", "--format", "csv",
                                                      env=env).stdout.decode(), newline="")))
        check([c["mime"] for c in records] == keyed[lang], lang + ": CSV and JSON carry the same type key")
    check(keyed["C.UTF-8"] == keyed["ja_JP.UTF-8"], "the type key does not follow the locale")
    check("image/jpeg" in keyed["C.UTF-8"] and "inode/directory" in keyed["C.UTF-8"], "type keys are MIME types")

    # drives: a text file holds nothing to search, and says so; --all lists it
    # with the reason. A root text `drives` prints is a SOURCE.
    memo = os.path.join(work, "memo.txt")
    with open(memo, "w") as f:
        f.write("not a disk\n" * 1000)
    r = run("drives", memo)
    check(memo not in r.stdout.decode(), "drives leaves out a text file")
    check(memo in r.err and "ありません" in r.err, "drives says why it left the file out: " + r.err)
    r = run("drives", "--all", memo)
    line = next((l for l in r.stdout.decode().splitlines() if memo in l), "")
    check(line.count("\t") == 8 and line.endswith("ありません。"), "drives --all gives the reason: " + line)
    r = run("search", memo)
    check(r.returncode == 1 and memo in r.err, "a message about a source names it: " + r.err)
    disk = image("disk-mbr.img")
    root = next(l.split("\t")[1] for l in run("drives", disk).stdout.decode().splitlines() if "#2:/" in l)
    check(run("info", os.path.join(images, root)).stdout == run("info", disk + "#2").stdout, "root text as SOURCE")

    # An image file that cannot be read: advice about the file, not the disk group.
    if os.getuid() == 0:
        locked = os.path.join(work, "locked.img")
        shutil.copy(image("fat12.img"), locked)
        os.chmod(work, 0o755)
        os.chmod(locked, 0)
        r = run("info", locked, preexec_fn=lambda: (os.setgid(65534), os.setuid(65534)))
        check(r.returncode == 1 and "権限" in r.err and "disk グループ" not in r.err,
              "an unreadable image gets advice about the file: " + r.err)

    # A cut-off image: its note once per restore.
    cut = os.path.join(work, "cut.img")
    shutil.copy(fat16, cut)
    os.truncate(cut, 20 << 20)
    r = run("restore", cut, "--to", os.path.join(work, "cut-out"))
    check(r.err.count("ブートセクタが示すボリュームの終わり") == 1, "the truncation note once: " + r.err)

    # A long file's restore moves on the terminal: its bytes beside its name.
    big32 = image("fat32-4k.img")  # a 256 MiB deleted file: long enough to be drawn
    status, said = interrupt_on_terminal(["restore", big32, "--to", "walk"], work, interrupt_at=None)
    check(status == 0, f"walk restore on a terminal: exit {status}")
    check(re.search(r"zero-filler\.bin  [1-9][0-9]* MB（全体 [1-9][0-9]* MB）", said) is not None,
          "a walk restore shows the file's bytes and the whole: " + said[-300:])
    # Ctrl+C in the middle of a file: the report keeps every line so far, each
    # naming the entry it came from, and lists the file cut short.
    shutil.rmtree(os.path.join(work, "walk"), ignore_errors=True)
    status, said = interrupt_on_terminal(["restore", big32, "--to", "cut", "--report", "cut.tsv"], work,
                                         interrupt_at="MB（全体".encode())
    check(status == 130, f"interrupted restore: exit {status}")
    lines = open(os.path.join(work, "cut.tsv"), encoding="utf-8").read().splitlines()[1:]
    check(len(lines) > 1 and all("fat32-4k.img:/" in l.split("\t")[1] and "(クラスタ " in l for l in lines),
          "every report line names its source entry: " + repr(lines[:3]))
    check(any("zero-filler.bin" in l and "中断" in l for l in lines), "the interrupted file is in the report")
    check(not os.path.exists(os.path.join(work, "cut", "zero-filler.bin")), "no half file is left")
finally:
    shutil.rmtree(work, ignore_errors=True)

sys.exit(1 if failures else 0)
