#!/usr/bin/env bash
# The four scans whose cost is the reading, on benchmark images made twice:
# sparse (free space is holes, which the reader skips) and written in full
# (zeros written out before mkfs, so free space is zeros or old file data, as
# on a card or disk). Each job runs beside a dd bs=1M read of the same image
# and the peer that does the same work, in one hyperfine run per image:
#
#   nohit-zeros, nohit-old  search --free-scan, FAT32 where no file starts in
#                           the free space (zeros; old pseudo-random data);
#                           peer PhotoRec on the free space
#   carving                 search --free-scan and full-scan --yes of a FAT32
#                           card filled with media files, all deleted; peer
#                           PhotoRec on the free space
#   exfat-thorough          search --thorough, exFAT; peer fls -rd -p
#   ntfs                    the NTFS listing (search --no-free-scan
#                           --zero-size); peer ntfsundelete -s
#
#   tools/bench/bench_written.sh [--4g] [--cold] [--make] [JOB...]
#
# Images are 1 GiB each (--4g: 4 GiB, the NTFS one with 200,000 files), made
# once into build/bench/written/ (exFAT and NTFS need root; the carving card
# needs ImageMagick and ffmpeg, scripts/setup.sh --bench). --make only makes
# them. --cold evicts the image's pages before every run (dd iflag=nocache, as
# bench_cold.sh) and adds dd iflag=direct. VELLUM_CLI names the build to time
# (build/default of this checkout), VELLUM_BEFORE another build timed beside it
# in the same run (the build before a change), BENCH_RUNS the runs per
# command (5).
# Prints one table; hyperfine's own tables are kept in the same folder.
# Without hyperfine each command runs BENCH_RUNS times under a plain clock.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cli=${VELLUM_CLI:-$repo/build/default/src/vellum-cli}
before=${VELLUM_BEFORE:-}
runs=${BENCH_RUNS:-5}
export LC_ALL=C.UTF-8 TZ=UTC
gib=1 cold=0 make_only=0 jobs=()
for arg in "$@"; do
  case $arg in
    --4g) gib=4 ;;
    --cold) cold=1 ;;
    --make) make_only=1 ;;
    nohit-zeros | nohit-old | carving | exfat-thorough | ntfs) jobs+=("$arg") ;;
    *) echo "bench_written: unknown argument $arg" >&2; exit 2 ;;
  esac
done
((${#jobs[@]})) || jobs=(nohit-zeros nohit-old carving exfat-thorough ntfs)
dir=${BENCH_CACHE:-$repo/build/bench/written}
out=$dir/run
# PhotoRec writes every file it carves: into memory (BENCH_SCRATCH, /dev/shm),
# so that the disk's speed at taking a gigabyte of files is not what is timed.
carved=${BENCH_SCRATCH:-/dev/shm}/vellum-bench-photorec
mkdir -p "$dir" "$out"

# Makes IMAGE for JOB, written in full or sparse, once: under another name
# until it is whole, so that an image cut short is never timed.
make_image() {  # JOB sparse|full FINAL_IMAGE
  local job=$1 final=$3 image=$3.part
  [[ -f $final ]] && return 0
  echo "making $final" >&2
  case $job in
    nohit-zeros) BENCH_WRITTEN=$2 "$here/make_nohit_bench_image.sh" fat32 "$image" zeros "$gib" ;;
    nohit-old) BENCH_WRITTEN=$2 "$here/make_nohit_bench_image.sh" fat32 "$image" old "$gib" ;;
    carving) BENCH_WRITTEN=$2 "$here/make_media_bench_image.sh" "$image" "$gib" ;;
    exfat-thorough)
      BENCH_WRITTEN=$2 "$here/make_thorough_bench_image.sh" exfat "$image" "$(awk -v g="$gib" 'BEGIN { print g / 4 }')" ;;
    ntfs) BENCH_WRITTEN=$2 "$here/make_ntfs_bench_image.sh" "$image" $((gib == 4 ? 200 : 100)) 1000 "${gib}G" ;;
  esac >&2
  if [[ -f $image.plan ]]; then mv "$image.plan" "$final.plan"; fi
  mv "$image" "$final"
}

# The image of old data has no holes either way, so it is made once.
kinds_of() { [[ $1 == nohit-old ]] && echo full || echo "sparse full"; }

