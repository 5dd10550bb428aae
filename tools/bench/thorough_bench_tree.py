#!/usr/bin/env python3
"""The plan of the thorough-search benchmark volume, rebuilt from a seed.

Every count, name, size and byte comes from (seed, scale), so the image is described by two numbers: the files a
round writes, the files and folders each deletion phase removes, and the bytes of any file can be rebuilt at any
time without storing them.

  thorough_bench_tree.py [--seed N] [--scale X] summary
  thorough_bench_tree.py ... rounds                  the number of rounds
  thorough_bench_tree.py ... volume-mib              the volume size in MiB
  thorough_bench_tree.py ... stage ROUND DIR         writes round ROUND's files (1-based) below DIR
  thorough_bench_tree.py ... deletions ROUND         NUL-separated paths deleted after ROUND: "F path", "D path"
  thorough_bench_tree.py ... deleted                 TSV of every deleted file: id, path, size, round, deleted
                                                     after round, in a deleted folder (0/1)

Paths are relative to the volume root, '/'-separated. The volume is written round by round: round 1 makes every
folder and puts files into each, every later round adds files to every folder, so directory clusters and file data
interleave. A tenth of the loose deletions happen after the next-to-last round, before the last round is written
(their clusters and directory slots may be taken again); the rest, and the 30 leaf folders deleted whole, after the
last round.
"""
import argparse
import hashlib
import os
import random
import sys
from dataclasses import dataclass, field

ROUNDS = 5
FULL_FOLDERS = 1025
FULL_FILES = 50_000
FULL_DELETED = 15_000
FULL_DELETED_FOLDERS = 30
FULL_VOLUME_MIB = 4096
MIN_VOLUME_MIB = 320
MAX_DEPTH = 5
LONGEST_NAME = 120
HEADER = b"vellum bench file %d round %d\n"


@dataclass
class Folder:
  path: str
  depth: int
  camera: bool = False
  children: int = 0
  weight: float = 1.0


@dataclass
class File:
  id: int
  path: str
  size: int
  round: int
  deleted_after: int = 0   # 0: stays; else the round after which it is deleted
  in_deleted_folder: bool = False


@dataclass
class Plan:
  seed: int
  scale: float
  folders: list = field(default_factory=list)
  files: list = field(default_factory=list)
  deleted_folders: list = field(default_factory=list)


def scaled(n, scale, least=1):
  return max(least, round(n * scale))


TOP_FOLDERS = ["DCIM", "Documents", "Pictures", "Music", "Projects", "写真フォルダ", ".config", "Backup 2024",
               "MISC", "共有"]
ASCII_WORDS = ["Reports", "old stuff", "Invoices", "drafts", "Holiday", "scans", "Meeting notes", "archive",
               "work in progress", "Family", "receipts", "Screenshots", "exports", "templates", "src"]
JAPANESE_WORDS = ["旅行の写真", "会議資料", "請求書", "下書き", "家族", "スキャン", "保存用", "古いファイル", "音楽", "資料"]
DOTTED_WORDS = [".git-backup", "v1.2", ".thumbnails", "release.2023", ".trash-1000", "node.modules"]
SHORT_WORDS = ["DATA", "TEMP", "OLD", "BAK", "LOG", "IMG", "DOC", "SAVE"]


def folder_name(rng, index):
  kind = rng.random()
  if kind < 0.4:
    return f"{rng.choice(ASCII_WORDS)} {index}"
  if kind < 0.65:
    return f"{rng.choice(JAPANESE_WORDS)} {index}"
  if kind < 0.8:
    return f"{rng.choice(DOTTED_WORDS)}.{index}"
  return f"{rng.choice(SHORT_WORDS)}{index:04d}"[:8]


def make_folders(rng, count):
  folders = [Folder(name, 1) for name in TOP_FOLDERS[:count]]
  cameras = scaled(count * 0.06, 1.0)
  for i in range(min(cameras, 899)):
    folders.append(Folder(f"DCIM/{100 + i}PHOTO", 2, camera=True))
  folders[0].children = cameras
  names = {f.path.casefold() for f in folders}
  index = 0
  while len(folders) < count:
    index += 1
    parent = rng.choice(folders)
    if parent.camera or parent.path == "DCIM" or parent.depth >= MAX_DEPTH:
      continue
    path = f"{parent.path}/{folder_name(rng, index)}"
    if path.casefold() in names:
      continue
    names.add(path.casefold())
    parent.children += 1
    folders.append(Folder(path, parent.depth + 1))
  for f in folders:
    f.weight = rng.uniform(4.0, 12.0) if f.camera else rng.lognormvariate(0.0, 1.0)
  return folders


