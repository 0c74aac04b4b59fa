#!/usr/bin/env bash
# Checks the layers and the format, builds svcadjust and runs every test:
# once in a normal build (GCC), once more under AddressSanitizer and
# UndefinedBehaviorSanitizer (clang), with the fuzz targets run in between.
# Installs missing packages first.
set -euo pipefail
SVC_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export SVC_ROOT
# shellcheck source=tools/deps.sh
source "$SVC_ROOT/tools/deps.sh"

fail() { echo "error: $*" >&2; exit 1; }

svc_ensure_packages || fail "the build tools could not be installed"

# GUI tests run on Qt's offscreen platform: no display needed.
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
# Tests run two to a processor: many of them spend most of their time
# waiting (the end-to-end tests on the real programs' own pauses, the journal
# tests on the disk and on a database server of their own), and the longest
# are started first (SVC_SLOW_TESTS in cmake/SvcTest.cmake).
test_jobs=$((jobs * 2))

# Before anything is built (it takes a second): every include keeps to the
# layers of docs/ARCHITECTURE.md.
echo "== layers"
bash "$SVC_ROOT/tools/layer-check.sh" || fail "an include breaks the layer order"
echo "== format"
bash "$SVC_ROOT/tools/format-check.sh" || fail "some files are not formatted as .clang-format says (clang-format -i FILE)"

# Warnings in our code fail both builds (outside headers are SYSTEM).
echo "== normal build"
svc_configure_build "$SVC_ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSVC_WERROR=ON || fail "build failed"

# The fuzz targets and the sanitizer build are built while the normal build's
# tests run, at a lower priority: they take the time the tests spend waiting,
# and the tests keep the processors they need. Each runs in a process group
# of its own, stopped with everything it started if this script ends early;
# its output goes to build/*.log and is shown if it fails.
fuzz=0; [ "${SVC_SKIP_FUZZ:-0}" = 1 ] || fuzz=1
sanitizers=0; [ "${SVC_SKIP_SANITIZERS:-0}" = 1 ] || sanitizers=1
background=() fuzz_build='' asan_build=''
# shellcheck disable=SC2154 # pid is the loop's own
trap 'for pid in "${background[@]}"; do kill -- "-$pid" 2>/dev/null || true; done' EXIT
# in_background VAR LOG COMMAND...: starts COMMAND, its process id in VAR.
in_background() {
  local -n pid_var=$1
  local log=$2; shift 2
  setsid -w nice -n 10 "$@" >"$log" 2>&1 &
  pid_var=$!
  background+=("$pid_var")
}
# finished PID LOG WHAT: waits for a background build; on failure shows its log.
finished() {
  wait "$1" && return 0
  tail -n 60 "$2" >&2
  fail "$3 (the whole output: ${2#"$SVC_ROOT"/})"
}

# ---- fuzzing: the fuzz targets built with clang, each run over its corpus
# and then SVC_FUZZ_SECONDS (here 5 unless set) on new inputs; SVC_SKIP_FUZZ=1
# skips it. The corpora are replayed by tests of both builds as well; longer
# runs: tools/fuzz.sh --seconds N. See docs/ARCHITECTURE.md, "Fuzzing".
if [ "$fuzz" = 1 ]; then
  in_background fuzz_build "$SVC_ROOT/build/fuzz-build.log" bash "$SVC_ROOT/tools/fuzz.sh" --build-only
fi
# ---- end of fuzzing

# The sanitizer build is made with clang: it compiles a file in about half the
# time GCC takes. Line tables are all the debug information a sanitizer's
# report needs. (The fuzz targets are not built in it: their coverage
# instrumentation in every library slowed the page tests down several times.)
if [ "$sanitizers" = 1 ]; then
  # A folder configured with GCC (as this build was before) is made afresh:
  # changing the compiler of a configured folder empties its cache, and the
  # options below would be lost with it.
  if [ -f "$SVC_ROOT/build/asan/CMakeCache.txt" ] &&
     ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++$' "$SVC_ROOT/build/asan/CMakeCache.txt"; then
    rm -rf "$SVC_ROOT/build/asan"
  fi
  # shellcheck disable=SC2016 # expanded by the inner shell
  in_background asan_build "$SVC_ROOT/build/asan-build.log" bash -c 'source "$SVC_ROOT/tools/deps.sh" &&
    svc_configure_build "$SVC_ROOT/build/asan" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only \
      -DSVC_SANITIZE=ON -DSVC_BUILD_BENCHMARKS=OFF -DSVC_WERROR=ON'
fi

echo "== normal build: tests"
ctest --test-dir "$SVC_ROOT/build/release" --output-on-failure -j "$test_jobs" || fail "tests failed (normal build)"

if [ "$fuzz" = 1 ]; then
  echo "== fuzz targets (clang, libFuzzer)"
  finished "$fuzz_build" "$SVC_ROOT/build/fuzz-build.log" "building the fuzz targets failed"
  SVC_FUZZ_SECONDS=${SVC_FUZZ_SECONDS:-5} bash "$SVC_ROOT/tools/fuzz.sh" || fail "fuzzing found a fault (inputs in build/fuzz/crashes/)"
fi

if [ "$sanitizers" = 1 ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer build (clang)"
  finished "$asan_build" "$SVC_ROOT/build/asan-build.log" "sanitizer build failed"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$SVC_ROOT/build/asan" --output-on-failure -j "$test_jobs" || fail "tests failed (sanitizer build)"
fi
echo "All tests passed."
