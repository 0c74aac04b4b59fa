#!/usr/bin/env bash
# Checks the translations against the sources:
# - po/svcadjust.pot is current: it has every text the sources mark, and no
#   text they no longer have (make it current with the target update-po);
# - every catalogue in po/LINGUAS translates every text of the template, none
#   fuzzy, and compiles with msgfmt --check;
# - a translation keeps the numbered places (%1 ... %9) of its text.
#   po/check_catalogues.sh SOURCE_ROOT
set -uo pipefail
root=$1
po=$root/po
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }

bash "$po/extract.sh" "$root" "$tmp/fresh.pot" || { echo "FAILED: the texts cannot be extracted" >&2; exit 1; }
if ! msgcmp --use-untranslated "$po/svcadjust.pot" "$tmp/fresh.pot" 2>"$tmp/missing"; then
    cat "$tmp/missing" >&2
    fail "po/svcadjust.pot lacks texts the sources mark (run the target update-po)"
fi
if ! msgcmp --use-untranslated "$tmp/fresh.pot" "$po/svcadjust.pot" 2>"$tmp/stale"; then
    cat "$tmp/stale" >&2
    fail "po/svcadjust.pot has texts the sources no longer mark (run the target update-po)"
fi

while read -r lang; do
    case $lang in ''|'#'*) continue ;; esac
    catalogue=$po/$lang.po
    [ -f "$catalogue" ] || { fail "po/$lang.po is missing"; continue; }
    if ! msgcmp "$catalogue" "$po/svcadjust.pot" 2>"$tmp/untranslated"; then
        cat "$tmp/untranslated" >&2
        fail "po/$lang.po does not translate every text of the template"
    fi
    if ! stats=$(msgfmt --check --statistics -o /dev/null "$catalogue" 2>&1); then
        echo "$stats" >&2
        fail "po/$lang.po does not compile"
    elif [[ $stats == *fuzzy* || $stats == *untranslated* ]]; then
        fail "po/$lang.po: $stats"
    fi
    # Each text with its translation on one line each, then the places compared.
    msgattrib --no-obsolete --no-wrap "$catalogue" 2>/dev/null \
        | awk -v lang="$lang" '
            function places(s,   out, i) {
                out = ""
                for (i = 1; i <= 9; ++i) if (index(s, "%" i)) out = out i
                return out
            }
            function check() {
                if (id != "" && str != "" && places(id) != places(str)) {
                    printf "po/%s.po: the numbered places differ: %s -> %s\n", lang, id, str
                    bad = 1
                }
            }
            /^msgid "/  { check(); id = substr($0, 8); str = ""; next }
            /^msgstr "/ { str = substr($0, 9); next }
            END { check(); exit bad }' >&2 \
        || fail "po/$lang.po changes the numbered places of a text"
done < "$po/LINGUAS"

if [ "$failed" -eq 0 ]; then echo "the catalogues are current and complete"; fi
exit "$failed"
