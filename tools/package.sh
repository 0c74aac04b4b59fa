#!/usr/bin/env bash
# Builds the Debian packages (svcadjust, svcadjust-vprinter, libhexcodec1,
# libhexcodec-dev, liblinkport1, liblinkport-dev) into build/deb/package/.
# Installs missing packages first.
#
#   tools/package.sh            build the packages
#   tools/package.sh --check    and run the package tests (unpack, run, lintian)
#
# The package build has a build folder of its own, build/deb, compiled with
# the hardening flags Debian's dpkg-buildflags gives (all of them: fortified
# functions, stack protector, PIE, RELRO and BIND_NOW), which the development
# build in build/release does not use.
set -euo pipefail
SVC_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export SVC_ROOT
# shellcheck source=tools/deps.sh
source "$SVC_ROOT/tools/deps.sh"

fail() { echo "error: $*" >&2; exit 1; }

check=0
case "${1:-}" in
  --check) check=1 ;;
  -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  "") ;;
  *) fail "unknown option $1 (try --help)" ;;
esac

svc_ensure_packages || fail "the build tools could not be installed"
build="$SVC_ROOT/build/deb"

# The flags: the preprocessor's go with the compiler's, since CMake has no
# CPPFLAGS. They are given on every run, so a build folder always has
# today's flags.
flags=$(cd "$SVC_ROOT" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh) \
  || fail "dpkg-buildflags failed (package dpkg-dev)"
eval "$flags"
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$SVC_ROOT" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$SVC_ROOT" -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSVC_BUILD_BENCHMARKS=OFF -DSVC_HARDENED=ON \
  -DCMAKE_C_FLAGS="$CFLAGS $CPPFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" >/dev/null || fail "configuring $build failed"
svc_configure_build "$build" || fail "build failed"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB --config CPackConfig.cmake) || fail "cpack failed"
rm -rf "$build/package/_CPack_Packages"
ls "$build"/package/*.deb
if [ "$check" = 1 ]; then
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -L package --output-on-failure \
    || fail "package tests failed"
fi
