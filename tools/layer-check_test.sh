#!/usr/bin/env bash
# The layer check on small trees of its own: a tree that keeps to the layers
# passes, and each kind of fault planted in it fails the check with the file,
# the line and the reason. Then the checkout itself.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
check="$here/layer-check.sh"
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A tree of four layers that keeps to them, as a git work tree.
make_tree() {
    local t=$1
    mkdir -p "$t"/{link,eeprom,service,ui,hostbridge,vprinter/engine,integration,docs}
    printf '#pragma once\n#include <cstdint>\n#include "hostbridge/PortSwitch.h"\n' >"$t/link/Host.h"
    printf '#include "link/Host.h"\n#include "link/Version.h"\n' >"$t/link/Host.cpp"
    printf '#pragma once\n' >"$t/hostbridge/PortSwitch.h"
    printf '#include "link/Host.h"\n#include "hostbridge/PortSwitch.h"\n' >"$t/eeprom/Eeprom.cpp"
    printf '#include "eeprom/Eeprom.h"\n// #include "ui/Window.h" in a comment is no include\n' >"$t/service/Frame.cpp"
    printf '#include <QWidget>\n#include "service/Frame.h"\n#include "link/Host.h"\n' >"$t/ui/Window.cpp"
    printf '#include "link/Version.h"\n#include "hostbridge/PortSwitch.h"\n' >"$t/vprinter/main.cpp"
    printf '#include <QImage>\n#include "vprinter/engine/Png.h"\n' >"$t/vprinter/engine/Png_test.cpp"
    printf '#include "ui/Window.h"\n#include "vprinter/Printer.h"\n#include <QTest>\n' >"$t/integration/Twin_test.cpp"
    printf '#include "ui/Window.h"\n' >"$t/docs/example.md"
    git -C "$t" init -q && git -C "$t" add -A
}

# expect_fail NAME PATTERN: the check of tree NAME fails and says PATTERN.
expect_fail() {
    local t=$1 pattern=$2 out
    if out=$(bash "$check" "$t" 2>&1); then
        fail "$t: a planted fault passed the check"
        return
    fi
    grep -qE -- "$pattern" <<<"$out" || fail "$t: the message does not say '$pattern':"$'\n'"$out"
}

# The clean tree passes.
make_tree "$work/clean"
bash "$check" "$work/clean" >/dev/null 2>&1 || fail "a tree that keeps to the layers was refused: $(bash "$check" "$work/clean" 2>&1)"

# An include that runs up a layer: the link layer reaching the windows.
make_tree "$work/up"
printf '#include "link/Host.h"\n\n#include "ui/Window.h"\n' >"$work/up/link/Status.cpp"
git -C "$work/up" add -A
expect_fail "$work/up" '^link/Status\.cpp:3: includes "ui/Window\.h": link/ may not include from ui/'

# Up more than one layer, from a header, with angle brackets.
make_tree "$work/up2"
printf '#pragma once\n#include <service/Frame.h>\n' >"$work/up2/hostbridge/Io.h"
git -C "$work/up2" add -A
expect_fail "$work/up2" '^hostbridge/Io\.h:2: .*hostbridge/ may not include from service/'

# Sideways: the virtual printer reaching into the program's code.
make_tree "$work/side"
printf '#include "eeprom/Eeprom.h"\n' >"$work/side/vprinter/Printer.cpp"
git -C "$work/side" add -A
expect_fail "$work/side" '^vprinter/Printer\.cpp:1: .*vprinter/ may not include from eeprom/'

# Reaching into the integration folder from a layer.
make_tree "$work/integ"
printf '#include "integration/testing/Twin.h"\n' >"$work/integ/ui/Panel.cpp"
git -C "$work/integ" add -A
expect_fail "$work/integ" 'ui/ may not include from integration/'

# Qt below the windows, also in a test of a layer that may not use it.
make_tree "$work/qt"
printf '#include <QString>\n' >"$work/qt/service/Text.cpp"
printf '#include <QtCore/QObject>\n' >"$work/qt/link/Host_test.cpp"
git -C "$work/qt" add -A
expect_fail "$work/qt" '^service/Text\.cpp:1: includes <QString>: Qt belongs to the windows'
expect_fail "$work/qt" '^link/Host_test\.cpp:1: includes <QtCore/QObject>'

# The engine's non-test code may not use Qt either.
make_tree "$work/qtengine"
printf '#include <QImage>\n' >"$work/qtengine/vprinter/engine/Png.cpp"
git -C "$work/qtengine" add -A
expect_fail "$work/qtengine" '^vprinter/engine/Png\.cpp:1: includes <QImage>'

# A folder the table does not know: both its own files and includes into it.
make_tree "$work/unknown"
mkdir -p "$work/unknown/reports"
printf '#include "link/Host.h"\n' >"$work/unknown/reports/Report.cpp"
printf '#include "reports/Report.h"\n' >"$work/unknown/ui/Reports.cpp"
git -C "$work/unknown" add -A
expect_fail "$work/unknown" '^reports/Report\.cpp: the folder reports has no place in the layer order'
expect_fail "$work/unknown" '^ui/Reports\.cpp:1: .*the folder reports has no place'

# Files git does not track are not the check's business in a work tree...
make_tree "$work/untracked"
printf '#include "ui/Window.h"\n' >"$work/untracked/link/Scratch.cpp"
bash "$check" "$work/untracked" >/dev/null 2>&1 || fail "an untracked file was checked"
# ...but outside one, every file counts.
make_tree "$work/plain"
rm -rf "$work/plain/.git"
printf '#include "ui/Window.h"\n' >"$work/plain/link/Scratch.cpp"
expect_fail "$work/plain" '^link/Scratch\.cpp:1: '

# A folder that does not exist is an error of its own (status 2).
bash "$check" "$work/nowhere" >/dev/null 2>&1
[ $? -eq 2 ] || fail "a missing folder did not end with status 2"

# The checkout itself keeps to the layers.
bash "$check" >/dev/null || fail "the checkout breaks the layer order: $(bash "$check" 2>&1)"

if [ "$failures" -ne 0 ]; then
    echo "$failures layer-check case(s) failed" >&2
    exit 1
fi
echo "layer-check: all cases passed"
