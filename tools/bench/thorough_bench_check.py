#!/usr/bin/env python3
"""Compares what vellum-cli and The Sleuth Kit find on a thorough-search benchmark image with the plan it was made
from (thorough_bench_tree.py), and prints the figures as the Markdown that docs/performance.md holds.

  thorough_bench_check.py --seed N --scale X --label FAT32 --times TIMES --fls FLS.txt --search RESULTS.tsv
      --search-in-use RESULTS.tsv --vellum DIR --tsk DIR

TIMES is hyperfine's --export-json file, or a TSV of "command<TAB>mean seconds<TAB>spread seconds". Files of size 0
are left out of every count: the search lists them only with --zero-size, and bytes cannot tell them apart.
Paths are compared case-insensitively (both file systems ignore case).
"""
import argparse
import hashlib
import json
import os
import sys
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import thorough_bench_tree as tree  # noqa: E402

FLS = "fls -rd -p"
THOROUGH = "vellum-cli search --thorough"
EXAMPLES = 5


def read_times(path):
  if path.endswith(".json"):
    with open(path) as f:
      return [(r["command"], r["mean"], r["stddev"] or 0.0) for r in json.load(f)["results"]]
  rows = []
  with open(path) as f:
    for line in f:
      name, mean, spread = line.rstrip("\n").split("\t")
      rows.append((name, float(mean), float(spread)))
  return rows


def fls_paths(path):
  """Deleted non-folder paths as fls -rd -p prints them ("r/r * 123:<TAB>path")."""
  out = set()
  with open(path, encoding="utf-8", errors="surrogateescape") as f:
    for line in f:
      kind, _, name = line.rstrip("\n").partition("\t")
      if name and not kind.startswith("d/d"):
        out.add(name.casefold())
  return out


def search_paths(path):
  """Non-folder rows of a search-results file: name, then the folder cell "ROOT:/path"."""
  out = set()
  if not path or not os.path.exists(path):
    return out
  with open(path, encoding="utf-8", errors="surrogateescape", newline="") as f:
    lines = f.read().split("\r\n")[2:]
  for line in lines:
    cells = line.split("\t")
    if len(cells) < 4 or cells[3] == "folder":
      continue
    folder = cells[1].partition(":/")[2]
    out.add((folder + "/" + cells[0] if folder else cells[0]).casefold())
  return out


def first_letter_lost(path, mark):
  """The path as a deleted short name without long name lists it: the first letter of the name replaced."""
  folder, _, name = path.rpartition("/")
  return (folder + "/" if folder else "") + mark + name[1:]


def restored(root):
  """(size, SHA-1) of every file below root, and the files by lower-case relative path."""
  digests, by_path = Counter(), {}
  for folder, _, names in os.walk(root):
    for name in names:
      full = os.path.join(folder, name)
      with open(full, "rb") as f:
        data = f.read()
      digests[(len(data), hashlib.sha1(data).digest())] += 1
      by_path[os.path.relpath(full, root).casefold()] = full
  return digests, by_path


def why_not(f, ctx):
  """Why our walk restore did not give file f byte-exact."""
  key = f.path.casefold()
  if key in ctx["search"]:
    full = ctx["vellum_paths"].get(key)
    if full:
      with open(full, "rb") as fh:
        head = tree.parse_header(fh.read(64))
      if head and head[0] != f.id:
        return f"clusters reused by a file of round {head[1]}"
    return "listed, content differs"
  if key in ctx["in_use"]:
    return "first cluster in use again (listed with --in-use)"
  if f.in_deleted_folder:
    return "in a deleted folder, not listed"
  if key not in ctx["fls"] and first_letter_lost(key, "_") not in ctx["fls"]:
    return f"deleted after round {f.deleted_after}, not listed by fls under its name either"
  if first_letter_lost(key, "$") in ctx["search"]:
    return "listed with its first letter lost, content differs"
  return "not listed under its name"


