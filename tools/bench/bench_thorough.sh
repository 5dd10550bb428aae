#!/usr/bin/env bash
# Times the deleted-entry walk with and without --thorough beside The Sleuth
# Kit on the thorough-search benchmark volumes, then counts what each finds
# against the volume's plan, and prints the figures as docs/performance.md
# gives them.
#   tools/bench/bench_thorough.sh [IMAGE...]
# Without IMAGE: the FAT32 and exFAT volumes of make_thorough_bench_image.sh,
# made into BENCH_CACHE (build/bench) when missing (a few minutes each; exFAT
# needs root). An IMAGE made by that script has its plan beside it
# (IMAGE.plan); for another, BENCH_SEED and BENCH_SCALE name it.
# Environment: VELLUM_CLI (build/default/src/vellum-cli of this checkout),
# BENCH_SCALE (1), BENCH_SEED, BENCH_RUNS (5 timed runs of each command).
# Uses hyperfine when installed, else /usr/bin/time; the image is read once
# first, so every command runs with it in the page cache.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cli=${VELLUM_CLI:-$repo/build/default/src/vellum-cli}
cache=${BENCH_CACHE:-$repo/build/bench}
runs=${BENCH_RUNS:-5}
export LC_ALL=C.UTF-8
[[ -x $cli ]] || { echo "no vellum-cli at $cli (build it, or set VELLUM_CLI)" >&2; exit 1; }

images=("$@")
if [[ ${#images[@]} -eq 0 ]]; then
  scale=${BENCH_SCALE:-1}
  suffix=$([[ $scale == 1 ]] && echo "" || echo "-$scale")
  mkdir -p "$cache"
  for format in fat32 exfat; do
    image=$cache/thorough-$format$suffix.img
    [[ -f $image && -f $image.plan ]] || "$here/make_thorough_bench_image.sh" "$format" "$image" "$scale" >&2
    images+=("$image")
  done
fi

# bench_times NAME... -- COMMAND...: times each command (shell text), writes
# $work/times.json (hyperfine) or $work/times.tsv, and sets times_file.
# Restores start from an empty folder every run.
bench_times() {
  local names=() commands=() i
  while [[ $1 != -- ]]; do names+=("$1"); shift; done
  shift
  commands=("$@")
  if command -v hyperfine >/dev/null; then
    local args=()
    for i in "${!commands[@]}"; do
      args+=(--prepare "rm -rf '$work/vellum' '$work/tsk'" -n "${names[$i]}" "${commands[$i]}")
    done
    times_file=$work/times.json
    hyperfine --warmup 1 --runs "$runs" -i --export-json "$times_file" "${args[@]}" >&2
    return
  fi
  times_file=$work/times.tsv
  : > "$times_file"
  for i in "${!commands[@]}"; do
    local t
    for ((t = 0; t <= runs; t++)); do   # run 0 is the warm-up
      rm -rf "$work/vellum" "$work/tsk"
      /usr/bin/time -f %e -o "$work/one" sh -c "${commands[$i]}" || true
      ((t > 0)) && cat "$work/one"
    done | awk -v name="${names[$i]}" '{ s += $1; q += $1 * $1; n++ }
      END { m = s / n; v = q / n - m * m; printf "%s\t%.4f\t%.4f\n", name, m, (v > 0 ? sqrt(v) : 0) }' \
      >> "$times_file"
  done
}

bench_one() {
  local image=$1 seed=${BENCH_SEED:-20261209} scale=${BENCH_SCALE:-1} label
  if [[ -f $image.plan ]]; then
    seed=$(sed -n 's/^seed=//p' "$image.plan")
    scale=$(sed -n 's/^scale=//p' "$image.plan")
  fi
  label=$(fsstat -t "$image" 2>/dev/null | tr '[:lower:]' '[:upper:]')
  label=${label/EXFAT/exFAT}
  work=$(mktemp -d "$cache/thorough-run.XXXXXX")
  cat "$image" > /dev/null
  local q=\'
  local i=$q$image$q v=$q$cli$q w=$q$work$q
  bench_times \
    "vellum-cli search" "vellum-cli search --thorough" "fls -rd -p" "vellum-cli restore --thorough" \
    "tsk_recover" "dd 1 MiB" -- \
    "$v search $i --no-free-scan --format results -o $w/default.tsv 2>/dev/null" \
    "$v search $i --no-free-scan --thorough --format results -o $w/thorough.tsv 2>/dev/null" \
    "fls -rd -p $i > /dev/null" \
    "$v restore $i --thorough --to $w/vellum > /dev/null 2>&1" \
    "tsk_recover $i $w/tsk > /dev/null" \
    "dd if=$i of=/dev/null bs=1M count=1 status=none"
  # Each timed run started from empty folders, so the listings and restores
  # the counts use are made once more; a tool that stops part way is named
  # below the figures (restore exits 3 when an item was not restored intact).
  rm -rf "$work/vellum" "$work/tsk"
  local notes=() status
  status=0; fls -rd -p "$image" > "$work/fls.txt" 2> "$work/fls.err" || status=$?
  ((status == 0)) || notes+=(--note "\`fls -rd -p\` stopped with status $status: \`$(tail -1 "$work/fls.err")\`.")
  status=0; "$cli" restore "$image" --thorough --to "$work/vellum" > /dev/null 2>&1 || status=$?
  ((status == 0)) || notes+=(--note "\`vellum-cli restore --thorough\` exited with status $status.")
  status=0; tsk_recover "$image" "$work/tsk" > /dev/null 2> "$work/tsk.err" || status=$?
  ((status == 0)) || notes+=(--note "\`tsk_recover\` stopped with status $status: \`$(tail -1 "$work/tsk.err")\`.")
  "$cli" search "$image" --no-free-scan --thorough --in-use --format results -o "$work/in-use.tsv" 2>/dev/null
  python3 "$here/thorough_bench_check.py" --seed "$seed" --scale "$scale" --label "${label:-$image}" \
    --times "$times_file" --fls "$work/fls.txt" --search "$work/thorough.tsv" --search-in-use "$work/in-use.tsv" \
    --vellum "$work/vellum" --tsk "$work/tsk" "${notes[@]}"
  rm -rf "$work"
  work=
}

work=
trap '[[ -n $work ]] && rm -rf "$work"' EXIT
mkdir -p "$cache"
echo "vellum-cli: $("$cli" --version 2>/dev/null | head -1); $(nproc) cores; $runs runs each"
for image in "${images[@]}"; do
  echo
  bench_one "$image"
done
