#!/usr/bin/env bash
# Checks of the installed files and the Debian package, run by CTest:
#   package_test.sh manpages PAGE PROGRAM [PAGE PROGRAM ...]
#   package_test.sh manual MANUAL.md    its links and pictures exist
#   package_test.sh build DEB_DIR CPACK_CONFIG
#   package_test.sh run DEB_DIR          unpack, check the layout, run the programs
#   package_test.sh libraries DEB_DIR    build a program against the public libraries
#   package_test.sh lintian DEB_DIR      no lintian errors
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

# The one package the build step made.
the_deb() {
    local debs=("$1"/svcadjust_*.deb)
    [ -f "${debs[0]}" ] || fail "no package in $1 (did package_build run?)"
    [ "${#debs[@]}" -eq 1 ] || fail "more than one package in $1: ${debs[*]}"
    echo "${debs[0]}"
}

# Unpacks the package into a fresh temporary folder; sets $tmp and $root.
unpack() {
    local deb
    deb=$(the_deb "$1")
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/svcpkg.XXXXXX")
    trap 'cleanup' EXIT
    root="$tmp/root"
    dpkg-deb -x "$deb" "$root"
}
vprinter_pid=
cleanup() {
    if [ -n "$vprinter_pid" ]; then
        kill "$vprinter_pid" 2>/dev/null || true
        wait "$vprinter_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}

# The long options a program's --help names, and for svcadjust-cli also its
# operations.
help_words() {
    local program=$1 text
    text=$("$program" --help 2>&1) || fail "$program --help failed"
    grep -oE -- '--[a-z][a-z0-9-]+' <<<"$text" | sort -u
    if [ "$(basename "$program")" = svcadjust-cli ]; then
        sed -n '/^Operations:/,$p' <<<"$text" | grep -oE '^  [a-z0-9][a-z0-9-]+' | sed 's/^ *//' | sort -u
    fi
}

cmd_manpages() {
    local page program word text warnings missing=0
    while [ $# -ge 2 ]; do
        page=$1 program=$2; shift 2
        [ -f "$page" ] || fail "no manual page $page"
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
            man --warnings=w -E UTF-8 -l -Tutf8 "$page" 2>&1 >/dev/null) || fail "man could not format $page"
        [ -z "$warnings" ] || fail "$page formats with warnings:
$warnings"
        # The page as text, with the hyphens troff writes as \- made plain.
        text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
        for word in $(help_words "$program"); do
            if ! grep -qE -- "(^|[^a-z0-9-])${word}([^a-z0-9-]|$)" <<<"$text"; then
                echo "FAIL: $(basename "$page") does not describe '$word' (from $(basename "$program") --help)" >&2
                missing=1
            fi
        done
    done
    [ "$missing" = 0 ] || exit 1
    echo "manual pages: every option and operation of the programs' --help is described"
}

# Every picture and local link of the documents points at a file of the checkout.
cmd_manual() {
    local doc dir target missing=0
    for doc in "$@"; do
        dir=$(dirname "$doc")
        while IFS= read -r target; do
            target=${target%%#*}
            [ -z "$target" ] && continue
            case "$target" in http:*|https:*|mailto:*) continue ;; esac
            if [ ! -e "$dir/$target" ]; then
                echo "FAIL: $doc links to $target, which does not exist" >&2
                missing=1
            fi
        done < <(grep -oE '\]\([^)]+\)' "$doc" | sed -e 's/^](//' -e 's/)$//')
    done
    [ "$missing" = 0 ] || exit 1
    echo "$*: every link and picture exists"
}

cmd_build() {
    local dir=$1 config=$2
    rm -rf "$dir"
    mkdir -p "$dir"
    cpack -G DEB --config "$config" -B "$dir" >"$dir/cpack.log" 2>&1 || { cat "$dir/cpack.log" >&2; fail "cpack failed"; }
    rm -rf "$dir/_CPack_Packages"
    deb=$(the_deb "$dir")
    echo "built $deb"
    dpkg-deb --info "$deb"
}

expect_file() { [ -e "$root/$1" ] || fail "the package lacks /$1"; }

cmd_run() {
    unpack "$1"
    local arch bin
    arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
    bin="$root/usr/bin"

    # The layout.
    for f in usr/bin/svcadjust usr/bin/svcadjust-cli usr/bin/vprinter usr/bin/vpcapture \
             "usr/lib/$arch/libhexcodec.so.1" "usr/lib/$arch/liblinkport.so.1" \
             "usr/lib/$arch/libhexcodec.so" "usr/lib/$arch/liblinkport.so" \
             "usr/lib/$arch/pkgconfig/hexcodec.pc" "usr/lib/$arch/pkgconfig/linkport.pc" \
             "usr/lib/$arch/svcadjust/libchanlink.so" "usr/lib/$arch/svcadjust/libhostbridge.so" \
             usr/include/hexcodec/hexcodec.h usr/include/linkport/linkport.h \
             usr/share/svcadjust/howto/bid_lines.svg \
             usr/lib/udev/rules.d/60-svcadjust-printers.rules \
             usr/share/applications/org.example.svcadjust.desktop \
             usr/share/metainfo/org.example.svcadjust.metainfo.xml \
             usr/share/icons/hicolor/scalable/apps/org.example.svcadjust.svg \
             usr/share/man/man1/svcadjust.1.gz usr/share/man/man1/svcadjust-cli.1.gz \
             usr/share/man/man1/vprinter.1.gz usr/share/man/man1/vpcapture.1.gz \
             usr/share/doc/svcadjust/MANUAL.md usr/share/doc/svcadjust/copyright \
             usr/share/doc/svcadjust/changelog.gz usr/share/doc/svcadjust/screenshots/start.png; do
        expect_file "$f"
    done
    if [ -e "$bin/vprinter-panel" ]; then expect_file usr/share/man/man1/vprinter-panel.1.gz; fi
    # The print files the build generated are all there.
    if [ -n "${SVC_DATA_OUTPUT_DIR:-}" ] && [ -d "$SVC_DATA_OUTPUT_DIR" ]; then
        for f in "$SVC_DATA_OUTPUT_DIR"/*; do
            [ -e "$f" ] || continue
            cmp -s "$f" "$root/usr/share/svcadjust/$(basename "$f")" \
                || fail "the print file $(basename "$f") is missing or differs in the package"
        done
    fi
    # Nothing points into the build or source tree (a RUNPATH, a data path).
    local dir hits
    for dir in ${SVC_BUILD_DIR:-} ${SVC_SOURCE_DIR:-}; do
        hits=$(grep -rlF "$dir/" "$root" || true)
        [ -z "$hits" ] || fail "files of the package name $dir: $hits"
    done

    # Every program finds all its libraries in the unpacked tree, by its
    # RUNPATH alone, and the private ones from the package, not elsewhere.
    unset LD_LIBRARY_PATH
    local prog deps
    for prog in "$bin"/*; do
        deps=$(ldd "$prog") || fail "ldd $prog failed"
        if grep -q "not found" <<<"$deps"; then fail "$(basename "$prog") misses libraries:
$deps"; fi
        for lib in libchanlink.so libhostbridge.so libhexcodec.so.1; do
            if grep -q "$lib" <<<"$deps" && ! grep -q "$lib => $root/" <<<"$deps"; then
                fail "$(basename "$prog") loads $lib from outside the package:
$deps"
            fi
        done
    done

    # The window program starts and keeps running (the start window waits).
    local status=0
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$tmp" timeout 3 "$bin/svcadjust" >"$tmp/gui.log" 2>&1 || status=$?
    [ "$status" = 124 ] || fail "svcadjust from the package ended at once (status $status): $(cat "$tmp/gui.log")"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "the installed desktop entry"
    fi

    local help
    help=$("$bin/svcadjust-cli" --help) || fail "svcadjust-cli --help failed"
    grep -q -- '--model' <<<"$help" || fail "svcadjust-cli --help does not name --model"
    help=$("$bin/vprinter" --help) || fail "vprinter --help failed"
    grep -q -- '--socket' <<<"$help" || fail "vprinter --help does not name --socket"

    # A short session against a virtual printer from the package.
    local sock="$tmp/vp.sock" out
    "$bin/vprinter" --socket "$sock" --model 4200 --eeprom "$tmp/eeprom.bin" --quiet &
    vprinter_pid=$!
    for _ in $(seq 100); do [ -S "$sock" ] && break; sleep 0.05; done
    [ -S "$sock" ] || fail "the packaged vprinter did not start"
    out=$(env XDG_CONFIG_HOME="$tmp/config" SVCADJUST_PORTMAP="ZQUSB1=unix:$sock" \
        timeout 60 "$bin/svcadjust-cli" --model 4200 --port ZQUSB1 get-status paper-feed 2>&1) \
        || fail "the svcadjust-cli session failed:
$out"
    echo "$out"
    grep -q "Printer is ready." <<<"$out" || fail "get-status did not report a ready printer"
    "$bin/vprinter" --control "$sock.ctl" --send status >/dev/null || fail "the packaged vprinter's control socket"
    echo "package runs from $root without LD_LIBRARY_PATH"
}

cmd_libraries() {
    unpack "$1"
    local arch cflags libs
    arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
    # Symbols: exactly the documented C functions, nothing of the C++ inside.
    check_exports() {
        local lib=$1; shift
        local got want
        got=$(nm -D --defined-only "$lib" | awk '$2 == "T" {print $3}' | sort | tr '\n' ' ')
        want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
        [ "$got" = "$want" ] || fail "$(basename "$lib") exports [$got], expected [$want]"
        local headers
        headers=$(objdump -p "$lib") || fail "objdump $lib"
        grep -q "SONAME *$(basename "$lib")" <<<"$headers" || fail "$(basename "$lib"): wrong SONAME"
    }
    check_exports "$root/usr/lib/$arch/libhexcodec.so.1" HexAsciiToBinary BinaryToHexAscii
    check_exports "$root/usr/lib/$arch/liblinkport.so.1" PortOpen InitCommTimeOuts Send Receive \
        PortClose GetDeviceID GetIOErrorCode GetModelName SendINITSignal

    # A program of someone else's, built with pkg-config against the package.
    export PKG_CONFIG_SYSROOT_DIR="$root" PKG_CONFIG_LIBDIR="$root/usr/lib/$arch/pkgconfig"
    cflags=$(pkg-config --cflags hexcodec linkport) || fail "pkg-config does not know hexcodec and linkport"
    libs=$(pkg-config --libs hexcodec linkport)
    cat >"$tmp/user.c" <<'EOF'
#include <hexcodec/hexcodec.h>
#include <linkport/linkport.h>
#include <stdio.h>
int main(void) {
    uint8_t value = 0;
    char text[3];
    if (HexAsciiToBinary("7F", &value) != 1 || value != 0x7F) return 1;
    if (BinaryToHexAscii(0x1A5, text) != 1 || text[0] != 'A' || text[1] != '5' || text[2] != 0) return 2;
    if (PortOpen(1025) != LINKPORT_IO_FAILURE || GetIOErrorCode() != LINKPORT_IOE_BAD_PORT_CODE) return 3;
    puts("ok");
    return 0;
}
EOF
    # shellcheck disable=SC2086
    cc -std=c11 -Wall -Werror $cflags "$tmp/user.c" -o "$tmp/user" $libs -Wl,-rpath,"$root/usr/lib/$arch" \
        || fail "a C program does not build against the packaged headers and libraries"
    [ "$("$tmp/user")" = ok ] || fail "the C program against the packaged libraries"
    echo "hexcodec and linkport: headers, pkg-config files and libraries work for other programs"
}

cmd_lintian() {
    local deb out
    deb=$(the_deb "$1")
    # Errors fail; warnings are shown.
    out=$(lintian --fail-on error --no-tag-display-limit "$deb" 2>&1) || { echo "$out"; fail "lintian reports errors"; }
    echo "$out"
    echo "lintian: no errors"
}

command=${1:?command}; shift
case "$command" in
    manpages) cmd_manpages "$@" ;;
    manual) cmd_manual "$@" ;;
    build) cmd_build "$@" ;;
    run) cmd_run "$@" ;;
    libraries) cmd_libraries "$@" ;;
    lintian) cmd_lintian "$@" ;;
    *) fail "unknown command $command" ;;
esac
