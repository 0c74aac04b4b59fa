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

# Before anything is built (it takes a second): every include keeps to the
# layers of docs/ARCHITECTURE.md.
echo "== layers"
bash "$SVC_ROOT/tools/layer-check.sh" || fail "an include breaks the layer order"
echo "== format"
bash "$SVC_ROOT/tools/format-check.sh" || fail "some files are not formatted as .clang-format says (clang-format -i FILE)"

# Warnings in our code fail both builds (outside headers are SYSTEM).
echo "== normal build"
svc_configure_build "$SVC_ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSVC_WERROR=ON || fail "build failed"
ctest --test-dir "$SVC_ROOT/build/release" --output-on-failure -j "$jobs" || fail "tests failed (normal build)"

# ---- fuzzing: the fuzz targets built with clang, each run over its corpus
# and then SVC_FUZZ_SECONDS (here 5 unless set) on new inputs; SVC_SKIP_FUZZ=1
# skips it. The corpora are replayed by tests of both builds as well; longer
# runs: tools/fuzz.sh --seconds N. See docs/ARCHITECTURE.md, "Fuzzing".
if [ "${SVC_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== fuzz targets (clang, libFuzzer)"
  SVC_FUZZ_SECONDS=${SVC_FUZZ_SECONDS:-5} bash "$SVC_ROOT/tools/fuzz.sh" || fail "fuzzing found a fault (inputs in build/fuzz/crashes/)"
fi
# ---- end of fuzzing

# The sanitizer build is made with clang: it compiles a file in about half the
# time GCC takes. Line tables are all the debug information a sanitizer's
# report needs. (The fuzz targets are not built in it: their coverage
# instrumentation in every library slowed the page tests down several times.)
if [ "${SVC_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer build (clang)"
  # A folder configured with GCC (as this build was before) is made afresh:
  # changing the compiler of a configured folder empties its cache, and the
  # options below would be lost with it.
  if [ -f "$SVC_ROOT/build/asan/CMakeCache.txt" ] &&
     ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++$' "$SVC_ROOT/build/asan/CMakeCache.txt"; then
    rm -rf "$SVC_ROOT/build/asan"
  fi
  svc_configure_build "$SVC_ROOT/build/asan" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only \
    -DSVC_SANITIZE=ON -DSVC_BUILD_BENCHMARKS=OFF -DSVC_WERROR=ON \
    || fail "sanitizer build failed"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$SVC_ROOT/build/asan" --output-on-failure -j "$jobs" || fail "tests failed (sanitizer build)"
fi
echo "All tests passed."