FILE_WORDS = ["Quarterly report draft", "meeting notes", "Invoice", "photo", "scan", "budget", "letter to the bank",
              "presentation final final", "readme", "backup of settings"]
FILE_EXTS = [".docx", ".txt", ".pdf", ".jpg", ".xlsx", ".png", ".zip", ".csv", ".mp3", ".odt"]
JAPANESE_FILE_WORDS = ["議事録", "写真", "削除済み", "見積書", "日記", "スキャン画像", "メモ", "資料"]


def file_name(rng, folder, n):
  if folder.camera:
    return f"IMG_{n:04d}.JPG" if rng.random() < 0.9 else f"MOV_{n:04d}.MP4"
  kind = rng.random()
  ext = rng.choice(FILE_EXTS)
  if kind < 0.35:
    return f"{rng.choice(FILE_WORDS)} {n}{ext}"
  if kind < 0.5:
    # Long names, cut to 120 characters: fls and tsk_recover (The Sleuth Kit 4.11) stop on an assertion in exFAT
    # folders that hold names longer than that, and the benchmark needs them to run to the end.
    stem = f"{rng.choice(FILE_WORDS)} {n} " + "-".join(rng.choice(FILE_WORDS) for _ in range(rng.randint(2, 5)))
    return stem[:LONGEST_NAME - len(ext)].rstrip(" .") + ext
  if kind < 0.7:
    return f"{rng.choice(JAPANESE_FILE_WORDS)}_{n}{ext}"
  if kind < 0.8:
    return rng.choice([f".file{n}.txt.swp", f".~lock.notes {n}.odt#", f"archive.{n}.tar.gz", f".hidden{n}"])
  if kind < 0.9:
    return f"FILE{n:04d}{ext.upper()[:4]}"
  return f"doc{n}{ext}"


def file_size(rng):
  kind = rng.random()
  if kind < 0.03:
    return 0
  if kind < 0.70:
    return rng.randint(1, 8 * 1024)
  if kind < 0.95:
    return rng.randint(8 * 1024, 128 * 1024)
  if kind < 0.995:
    return rng.randint(128 * 1024, 512 * 1024)
  return rng.randint(1024 * 1024, 3 * 1024 * 1024)


def files_per_folder(rng, folders, total):
  # Every folder gets at least one file in every round; the rest is shared out by weight.
  base = ROUNDS
  spare = max(0, total - base * len(folders))
  weights = sum(f.weight for f in folders)
  counts = [base + int(spare * f.weight / weights) for f in folders]
  short = total - sum(counts)
  for i in range(max(0, short)):
    counts[rng.randrange(len(folders))] += 1
  return counts


def make_files(rng, folders, total):
  files = []
  counts = files_per_folder(rng, folders, total)
  for folder, count in zip(folders, counts):
    per_round = [1] * ROUNDS
    for _ in range(count - ROUNDS):
      per_round[rng.randrange(ROUNDS)] += 1
    n = 0
    for r, k in enumerate(per_round, start=1):
      for _ in range(k):
        n += 1
        files.append(File(0, f"{folder.path}/{file_name(rng, folder, n)}", file_size(rng), r))
  files.sort(key=lambda f: (f.round, f.path))   # ids in the order the rounds write them
  for i, f in enumerate(files):
    f.id = i + 1
  return files


