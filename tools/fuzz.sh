#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs them: each one
# first over its corpus (the seeds kept in the repository and every input
# that once crashed it), then for a while on inputs of its own making.
#
#   tools/fuzz.sh [--seconds N] [--list] [--build-only] [NAME...]
#
# NAME picks targets (default: all; --list names them; --build-only builds
# them and runs none). The build goes to build/fuzz and holds only the
# fuzzers and the libraries they link, all instrumented and under
# AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   SVC_FUZZ_SECONDS  seconds of fuzzing per target after its corpus (default 15; 0: corpus only)
#   SVC_FUZZ_JOBS     targets fuzzed at once (default: the number of processors)
#   SVC_FUZZ_BUILD_DIR  where the fuzzers are built (default build/fuzz)
#
# A crash, a leak, a hang (over 10 s for one input) or a run that takes more
# than 2 GiB fails the run. The input that did it is kept in
# build/fuzz/crashes/NAME/, and the fuzzer's output in build/fuzz/logs/NAME.log.
# Inputs found that reach new code are kept in build/fuzz/corpus/NAME/ (not in
# the repository: copy the ones worth keeping into the target's corpus).
set -euo pipefail
SVC_ROOT=${SVC_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export SVC_ROOT
# shellcheck source=tools/deps.sh
source "$SVC_ROOT/tools/deps.sh"

fail() { echo "error: $*" >&2; exit 1; }

seconds=${SVC_FUZZ_SECONDS:-15}
list=0
build_only=0
names=()
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) [ $# -ge 2 ] || fail "--seconds needs a number"; seconds=$2; shift 2 ;;
    --seconds=*) seconds=${1#--seconds=}; shift ;;
    --list) list=1; shift ;;
    --build-only) build_only=1; shift ;;
    -h|--help) sed -n '2,21p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) fail "unknown option $1 (try --help)" ;;
    *) names+=("$1"); shift ;;
  esac
done
[[ $seconds =~ ^[0-9]+$ ]] || fail "SVC_FUZZ_SECONDS / --seconds must be a whole number of seconds, not '$seconds'"
jobs=${SVC_FUZZ_JOBS:-$(nproc)}
[[ $jobs =~ ^[1-9][0-9]*$ ]] || fail "SVC_FUZZ_JOBS must be a positive number, not '$jobs'"

svc_ensure_packages || fail "the build tools could not be installed"

dir=${SVC_FUZZ_BUILD_DIR:-$SVC_ROOT/build/fuzz}
if [ ! -f "$dir/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$SVC_ROOT" CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  # -O1 with line tables only: quick to build, fast enough to fuzz, and a
  # crash's stack still names file and line.
  cmake -S "$SVC_ROOT" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE= -DCMAKE_C_FLAGS="-O1 -gline-tables-only" -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" \
    -DSVC_BUILD_FUZZERS=ON -DSVC_BUILD_GUI=OFF -DSVC_BUILD_BENCHMARKS=OFF \
    >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log" >&2; fail "configuring $dir failed"; }
  rm -f "$dir.configure.log"
fi
[ -n "${CCACHE_BASEDIR:-}" ] || export CCACHE_BASEDIR="$SVC_ROOT" CCACHE_NOHASHDIR=1
cmake --build "$dir" -j "$(nproc)" --target fuzzers || fail "building the fuzz targets failed"
[ "$build_only" = 0 ] || exit 0

# "BINARY CORPUS" per line, written by the build.
targets=()
while read -r binary corpus; do
  [ -n "$binary" ] || continue
  name=$(basename "$binary")
  if [ ${#names[@]} -gt 0 ] && [[ " ${names[*]} " != *" $name "* ]]; then continue; fi
  targets+=("$name $binary $corpus")
done <"$dir/fuzzers.txt"
if [ "$list" = 1 ]; then
  for t in "${targets[@]}"; do read -r name _ corpus <<<"$t"; echo "$name  ${corpus#"$SVC_ROOT"/}"; done
  exit 0
fi
[ ${#targets[@]} -gt 0 ] || fail "no fuzz target named ${names[*]} (see tools/fuzz.sh --list)"

# The targets' scratch files (a journal, a capture) in memory when possible.
scratch=$dir/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm/svc-fuzz.$$
mkdir -p "$scratch" "$dir/logs"
trap 'rm -rf "/dev/shm/svc-fuzz.$$"' EXIT

# run_one NAME BINARY CORPUS: the corpus, then the time-boxed run.
run_one() {
  local name=$1 binary=$2 corpus=$3
  local log=$dir/logs/$name.log crashes=$dir/crashes/$name/ found=$dir/corpus/$name
  mkdir -p "$crashes" "$found"
  local seeds=("$corpus"/*)
  local common=(-artifact_prefix="$crashes" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  if ! TMPDIR=$scratch "$binary" "${common[@]}" "${seeds[@]}" >"$log" 2>&1; then
    # libFuzzer names each file before it runs it: the last one failed.
    local input
    input=$(sed -n 's/^Running: //p' "$log" | tail -1)
    [ -f "$input" ] && cp "$input" "$crashes"
    echo "FAIL $name: ${input:-an input of its corpus} fails; see $log"
    return 1
  fi
  if [ "$seconds" -gt 0 ] &&
     ! TMPDIR=$scratch "$binary" "${common[@]}" -max_total_time="$seconds" "$found" "$corpus" >>"$log" 2>&1; then
    echo "FAIL $name: a crash after fuzzing; the input is in $crashes (log: $log)"
    return 1
  fi
  local runs
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
  echo "ok   $name: ${#seeds[@]} corpus inputs, ${runs:-0} runs in ${seconds} s"
}

echo "fuzzing ${#targets[@]} targets, ${seconds} s each, ${jobs} at a time"
failed=0
running=0
for t in "${targets[@]}"; do
  read -r name binary corpus <<<"$t"
  run_one "$name" "$binary" "$corpus" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
if [ "$failed" != 0 ]; then
  echo "error: a fuzz target failed; the inputs are in $dir/crashes/ (run the target on one to see it again)" >&2
  for log in "$dir"/logs/*.log; do
    grep -q -E 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer)|runtime error|SUMMARY' "$log" || continue
    echo "---- $log" >&2
    grep -E -m 20 'ERROR|SUMMARY|runtime error|#[0-9]+ 0x.* in ' "$log" >&2 || true
  done
  exit 1
fi
echo "All fuzz targets ran cleanly."
