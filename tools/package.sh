#!/usr/bin/env bash
# Builds the Debian package svcadjust_<version>_<arch>.deb into
# build/release/package/. Installs missing packages first.
#
#   tools/package.sh            build the package
#   tools/package.sh --check    and run the package tests (unpack, run, lintian)
set -euo pipefail
SVC_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export SVC_ROOT
# shellcheck source=tools/deps.sh
source "$SVC_ROOT/tools/deps.sh"

fail() { echo "error: $*" >&2; exit 1; }

check=0
case "${1:-}" in
  --check) check=1 ;;
  -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  "") ;;
  *) fail "unknown option $1 (try --help)" ;;
esac

svc_ensure_packages || fail "the build tools could not be installed"
build="$SVC_ROOT/build/release"
svc_configure_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo || fail "build failed"
(cd "$build" && cpack -G DEB --config CPackConfig.cmake) || fail "cpack failed"
rm -rf "$build/package/_CPack_Packages"
ls "$build"/package/svcadjust_*.deb
if [ "$check" = 1 ]; then
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -L package --output-on-failure \
    || fail "package tests failed"
fi