def choose_deletions(rng, plan, deleted_total, deleted_folders):
  leaves = [f for f in plan.folders if f.children == 0 and f.depth > 1]
  by_files = {}
  for f in plan.files:
    by_files.setdefault(f.path.rsplit("/", 1)[0], []).append(f)
  # A third of them among the larger leaves, so that some span several directory clusters.
  big = sorted(leaves, key=lambda f: -len(by_files.get(f.path, [])))[:max(len(leaves) // 10, 1)]
  picked = rng.sample(big, min(deleted_folders // 3, len(big)))
  rest = [f for f in leaves if f not in picked]
  picked += rng.sample(rest, min(deleted_folders - len(picked), len(rest)))
  plan.deleted_folders = sorted(f.path for f in picked)
  for path in plan.deleted_folders:
    for f in by_files.get(path, []):
      f.deleted_after, f.in_deleted_folder = ROUNDS, True
  loose = [f for f in plan.files if not f.deleted_after]
  wanted = max(0, deleted_total - (len(plan.files) - len(loose)))
  chosen = rng.sample(loose, min(wanted, len(loose)))
  early = [f for f in chosen if f.round < ROUNDS]
  for f in chosen:
    f.deleted_after = ROUNDS
  for f in rng.sample(early, len(chosen) // 10 if early else 0):
    f.deleted_after = ROUNDS - 1


def make_plan(seed, scale):
  rng = random.Random(seed)
  plan = Plan(seed, scale)
  plan.folders = make_folders(rng, scaled(FULL_FOLDERS, scale, len(TOP_FOLDERS) + 2))
  plan.files = make_files(rng, plan.folders, scaled(FULL_FILES, scale, ROUNDS * len(plan.folders)))
  choose_deletions(rng, plan, scaled(FULL_DELETED, scale), scaled(FULL_DELETED_FOLDERS, scale, 2))
  return plan


def volume_mib(scale):
  return max(MIN_VOLUME_MIB, round(FULL_VOLUME_MIB * scale))


def file_bytes(seed, f):
  """The bytes of file f: a header naming it, then bytes drawn from (seed, id). Cut to its size."""
  head = HEADER % (f.id, f.round)
  if f.size <= len(head):
    return head[:f.size]
  body = hashlib.shake_128(b"%d:%d" % (seed, f.id)).digest(f.size - len(head))
  return head + body


def parse_header(data):
  """(id, round) of the file whose header starts data, or None."""
  prefix = b"vellum bench file "
  if not data.startswith(prefix):
    return None
  line = data[len(prefix):data.find(b"\n")].split(b" round ")
  try:
    return int(line[0]), int(line[1])
  except (ValueError, IndexError):
    return None


def stage(plan, rnd, root):
  for folder in plan.folders:
    os.makedirs(os.path.join(root, folder.path), exist_ok=True)
  for f in plan.files:
    if f.round == rnd:
      with open(os.path.join(root, f.path), "wb") as out:
        out.write(file_bytes(plan.seed, f))


def deletions(plan, rnd):
  folders = set(plan.deleted_folders)
  items = []
  for f in plan.files:
    if f.deleted_after == rnd and not f.in_deleted_folder:
      items.append("F " + f.path)
  if rnd == ROUNDS:
    items += ["D " + p for p in sorted(folders)]
  return items


def main():
  ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
  ap.add_argument("--seed", type=int, default=20261209)
  ap.add_argument("--scale", type=float, default=1.0)
  ap.add_argument("command", choices=["summary", "rounds", "volume-mib", "stage", "deletions", "deleted"])
  ap.add_argument("args", nargs="*")
  a = ap.parse_args()
  plan = make_plan(a.seed, a.scale)
  out = sys.stdout
  if a.command == "rounds":
    print(ROUNDS)
  elif a.command == "volume-mib":
    print(volume_mib(a.scale))
  elif a.command == "stage":
    stage(plan, int(a.args[0]), a.args[1])
  elif a.command == "deletions":
    out.buffer.write(b"".join(s.encode() + b"\0" for s in deletions(plan, int(a.args[0]))))
  elif a.command == "deleted":
    for f in plan.files:
      if f.deleted_after:
        print(f"{f.id}\t{f.path}\t{f.size}\t{f.round}\t{f.deleted_after}\t{int(f.in_deleted_folder)}")
  else:
    deleted = [f for f in plan.files if f.deleted_after]
    print(f"seed {a.seed}, scale {a.scale}: {len(plan.folders)} folders, {len(plan.files)} files "
          f"({sum(f.size for f in plan.files) / 2**20:.0f} MiB), {len(deleted)} deleted "
          f"({sum(f.in_deleted_folder for f in deleted)} in {len(plan.deleted_folders)} deleted folders, "
          f"{sum(f.deleted_after < ROUNDS for f in deleted)} before round {ROUNDS}), volume {volume_mib(a.scale)} MiB")


if __name__ == "__main__":
  main()
