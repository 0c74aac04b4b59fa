#!/usr/bin/env bash
# Checks of the installed files and the Debian package, run by CTest:
#   package_test.sh manpages PAGE PROGRAM [PAGE PROGRAM ...]
#   package_test.sh manual MANUAL.md    its links and pictures exist
#   package_test.sh build DEB_DIR CPACK_CONFIG
#   package_test.sh contents DEB_DIR     each file in its package, the dependencies between them
#   package_test.sh run DEB_DIR          unpack, check the layout, run the programs
#   package_test.sh libraries DEB_DIR    build a program against the public libraries
#   package_test.sh lintian DEB_DIR [hardened]   no lintian errors or warnings
#   package_test.sh wireshark BIN_DIR DISSECTOR  a capture, as pcapng, decoded by tshark
set -euo pipefail
# The programs run here keep no service journal (not the developer's to write).
export SVCADJUST_JOURNAL=off

fail() { echo "FAIL: $*" >&2; exit 1; }

# The packages the build makes, one of each.
PACKAGES=(svcadjust svcadjust-vprinter libhexcodec1 libhexcodec-dev liblinkport1 liblinkport-dev)

# the_deb DIR NAME: the one package NAME the build step made.
the_deb() {
    local debs=("$1/$2"_*.deb)
    [ -f "${debs[0]}" ] || fail "no package $2 in $1 (did package_build run?)"
    [ "${#debs[@]}" -eq 1 ] || fail "more than one package $2 in $1: ${debs[*]}"
    echo "${debs[0]}"
}