# name|command pairs for JOB on IMAGE: ours first, then the peer.
commands_of() {  # JOB IMAGE
  local job=$1 image=$2 carve
  carve="cd '$carved' && photorec /log /d '$carved/r' /cmd '$image' partition_none,freespace,search >/dev/null"
  local build tag
  for build in ${before:+"$before"} "$cli"; do
    tag=vellum
    [[ -n $before ]] && { [[ $build == "$before" ]] && tag="before:" || tag="after:"; }
    case $job in
      nohit-* | carving)
        echo "$tag search --free-scan|'$build' search '$image' --free-scan --format results -o /dev/null"
        [[ $job == carving ]] && echo "$tag full-scan --yes|'$build' full-scan '$image' --yes --format results -o /dev/null 2>/dev/null" ;;
      exfat-thorough)
        echo "$tag search --thorough|'$build' search '$image' --thorough --no-free-scan --format results -o /dev/null" ;;
      ntfs)
        echo "$tag NTFS listing|'$build' search '$image' --no-free-scan --zero-size --format results -o /dev/null" ;;
    esac
  done
  case $job in
    nohit-* | carving) echo "photorec (free space)|$carve" ;;
    exfat-thorough) echo "fls -rd -p|fls -rd -p '$image' >/dev/null" ;;
    ntfs) echo "ntfsundelete -s|ntfsundelete -s -f '$image' >/dev/null" ;;
  esac
}

# Times the commands of one image; writes $out/NAME.json (hyperfine's form,
# made by hand without it).
time_image() {  # NAME IMAGE JOB
  local name=$1 image=$2 job=$3 line names=() lines=()
  names+=("dd bs=1M") lines+=("dd if='$image' of=/dev/null bs=1M status=none")
  if ((cold)); then names+=("dd bs=1M iflag=direct") lines+=("dd if='$image' of=/dev/null bs=1M iflag=direct status=none"); fi
  while IFS= read -r line; do names+=("${line%%|*}") lines+=("${line#*|}"); done < <(commands_of "$job" "$image")
  # PhotoRec writes what it carves: its folder is emptied before each run,
  # untimed; --cold also drops the image's pages then.
  local prepare="rm -rf '$carved' && mkdir -p '$carved'"
  ((cold)) && prepare="$prepare && sync '$image' && dd if='$image' iflag=nocache count=0 status=none"
  cat "$image" >/dev/null
  if command -v hyperfine >/dev/null; then
    local args=() i
    for i in "${!names[@]}"; do args+=(-n "${names[$i]}" "${lines[$i]}"); done
    hyperfine --warmup $((cold ? 0 : 1)) --runs "$runs" --prepare "$prepare" \
      --export-json "$out/$name.json" --export-markdown "$out/$name.md" "${args[@]}" >&2
  else
    python3 - "$out/$name.json" "$runs" "$prepare" "${names[@]}" -- "${lines[@]}" <<'EOF'
import json, resource, subprocess, sys, time
path, runs, prepare = sys.argv[1], int(sys.argv[2]), sys.argv[3]
rest = sys.argv[4:]
cut = rest.index("--")
results = []
for name, line in zip(rest[:cut], rest[cut + 1:]):
    times, user, system = [], 0.0, 0.0
    for _ in range(runs):
        subprocess.run(["bash", "-c", prepare], check=True)
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(["bash", "-c", line], check=True)
        times.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        user += after.ru_utime - before.ru_utime
        system += after.ru_stime - before.ru_stime
    mean = sum(times) / len(times)
    results.append({"command": name, "mean": mean, "times": times, "user": user / runs, "system": system / runs})
    print(f"{name}: {mean:.3f} s", file=sys.stderr)
json.dump({"results": results}, open(path, "w"))
EOF
  fi
}

for job in "${jobs[@]}"; do
  for kind in $(kinds_of "$job"); do make_image "$job" "$kind" "$dir/$job-$kind.img"; done
done
((make_only)) && exit 0
[[ -x $cli ]] || { echo "no vellum-cli at $cli (build it, or set VELLUM_CLI)" >&2; exit 1; }
[[ -z $before || -x $before ]] || { echo "no vellum-cli at $before (VELLUM_BEFORE)" >&2; exit 1; }

summaries=()
for job in "${jobs[@]}"; do
  for kind in $(kinds_of "$job"); do
    name=$job-$kind
    if ((cold)); then name=$name-cold; fi
    time_image "$name" "$dir/$job-$kind.img" "$job"
    summaries+=("$name")
  done
done
rm -rf "$carved"

# One table: each command's mean, and its time over the dd read's and over
# the peer's (the last command of each image).
python3 - "$out" "${summaries[@]}" <<'EOF'
import json, sys
out, names = sys.argv[1], sys.argv[2:]
# The processor time (user + system) beside the wall time: on a machine
# others share, the wall time carries their load too.
print("| image | command | mean s | ± | × dd | × peer | CPU s | CPU × dd |")
print("|---|---|---|---|---|---|---|---|")
for name in names:
    results = json.load(open(f"{out}/{name}.json"))["results"]
    dd, peer = results[0]["mean"], results[-1]["mean"]
    cpu = lambda r: (r.get("user") or 0) + (r.get("system") or 0)
    for r in results:
        spread = r.get("stddev") or 0
        print(f"| {name} | {r['command']} | {r['mean']:.3f} | {spread:.3f} | {r['mean'] / dd:.2f} | {r['mean'] / peer:.2f}"
              f" | {cpu(r):.3f} | {cpu(r) / max(cpu(results[0]), 1e-3):.2f} |")
EOF
