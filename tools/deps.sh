#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, when they are missing.
# Sourced by tools/run.sh and tools/test.sh.

SVC_PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev
  libspng-dev zlib1g-dev
  # image files the page reader reads (scans and photos of pages)
  libjpeg62-turbo-dev libtiff-dev
  # pages scanned straight into the reader (SANE; its test and file backends serve the tests)
  libsane-dev
  libfreetype-dev fonts-liberation fonts-dejavu-core
  # the translations (xgettext, msgfmt; po/)
  gettext
  # the text-reading test of the check sheet
  tesseract-ocr tesseract-ocr-eng
  # the Debian package and its checks (packaging/)
  dpkg-dev lintian desktop-file-utils appstream man-db
  # the service journal: SQLite on the bench, PostgreSQL shared (its tests start a throwaway server)
  libsqlite3-dev libpq-dev postgresql postgresql-client
  # the packet channel in Wireshark (packaging/wireshark)
  tshark
  # the sanitizer build and the fuzz targets (tools/test.sh, tools/fuzz.sh): clang
  # and its runtimes, libFuzzer included; the format check (tools/format-check.sh)
  clang libclang-rt-14-dev clang-format
)

svc_missing_packages() {
  local pkg missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  echo "${missing[@]}"
}

# svc_ensure_packages [extra packages...]
svc_ensure_packages() {
  local missing
  missing=$(svc_missing_packages "${SVC_PACKAGES[@]}" "$@")
  [ -z "$missing" ] && return 0
  echo "Installing missing Debian packages: $missing"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "error: these packages are missing and sudo is not available: $missing" >&2
      echo "       install them as root: apt-get install $missing" >&2
      return 1
    fi
    sudo=(sudo)
  fi
  # tshark's installation would ask whether ordinary users may capture
  # packets; the answer is no (our captures are files), and nothing is asked.
  if [[ " $missing " == *" tshark "* ]] && command -v debconf-set-selections >/dev/null; then
    echo "wireshark-common wireshark-common/install-setuid boolean false" \
      | "${sudo[@]}" debconf-set-selections || return 1
  fi
  # shellcheck disable=SC2086
  if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing; then
    "${sudo[@]}" apt-get update -q || return 1
    # shellcheck disable=SC2086
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing || {
      echo "error: could not install: $missing" >&2
      return 1
    }
  fi
}

# svc_configure_build BUILD_DIR [cmake options...]: configures (once) and builds incrementally.
# Compilations are cached (ccache), so a second checkout or a rebuild after a
# small change recompiles only what changed; paths are taken relative to the
# checkout so that any checkout shares the cache.
svc_configure_build() {
  local dir=$1; shift
  local launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$SVC_ROOT" CCACHE_NOHASHDIR=1
    # The precompiled headers (SVC_PCH) are cached too: ccache needs to be
    # told that their time stamps and defines may be trusted.
    export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$SVC_ROOT" -B "$dir" -G Ninja "${launcher[@]}" "$@" || { echo "error: configuring $dir failed" >&2; return 1; }
  elif [ "$#" -gt 0 ]; then
    # An existing build folder takes the options given now (-DSVC_WERROR=ON
    # in CI, for one configured before the option existed).
    cmake -S "$SVC_ROOT" -B "$dir" "$@" >/dev/null || { echo "error: configuring $dir failed" >&2; return 1; }
  fi
  cmake --build "$dir" -j "$(nproc)" || { echo "error: building $dir failed" >&2; return 1; }
}