# Every package, in the order of PACKAGES; nothing else may be there.
all_debs() {
    local name all=("$1"/*.deb)
    for name in "${PACKAGES[@]}"; do the_deb "$1" "$name"; done
    [ "${#all[@]}" -eq "${#PACKAGES[@]}" ] || fail "unexpected packages in $1: ${all[*]}"
}

# Unpacks all packages into one fresh temporary folder, as installing them
# all would; sets $tmp and $root.
unpack() {
    local deb
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/svcpkg.XXXXXX")
    trap 'cleanup' EXIT
    root="$tmp/root"
    for deb in $(all_debs "$1"); do dpkg-deb -x "$deb" "$root"; done
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
    for deb in $(all_debs "$dir"); do
        echo "built $deb"
        dpkg-deb --info "$deb"
    done
}

# contents DEB_DIR: the split Debian policy asks for (8.1, 8.4), file by file,
# and the dependencies that hold the packages together.
cmd_contents() {
    local dir=$1 arch name list field
    arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
    declare -A contents
    for name in "${PACKAGES[@]}"; do
        contents[$name]=$(dpkg-deb -c "$(the_deb "$dir" "$name")" | awk '{print $6}' | sed 's|^\./|/|')
    done
    # in_package NAME PATH...: each path is in that package and in no other.
    in_package() {
        local name=$1 path; shift
        list=${contents[$name]}
        for path in "$@"; do
            grep -qxF "$path" <<<"$list" || fail "$name lacks $path; it holds:
$list"
            for other in "${PACKAGES[@]}"; do
                [ "$other" = "$name" ] && continue
                if grep -qxF "$path" <<<"${contents[$other]}"; then
                    fail "$path is in $other as well as in $name"
                fi
            done
        done
    }
    in_package svcadjust /usr/bin/svcadjust /usr/bin/svcadjust-cli \
        "/usr/lib/$arch/svcadjust/libchanlink.so" "/usr/lib/$arch/svcadjust/libhostbridge.so" \
        /usr/share/svcadjust/clip.prn /usr/lib/udev/rules.d/60-svcadjust-printers.rules \
        /usr/share/applications/org.example.svcadjust.desktop \
        /usr/share/man/man1/svcadjust.1.gz /usr/share/man/man1/svcadjust-cli.1.gz \
        /usr/share/doc/svcadjust/MANUAL.md /usr/share/doc/svcadjust/copyright \
        /usr/share/locale/de/LC_MESSAGES/svcadjust.mo
    in_package svcadjust-vprinter /usr/bin/vprinter /usr/bin/vpcapture \
        /usr/share/man/man1/vprinter.1.gz /usr/share/man/man1/vpcapture.1.gz \
        "/usr/lib/$arch/wireshark/plugins/svcadjust-channel.lua" \
        /usr/share/doc/svcadjust-vprinter/copyright /usr/share/doc/svcadjust-vprinter/changelog.gz
    for lib in hexcodec linkport; do
        in_package "lib${lib}1" "/usr/lib/$arch/lib$lib.so.1" "/usr/lib/$arch/lib$lib.so.1.0.0" \
            "/usr/share/doc/lib${lib}1/copyright"
        in_package "lib$lib-dev" "/usr/lib/$arch/lib$lib.so" "/usr/lib/$arch/pkgconfig/$lib.pc" \
            "/usr/include/$lib/$lib.h" "/usr/share/doc/lib$lib-dev/copyright"
    done
    # No header, link or pkg-config file outside the -dev packages, no
    # library outside its own package.
    for name in svcadjust svcadjust-vprinter libhexcodec1 liblinkport1; do
        list=${contents[$name]}
        if grep -E '/usr/include/|/pkgconfig/|/lib(hexcodec|linkport)\.so$' <<<"$list"; then
            fail "$name holds development files"
        fi
    done
    # No artwork the program never reads, no fallback below /usr/local.
    if grep -q '/howto/' <<<"${contents[svcadjust]}"; then fail "svcadjust installs the how-to artwork, which is compiled in"; fi

    # The dependencies: the -dev package on its library of the same version,
    # the programs on the libraries they load; the virtual printer, which
    # loads none of them, recommends the program it stands in for a printer to.
    # (Control fields are read whole into variables: a reader that stops
    # early would break the pipe.)
    field_of() { dpkg-deb -f "$(the_deb "$dir" "$1")" "$2"; }
    expect_field() {
        local got
        got=$(field_of "$1" "$2")
        grep -qF -- "$3" <<<"$got" || fail "$1: $2 lacks '$3': $got"
    }
    expect_field libhexcodec-dev Depends "libhexcodec1 (= 1.0)"
    expect_field liblinkport-dev Depends "liblinkport1 (= 1.0)"
    expect_field svcadjust Depends "libhexcodec1 (= 1.0)"
    expect_field svcadjust Depends "libqt6widgets6"
    expect_field svcadjust-vprinter Recommends "svcadjust (= 1.0)"
    field=$(field_of svcadjust-vprinter Depends)
    if grep -qE '(^|, )(svcadjust|lib(hexcodec|linkport)1)( |,|$)' <<<"$field"; then
        fail "svcadjust-vprinter depends on packages it does not load: $field"
    fi
    expect_field liblinkport1 Depends "libstdc++6"
    expect_field libhexcodec1 Depends "libc6"
    for name in libhexcodec1 liblinkport1; do
        [ "$(field_of "$name" Section)" = libs ] || fail "$name is not in section libs"
    done
    for name in libhexcodec-dev liblinkport-dev; do
        [ "$(field_of "$name" Section)" = libdevel ] || fail "$name is not in section libdevel"
    done
    # Each runtime library package names its library in its shlibs file and
    # refreshes the loader cache by trigger, not by calling ldconfig.
    for lib in hexcodec linkport; do
        field=$(dpkg-deb -I "$(the_deb "$dir" "lib${lib}1")" shlibs) || fail "lib${lib}1 has no shlibs file"
        grep -qx "lib$lib 1 lib${lib}1 (>= 1.0)" <<<"$field" || fail "lib${lib}1's shlibs: $field"
        field=$(dpkg-deb -I "$(the_deb "$dir" "lib${lib}1")" triggers) || fail "lib${lib}1 has no triggers file"
        grep -qx "activate-noawait ldconfig" <<<"$field" || fail "lib${lib}1 does not activate the ldconfig trigger"
        field=$(dpkg-deb -I "$(the_deb "$dir" "lib${lib}1")" postinst | sed 's/#.*//')
        if grep -qw ldconfig <<<"$field"; then fail "lib${lib}1's postinst calls ldconfig"; fi
    done
    # Each package's own summary.
    field=$(for name in "${PACKAGES[@]}"; do field_of "$name" Description | sed -n 1p; done | sort -u | wc -l)
    [ "$field" = "${#PACKAGES[@]}" ] || fail "packages share a summary line"
    echo "the six packages hold what they should and depend on each other as they should"
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
             "usr/lib/$arch/wireshark/plugins/svcadjust-channel.lua" \
             usr/lib/udev/rules.d/60-svcadjust-printers.rules \
             usr/share/applications/org.example.svcadjust.desktop \
             usr/share/metainfo/org.example.svcadjust.metainfo.xml \
             usr/share/icons/hicolor/scalable/apps/org.example.svcadjust.svg \
             usr/share/man/man1/svcadjust.1.gz usr/share/man/man1/svcadjust-cli.1.gz \
             usr/share/man/man1/vprinter.1.gz usr/share/man/man1/vpcapture.1.gz \
             usr/share/doc/svcadjust/MANUAL.md usr/share/doc/svcadjust/copyright \
             usr/share/doc/svcadjust/changelog.gz usr/share/doc/svcadjust/screenshots/start.png \
             usr/share/locale/de/LC_MESSAGES/svcadjust.mo; do
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
    # The programs find their data beside themselves, not in a folder fixed
    # at build time.
    hits=$(grep -rlF "/usr/local/share/svcadjust" "$root/usr/bin" "$root/usr/lib" || true)
    [ -z "$hits" ] || fail "files of the package name /usr/local/share/svcadjust: $hits"

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
    # The translations are found beside the program, wherever the tree is.
    help=$(LC_ALL=C.UTF-8 LANGUAGE=de "$bin/svcadjust-cli" --help) || fail "svcadjust-cli --help in German failed"
    grep -q -- 'Aufruf: svcadjust-cli' <<<"$help" || fail "svcadjust-cli does not find its German catalogue in the unpacked tree"
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

    # A print file the program sends unchanged comes from the package's
    # share/svcadjust, found from the program's own folder (the working
    # folder has no copy).
    mkdir "$tmp/work"
    out=$(cd "$tmp/work" && env XDG_CONFIG_HOME="$tmp/config" SVCADJUST_PORTMAP="ZQUSB1=unix:$sock" \
        timeout 100 "$bin/svcadjust-cli" --yes --model 4200 --port ZQUSB1 a4-check-print 2>&1) \
        || fail "a4-check-print (which sends clip.prn) failed from the unpacked package:
$out"
    echo "$out"
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
        # Every defined symbol counts, of whatever kind (weak, unique, data).
        got=$(nm -D --defined-only "$lib" | awk 'NF == 3 {print $3}' | sort | tr '\n' ' ')
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

# lintian DEB_DIR [hardened]: errors and warnings fail; overrides in the
# packages carry their reasons. A package built without the hardening flags
# (a development build; tools/package.sh uses them) is not judged on them;
# with "hardened" any hardening tag fails, information ones included.
cmd_lintian() {
    local out suppress=()
    if [ "${2:-}" != hardened ]; then
        suppress=(--suppress-tags hardening-no-relro,hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-pie)
        echo "note: this build does not use the hardening flags (tools/package.sh does); their tags are not checked"
    fi
    # shellcheck disable=SC2046
    out=$(lintian --fail-on error,warning --display-info --no-tag-display-limit "${suppress[@]}" \
        $(all_debs "$1") 2>&1) || { echo "$out"; fail "lintian reports errors or warnings"; }
    echo "$out"
    if grep -E '^[EWI]: .*hardening-' <<<"$out"; then fail "the packages are not hardened"; fi
    echo "lintian: no errors, no warnings"
}

# wireshark BIN_DIR DISSECTOR: a session against a virtual printer recorded
# on the program's side, turned into pcapng by vpcapture and decoded by
# tshark with the dissector: the EEPROM reads, the credit and the print data
# must be found.
cmd_wireshark() {
    local bin=$1 dissector=$2 sock out fields
    tmp=$(mktemp -d "${TMPDIR:-/tmp}/svcshark.XXXXXX")
    trap 'cleanup' EXIT
    sock="$tmp/vp.sock"
    "$bin/vprinter" --socket "$sock" --model 4100 --eeprom "$tmp/eeprom.bin" --quiet &
    vprinter_pid=$!
    for _ in $(seq 100); do [ -S "$sock" ] && break; sleep 0.05; done
    [ -S "$sock" ] || fail "vprinter did not start"
    out=$(cd "$tmp" && env XDG_CONFIG_HOME="$tmp/config" SVCADJUST_PORTMAP="LPT1=unix:$sock" \
        CHANLINK_CAPTURE="$tmp/link.cap" \
        timeout 100 "$bin/svcadjust-cli" --yes --model 4100 --port LPT1 get-status printer-info nozzle-check-print 2>&1) \
        || fail "the session failed: $out"
    "$bin/vpcapture" --pcapng "$tmp/link.pcapng" "$tmp/link.cap" || fail "vpcapture --pcapng failed"
    # Decoded without a complaint of the dissector (a Lua error shows as one).
    out=$(tshark -n -X lua_script:"$dissector" -r "$tmp/link.pcapng" 2>&1) || fail "tshark failed: $out"
    if grep -qiE 'lua error|malformed|dissector bug' <<<"$out"; then fail "tshark reports errors:
$out"; fi
    fields=$(tshark -n -X lua_script:"$dissector" -r "$tmp/link.pcapng" -T fields -E separator=';' \
        -e svcchan.direction -e svcchan.channel -e svcchan.cmd -e svcchan.ctl -e svcchan.ctl.reply \
        -e svcchan.eeprom.addr -e svcchan.credit -e svcchan.cmd.credit -e svcchan.data.len \
        -e svcchan.status.state 2>/dev/null) || fail "tshark -T fields failed"
    count() { grep -cE "$1" <<<"$fields" || true; }
    local n
    n=$(wc -l <<<"$fields")
    [ "$n" -ge 20 ] || fail "only $n packets decoded:
$fields"
    # Every packet is ours, with its direction.
    [ "$(count '^[01];')" = "$n" ] || fail "packets without a direction:
$fields"
    # EEPROM reads: requests from the host, replies with an address back.
    [ "$(count '^0;control;;0x10;0;0x[0-9a-f]{2};')" -ge 1 ] || fail "no EEPROM read request found:
$fields"
    [ "$(count '^1;control;;0x10;1;0x[0-9a-f]{2};')" -ge 1 ] || fail "no EEPROM read reply found:
$fields"
    # Status replies with the printer's state.
    [ "$(count '^1;control;;0x20;1;;.*;4$')" -ge 1 ] || fail "no status reply reporting 'ready' found:
$fields"
    # Channel commands on socket 0, credit granted in OpenChannel or CreditRequest replies.
    [ "$(count '^0;transaction;0x00;')" -ge 1 ] || fail "no Init found"
    [ "$(count '^1;transaction;0x0[14];;;;0;[1-9]')" -ge 1 ] || fail "no credit granted by the printer found:
$fields"
    # Credit in packet headers (each control request lets the printer answer).
    [ "$(count '^0;control;;0x(10|20);0;[^;]*;1;')" -ge 1 ] || fail "no credit in a request header found:
$fields"
    # Print data from the host.
    [ "$(count '^0;print data;;;;;[0-9]+;;[1-9]')" -ge 1 ] || fail "no print data found:
$fields"
    echo "$n packets decoded: $(count ';print data;') print data, $(count ';0x10;') EEPROM read, $(count ';0x20;') status"
}

command=${1:?command}; shift
case "$command" in
    manpages) cmd_manpages "$@" ;;
    manual) cmd_manual "$@" ;;
    build) cmd_build "$@" ;;
    contents) cmd_contents "$@" ;;
    run) cmd_run "$@" ;;
    wireshark) cmd_wireshark "$@" ;;
    libraries) cmd_libraries "$@" ;;
    lintian) cmd_lintian "$@" ;;
    *) fail "unknown command $command" ;;
esac
