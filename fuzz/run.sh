#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds (default 300), one after the
# other, each with its own corpus under build-fuzz/corpus/<target>. Fails when
# a target finds a crash; the input that caused it is left in
# build-fuzz/artifacts/. Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_settings fuzz_scores fuzz_numbers fuzz_cp932)

# Every save goes through a temporary file that is synced to disk; in a
# memory-backed folder that costs nothing, on a disk it is most of the time.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

out=build-fuzz
for t in "${targets[@]}"; do
  [ -x "$out/$t" ] || { echo "$out/$t is missing: run fuzz/build.sh first" >&2; exit 2; }
done
mkdir -p "$out/artifacts" "$out/logs"

# A few well-formed files to start from, so the fuzzer does not have to
# discover the line structure on its own.
seed() {
  local dir=$1 name=$2
  shift 2
  [ -e "$dir/$name" ] || printf "$@" > "$dir/$name"
}
seed_corpus() {
  local t=$1 dir=$out/corpus/$1
  mkdir -p "$dir"
  case $t in
    fuzz_settings)
      seed "$dir" saved '1\r\n60\r\n/p/test.txt\r\n/p/eya.wav\r\n/p/hiku.wav\r\n/p/ahh.wav\r\n/p/test.txt\r\n0.1\r\n<<\x96\xa2\x8e\x67\x97\x70\x97\xcc\x88\xe6>>\r\n'
      seed "$dir" short '4abc\r\n 90 \r\n/a\r\n/b\r\n/c\r\n'
      seed "$dir" utf8 '\xef\xbb\xbf2\r\n3600\r\n/z\xc3\xab\r\n\r\n\r\n\r\n/t\r\n3.4E+38\r\n' ;;
    fuzz_scores)
      seed "$dir" board '1,Taro,12.5,30,2.5,95.5,2000/11/12  13:45:10,1,60\r\n2,\x83\x65\x83\x58\x83\x67,300,40,0.5,100,d,1,60\r\n\r\n3,x,1e999,&HFFFF,-1,007,d,1.0,70000\r\n'
      seed "$dir" ties '1,a,9,9,9,9,d,2,10\r\n2,b,9,9,9,9,d,2,10\r\n3,c,0,0,0,0,d,2,10\r\n4,d,1,2,3,4,d,2,10,x,y\r\n' ;;
    fuzz_numbers)
      seed "$dir" plain ' -12.50E+3x'
      seed "$dir" radix '&HFFFF'
      seed "$dir" single '3.402823E+38' ;;
    fuzz_cp932)
      seed "$dir" cp932 '\x83\x5e\x83\x43\x83\x76\x93\xac\x8b\x4c\r\n\x87\x40\xb1\r\n'
      seed "$dir" utf8 '\xef\xbb\xbfZo\xc3\xab\r\n'
      seed "$dir" lineends 'a\rb\nc\r\n\n\r' ;;
  esac
}

failed=0
for t in "${targets[@]}"; do
  seed_corpus "$t"
  echo "== $t for ${seconds}s"
  if ! "$out/$t" "$out/corpus/$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
       -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" > "$out/logs/$t.log" 2>&1; then
    echo "!! $t found a crash, see $out/logs/$t.log" >&2
    failed=1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$out/logs/$t.log" || true
done
exit $failed