def times_table(times):
  fls = next((m for n, m, _ in times if n == FLS), None)
  lines = ["| Command | Mean | vs fls -rd -p |", "|---|---|---|"]
  for name, mean, spread in times:
    rel = f"{mean / fls:.2f}" if fls else "-"
    lines.append(f"| `{name}` | {mean:.3f} s ± {spread:.3f} | {rel} |")
  walk = next((m for n, m, _ in times if n == THOROUGH), None)
  if walk is not None and fls:
    verdict = "met" if walk / fls <= 0.25 else "not met"
    lines.append("")
    lines.append(f"Thorough walk / `fls -rd -p`: **{walk / fls:.3f}** (target at most 0.25: {verdict}).")
  return lines


def coverage(args):
  plan = tree.make_plan(args.seed, args.scale)
  deleted = [f for f in plan.files if f.deleted_after and f.size > 0]
  ctx = {"fls": fls_paths(args.fls), "search": search_paths(args.search), "in_use": search_paths(args.search_in_use)}
  ours, ctx["vellum_paths"] = restored(args.vellum)
  theirs, _ = restored(args.tsk)
  want = lambda f: (f.size, hashlib.sha1(tree.file_bytes(plan.seed, f)).digest())  # noqa: E731
  keys = {f.id: want(f) for f in deleted}
  by_name = [f for f in deleted if f.path.casefold() in ctx["fls"]]
  short = [f for f in deleted if f not in by_name and first_letter_lost(f.path.casefold(), "_") in ctx["fls"]]
  missed = [f for f in by_name if f.path.casefold() not in ctx["search"]]
  short_missed = [f for f in short if first_letter_lost(f.path.casefold(), "$") not in ctx["search"]]
  our_exact = [f for f in deleted if keys[f.id] in ours]
  tsk_exact = [f for f in deleted if keys[f.id] in theirs]
  reasons = Counter(why_not(f, ctx) for f in deleted if keys[f.id] not in ours)
  only_tsk = [f for f in tsk_exact if keys[f.id] not in ours]
  lines = ["| Deleted files (size above 0) | Count |", "|---|---|",
           f"| in the plan | {len(deleted):,} |",
           f"| listed by `fls -rd -p` under their full path | {len(by_name):,} |",
           f"| of these, listed by the thorough search under the same path | {len(by_name) - len(missed):,} |",
           f"| listed by fls as short names with the first letter lost (`_`) | {len(short):,} |",
           f"| of these, listed by the thorough search so (`$`) | {len(short) - len(short_missed):,} |",
           f"| restored byte-exact by `vellum-cli restore --thorough` | {len(our_exact):,} |",
           f"| restored byte-exact by `tsk_recover` | {len(tsk_exact):,} |", ""]
  lines += example_lines("Listed by fls, not by the thorough search", missed + short_missed)
  lines += ["Not restored byte-exact by our walk, and why:", ""]
  lines += [f"- {why}: {n:,}" for why, n in reasons.most_common()] or ["- none"]
  lines.append("")
  lines += example_lines("Restored byte-exact by tsk_recover, not by us", only_tsk)
  return lines


def example_lines(title, files):
  if not files:
    return [f"{title}: none.", ""]
  shown = ", ".join(f"`{f.path}`" for f in files[:EXAMPLES])
  return [f"{title}: {len(files):,}; the first: {shown}.", ""]


def main():
  ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
  ap.add_argument("--seed", type=int, default=20261209)
  ap.add_argument("--scale", type=float, default=1.0)
  ap.add_argument("--label", required=True)
  ap.add_argument("--times", required=True)
  ap.add_argument("--fls", required=True)
  ap.add_argument("--search", required=True)
  ap.add_argument("--search-in-use")
  ap.add_argument("--vellum", required=True)
  ap.add_argument("--tsk", required=True)
  ap.add_argument("--note", action="append", default=[], help="a line to print below the figures (repeatable)")
  args = ap.parse_args()
  plan_note = "default plan" if args.scale == 1 else f"scale {args.scale}"
  lines = [f"### {args.label} ({plan_note}, seed {args.seed})", ""]
  lines += times_table(read_times(args.times)) + [""]
  lines += coverage(args)
  for note in args.note:
    lines += ["", note]
  print("\n".join(lines).rstrip("\n"))


if __name__ == "__main__":
  main()
