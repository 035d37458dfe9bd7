#!/usr/bin/env bash
# Runs fuzz targets built by fuzz/build.sh. Each starts from the corpus kept
# in the repository, fuzz/corpus/<target>/, and adds what it finds to
# build-fuzz/corpus/<target>/. Fails when a target finds a crash; the input
# that caused it is left in build-fuzz/artifacts/.
#   fuzz/run.sh [-j JOBS] [SECONDS] [TARGET...]
#       each target for SECONDS (300 when left out), JOBS at a time (1 when
#       left out); every target built when none is named
#   fuzz/run.sh --minimise [TARGET...]
#       rewrites fuzz/corpus/<target>/ as a few small inputs that reach every
#       branch both corpora reach
set -euo pipefail
cd "$(dirname "$0")/.."

out=build-fuzz
minimise=""
jobs=1
seconds=300
if [ "${1:-}" = --minimise ]; then
  minimise=1
  shift
else
  if [ "${1:-}" = -j ]; then
    jobs=$2
    shift 2
  fi
  if [ $# -gt 0 ]; then
    seconds=$1
    shift
  fi
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for bin in "$out"/fuzz/fuzz_*; do
    if [ -f "$bin" ] && [ -x "$bin" ]; then targets+=("$(basename "$bin")"); fi
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $out/fuzz: run fuzz/build.sh first" >&2; exit 2; }
for t in "${targets[@]}"; do
  [ -x "$out/fuzz/$t" ] || { echo "$out/fuzz/$t is missing: run fuzz/build.sh first" >&2; exit 2; }
done
mkdir -p "$out/artifacts" "$out/logs"

# Every save goes through a temporary file that is synced to disk; in a
# memory-backed folder that costs nothing, on a disk it is most of the time.
# The runs' temporary files stay in a folder of their own.
base=${TMPDIR:-/tmp}
[ -n "${TMPDIR:-}" ] || ! [ -d /dev/shm ] || ! [ -w /dev/shm ] || base=/dev/shm
scratch=$(mktemp -d "$base/typetoki-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

options=(-max_len=4096 -timeout=10)

# Target $1's options: the common ones, then those of fuzz/$1.options, if
# any (one line; a later option overrides an earlier one).
options_of() {
  local -a own=()
  [ ! -f "fuzz/$1.options" ] || read -ra own <"fuzz/$1.options"
  echo "${options[@]}" "${own[@]}"
}

# Merges what target $1 found into its corpus in the repository. Covering
# each branch, not each count of passes through it, keeps that corpus to
# dozens of inputs instead of hundreds; the runs find the counts again fast.
minimise_corpus() {
  local t=$1 seeds=fuzz/corpus/$1
  mkdir -p "$seeds" "$out/corpus/$t" "$scratch/$t"
  # shellcheck disable=SC2046
  "$out/fuzz/$t" -set_cover_merge=1 -use_counters=0 $(options_of "$t") "$scratch/$t" "$seeds" "$out/corpus/$t" \
    >"$out/logs/$t-merge.log" 2>&1 || { echo "!! $t: merge failed, see $out/logs/$t-merge.log" >&2; return 1; }
  rm -f "$seeds"/*
  cp -r "$scratch/$t/." "$seeds/"
  echo "$t: $(find "$seeds" -type f | wc -l) inputs, $(du -sb "$seeds" | cut -f1) bytes in $seeds"
}

# Runs target $1 and prints its last coverage line (coverage, features,
# corpus) and figures; returns non-zero when it found a crash.
fuzz_target() {
  local t=$1 status=0
  mkdir -p "fuzz/corpus/$t" "$out/corpus/$t"
  # shellcheck disable=SC2046
  "$out/fuzz/$t" "$out/corpus/$t" "fuzz/corpus/$t" $(options_of "$t") -max_total_time="$seconds" \
    -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" >"$out/logs/$t.log" 2>&1 || status=$?
  # One block per target, printed whole, so that two targets ending at once
  # do not mix their lines.
  {
    echo "== $t, ${seconds}s: $([ "$status" -eq 0 ] && echo "no finding" || echo "found a crash")"
    grep -E '^#[0-9]+' "$out/logs/$t.log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
      "$out/logs/$t.log" || true
  } | cat
  [ "$status" -eq 0 ] || echo "!! $t found a crash, see $out/logs/$t.log" >&2
  return "$status"
}

failed=0
if [ -n "$minimise" ]; then
  for t in "${targets[@]}"; do minimise_corpus "$t" || failed=1; done
  exit $failed
fi
# Up to $jobs targets at once, each printing its summary when it ends.
pids=()
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || failed=1; done
  fuzz_target "$t" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
exit $failed
