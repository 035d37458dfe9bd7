#!/usr/bin/env bash
# Runs fuzz targets built by fuzz/build.sh, one after the other. Each starts
# from the corpus kept in the repository, fuzz/corpus/<target>/, and adds what
# it finds to build-fuzz/corpus/<target>/. Fails when a target finds a crash;
# the input that caused it is left in build-fuzz/artifacts/.
#   fuzz/run.sh [SECONDS] [TARGET...]   each for SECONDS (300 when left out);
#                                       every target built when none is named
#   fuzz/run.sh --minimise [TARGET...]  rewrites fuzz/corpus/<target>/ as the
#                                       fewest, smallest inputs that cover all
#                                       both corpora cover
set -euo pipefail
cd "$(dirname "$0")/.."

out=build-fuzz
minimise=""
seconds=300
if [ "${1:-}" = --minimise ]; then
  minimise=1
  shift
elif [ $# -gt 0 ]; then
  seconds=$1
  shift
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
# Each target's temporary files stay in a folder of the run's own.
base=${TMPDIR:-/tmp}
[ -n "${TMPDIR:-}" ] || ! [ -d /dev/shm ] || ! [ -w /dev/shm ] || base=/dev/shm
scratch=$(mktemp -d "$base/typetoki-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

options=(-max_len=4096 -timeout=10)
failed=0
for t in "${targets[@]}"; do
  seeds=fuzz/corpus/$t
  mkdir -p "$seeds" "$out/corpus/$t"
  if [ -n "$minimise" ]; then
    mkdir "$scratch/$t"
    "$out/fuzz/$t" -merge=1 "${options[@]}" "$scratch/$t" "$seeds" "$out/corpus/$t" \
      >"$out/logs/$t-merge.log" 2>&1 || { echo "!! $t: merge failed, see $out/logs/$t-merge.log" >&2; exit 1; }
    rm -f "$seeds"/*
    cp -r "$scratch/$t/." "$seeds/"
    echo "$t: $(ls "$seeds" | wc -l) inputs, $(du -sb "$seeds" | cut -f1) bytes in $seeds"
    continue
  fi
  echo "== $t for ${seconds}s"
  if ! "$out/fuzz/$t" "$out/corpus/$t" "$seeds" "${options[@]}" -max_total_time="$seconds" \
       -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" >"$out/logs/$t.log" 2>&1; then
    echo "!! $t found a crash, see $out/logs/$t.log" >&2
    failed=1
  fi
  # The last status line (coverage, features, corpus) and the run's figures.
  grep -E '^#[0-9]+' "$out/logs/$t.log" | tail -n 1 || true
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    "$out/logs/$t.log" || true
done
exit $failed
