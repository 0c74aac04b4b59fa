#!/usr/bin/env bash
# Checks that the C and C++ files git tracks are formatted as .clang-format
# says (clang-format 14, Debian 12's clang-format package). Changes nothing:
#
#   tools/format-check.sh            every tracked file; lists the ones that differ
#   tools/format-check.sh FILE...    just those files
#   tools/format-check.sh --diff     also prints what clang-format would change
#
# Exit status 0: all formatted; 1: some differ; 2: clang-format is missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

show_diff=0
if [ "${1:-}" = "--diff" ]; then show_diff=1; shift; fi

formatter=""
for candidate in clang-format-14 clang-format; do
    if command -v "$candidate" >/dev/null; then formatter=$candidate; break; fi
done
if [ -z "$formatter" ]; then
    echo "format-check: clang-format not found (apt-get install clang-format)" >&2
    exit 2
fi

files=()
missing=()
if [ "$#" -gt 0 ]; then
    files=("$@")
else
    while IFS= read -r -d '' f; do files+=("$f"); done \
        < <(git ls-files -z -- '*.h' '*.hpp' '*.c' '*.cc' '*.cpp')
fi

# clang-format on batches of files (one process for all would do, but the
# command line has a limit); it names each file that differs in a warning of
# its own. A file that is not there is named too.
present=()
for f in "${files[@]}"; do
    if [ -f "$f" ]; then present+=("$f"); else echo "format-check: no such file: $f" >&2; missing+=("$f"); fi
done
listed=$(
    printf '%s\n' "${missing[@]}"
    printf '%s\0' "${present[@]}" | xargs -0 -r -n 128 "$formatter" --style=file --dry-run 2>&1 \
        | sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' || true
)
listed=$(sort -u <<<"$listed")
differ=0
while IFS= read -r f; do
    [ -n "$f" ] || continue
    echo "$f"
    differ=$((differ + 1))
    if [ "$show_diff" = 1 ] && [ -f "$f" ]; then
        "$formatter" --style=file "$f" | diff -u --label "$f" --label "$f (formatted)" "$f" - || true
    fi
done <<<"$listed"
if [ "$differ" -ne 0 ]; then
    echo "format-check: $differ file(s) differ from .clang-format (clang-format -i FILE to apply)" >&2
    exit 1
fi
echo "format-check: ${#files[@]} files formatted"
