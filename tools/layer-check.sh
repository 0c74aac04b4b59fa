#!/usr/bin/env bash
# Checks that every include runs down the layers, never up or sideways, and
# that Qt stays in the folders that may use it. The layers are those of
# docs/ARCHITECTURE.md ("Layers and how they are enforced"); this table is
# the one the build enforces, so the two change together.
#
#   tools/layer-check.sh [ROOT]
#
# ROOT (default: this checkout) is searched for the C and C++ files git
# tracks there (every file below ROOT when it is not a git work tree). Each
# `#include "folder/..."` or <folder/...> whose first folder is one of the
# tree's top-level folders is checked against the table. Exit status 0: all
# includes keep to the layers; 1: at least one does not (each is listed);
# 2: the check could not run.
set -euo pipefail

root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
[ -d "$root" ] || { echo "layer-check: no such folder: $root" >&2; exit 2; }

# folder: the folders it may include directly (below it). What those may
# include, it may include too. A sub-folder listed on its own is a layer of its
# own; one that is not listed belongs to its parent's layer. "*" is every
# folder (the tests that join layers).
layers='
hexcodec:
hostbridge:
linkport:     hostbridge
chanlink:     hostbridge
i18n:
journal:      i18n
link:         journal chanlink hostbridge
eeprom:       link hexcodec
service:      eeprom
adjust:       service
pagereader:   adjust i18n
cli:          adjust pagereader
ui:           adjust pagereader
vprinter:     chanlink hostbridge
vprinter/panel: vprinter
integration:  *
fuzz:         *
journal/fuzz: *
tools:
'
# Headers any folder may include: the generated version of the programs.
shared_headers='link/Version.h'
# Folders whose code may include Qt, and folders whose tests (*_test.cpp) may
# use Qt's image classes to read pictures back.
qt_folders='ui vprinter/panel integration fuzz'
qt_test_folders='vprinter/engine'

cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    list_files() { git ls-files -z -- '*.h' '*.hpp' '*.c' '*.cc' '*.cpp'; }
else
    list_files() {
        find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' \) \
            -not -path './build/*' -not -path './.git/*' -printf '%P\0'
    }
fi
# The top-level folders of the tree: an include into one of them is ours.
top_folders=$(find . -mindepth 1 -maxdepth 1 -type d -not -name '.*' -printf '%P\n' | sort | tr '\n' ' ')

# file:line:text of every include line; an empty tree passes.
includes=$(list_files | xargs -0 -r grep -nH -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' || true)

printf '%s\n' "$includes" | awk \
    -v layers="$layers" -v shared="$shared_headers" -v top="$top_folders" \
    -v qtok="$qt_folders" -v qttests="$qt_test_folders" '
function folder_of(path,    best, f, n) {
    # The longest listed folder that path lies in; else its first folder.
    best = ""
    for (f in direct)
        if (index(path, f "/") == 1 && length(f) > length(best)) best = f
    if (best != "") return best
    n = index(path, "/")
    return n ? substr(path, 1, n - 1) : ""
}
function in_list(word, list,    parts, i, n) {
    n = split(list, parts, " ")
    for (i = 1; i <= n; i++) if (parts[i] == word) return 1
    return 0
}
function under_any(path, list,    parts, i, n) {
    n = split(list, parts, " ")
    for (i = 1; i <= n; i++) if (index(path, parts[i] "/") == 1) return 1
    return 0
}
BEGIN {
    n = split(layers, lines, "\n")
    for (i = 1; i <= n; i++) {
        line = lines[i]
        if (line !~ /:/) continue
        f = line; sub(/:.*/, "", f); gsub(/[[:space:]]/, "", f)
        rest = line; sub(/^[^:]*:/, "", rest)
        direct[f] = rest
    }
    # Everything a folder may reach: the closure of the table.
    for (f in direct) {
        delete seen; todo = f; reach[f] = " "
        while (todo != "") {
            m = split(todo, queue, " "); todo = ""
            for (j = 1; j <= m; j++) {
                k = split(direct[queue[j]], below, " ")
                for (q = 1; q <= k; q++) {
                    b = below[q]
                    if (b in seen) continue
                    seen[b] = 1; reach[f] = reach[f] b " "; todo = todo " " b
                }
            }
        }
    }
    nt = split(top, tops, " ")
    for (i = 1; i <= nt; i++) istop[tops[i]] = 1
    bad = 0
}
$0 == "" { next }
{
    # path:line:text (paths hold no colon in this tree)
    file = $0; sub(/:.*/, "", file)
    rest = substr($0, length(file) + 2)
    lineno = rest; sub(/:.*/, "", lineno)
    text = substr(rest, length(lineno) + 2)
    inc = text
    sub(/^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]/, "", inc)
    sub(/[">].*$/, "", inc)

    from = folder_of(file)
    if (!(from in direct) && from != "" && index(file, "/")) {
        if (!(from in unplaced)) {
            printf "%s: the folder %s has no place in the layer order (tools/layer-check.sh)\n", file, from
            unplaced[from] = 1; bad = 1
        }
        next
    }
    if (text ~ /^[[:space:]]*#[[:space:]]*include[[:space:]]*</ && inc ~ /^Q[A-Za-z]*(\/|$)|^Qt[A-Za-z]*\//) {
        if (!(in_list(from, qtok) || (file ~ /_test\.cpp$/ && under_any(file, qttests)))) {
            printf "%s:%s: includes <%s>: Qt belongs to the windows, not to %s/\n", file, lineno, inc, from
            bad = 1
        }
        next
    }
    first = inc; sub(/\/.*/, "", first)
    if (first == inc || !(first in istop)) next   # not one of our folders
    if (in_list(inc, shared)) next
    to = folder_of(inc)
    if (to == from) next
    if (index(from, to "/") == 1) next            # a sub-folder may use its parent
    if (!(to in direct)) {
        printf "%s:%s: includes \"%s\": the folder %s has no place in the layer order\n", file, lineno, inc, to
        bad = 1; next
    }
    if (direct[from] ~ /\*/) next
    if (index(reach[from], " " to " ")) next
    printf "%s:%s: includes \"%s\": %s/ may not include from %s/ (it runs up or across the layers)\n", \
        file, lineno, inc, from, to
    bad = 1
}
END { exit bad }
' && status=0 || status=$?

if [ "$status" -ne 0 ]; then
    echo "layer-check: includes that break the layer order (docs/ARCHITECTURE.md, \"Layers and how they are enforced\")" >&2
    exit 1
fi
echo "layer-check: every include keeps to the layers"
