#!/usr/bin/env bash
# Writes the catalogue template of every text the program shows: the marked
# texts and the texts handed to the functions that translate where they show
# them (status memo, message boxes, window builders).
#   po/extract.sh SOURCE_ROOT OUTPUT.pot
set -euo pipefail
root=$1
out=$2
cd "$root"

# The folders of the program; tests, test helpers and tools show nothing to
# a technician.
mapfile -t files < <(find i18n journal link eeprom adjust service pagereader cli ui \
    \( -name testing -o -name tools -o -name fuzz \) -prune -o \
    \( -name '*.cpp' -o -name '*.h' \) ! -name '*_test.cpp' ! -name '*_bench.cpp' -print | LC_ALL=C sort)

common=(--from-code=UTF-8 --language=C++ --no-wrap
        --package-name=svcadjust
        --add-comments=TRANSLATORS:)
# First pass: the marks and every function that translates a text it is
# given, with the place of that text.
keywords=(--keyword=Tr --keyword=SVC_N
          --keyword=SetOperationState:2 --keyword=MessageBox:2 --keyword=BeginLenient:2 --keyword=BeginStrict:2
          --keyword=MakeLabel:1 --keyword=MakeButton:2 --keyword=Heading:1 --keyword=Caption:1
          --keyword=Title:2 --keyword=Text:2 --keyword=Label:2 --keyword=GroupBox:2
          --keyword=Button:3 --keyword=CheckBox:3 --keyword=ClickPanel:2)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Its warnings (an empty text handed to the memo, no bug address) say nothing
# about the catalogue; they are shown only when a pass fails.
pass() {
    local name=$1; shift
    xgettext "${common[@]}" "$@" -o "$tmp/$name.pot" 2>"$tmp/log" || { cat "$tmp/log" >&2; exit 1; }
    [ -f "$tmp/$name.pot" ] && passes+=("$tmp/$name.pot")
    return 0
}
passes=()
pass first "${keywords[@]}" "${files[@]}"
# The EEPROM panels' builder takes its texts first (a button: second).
pass eeprom --keyword --keyword=Title:1 --keyword=Label:1 --keyword=Button:2 --keyword=Group:1 \
    --keyword=PanelButton:3 ui/panels/EepromPanels.cpp
# Message box captions (a keyword takes one text per pass).
pass captions --keyword --keyword=MessageBox:3 "${files[@]}"
# The words drawn in the how-to pictures (ui/howto/ArtWords.cpp translates
# each <text> and <tspan> when it loads a picture); a text without a letter
# (a number, a scale) has nothing to translate.
for art in ui/howto/art/*.svg; do
    awk -v file="$art" '
        function unescape(s) {
            gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&quot;/, "\"", s); gsub(/&apos;/, "\047", s)
            gsub(/&amp;/, "\\&", s)
            return s
        }
        {
            rest = $0
            while (match(rest, /<(text|tspan)([ \t][^>]*)?>[^<]*<\//)) {
                element = substr(rest, RSTART, RLENGTH - 2)
                rest = substr(rest, RSTART + RLENGTH)
                words = unescape(substr(element, index(element, ">") + 1))
                if (words !~ /[A-Za-z]/) continue
                if (!(words in where)) order[++n] = words
                where[words] = where[words] " " file ":" FNR
            }
        }
        END {
            name = file; sub(/.*\//, "", name)
            for (i = 1; i <= n; ++i) {
                id = order[i]
                gsub(/\\/, "\\\\", id); gsub(/"/, "\\\"", id)
                printf "#. TRANSLATORS: drawn in the how-to picture %s, one line of it; the picture leaves no more room than the English takes\n", name
                printf "#:%s\nmsgid \"%s\"\nmsgstr \"\"\n\n", where[order[i]], id
            }
        }' "$art"
done > "$tmp/art.pot"
[ -s "$tmp/art.pot" ] && passes+=("$tmp/art.pot")
msgcat --no-wrap --use-first -o "$tmp/all.pot" "${passes[@]}"
# The creation date would make every run differ; the header names no
# source (an empty memo text is not a text to translate); and the program's
# texts are never printf formats, whatever a "%" in them looks like.
awk '/^msgid / { seen = 1 } !seen && /^#: / { next } { print }' "$tmp/all.pot" \
    | sed -e '/^"POT-Creation-Date:/d' -e '/^#, c-format$/d' \
          -e 's/^"Content-Type: text\/plain; charset=CHARSET\\n"/"Content-Type: text\/plain; charset=UTF-8\\n"/' > "$out"
