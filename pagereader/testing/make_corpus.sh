#!/usr/bin/env bash
# Makes the corpus of degraded pages again (pagereader/testing/corpus/), from
# the build in BUILD_DIR (default build/release): builds the maker and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
cmake --build "$build" --target svc_pagereader_make_corpus
rm -f "$root"/pagereader/testing/corpus/*.jpg "$root"/pagereader/testing/corpus/*.png "$root"/pagereader/testing/corpus/*.expected
# The print files of the stored patterns are found beside the program.
"$build/bin/svc_pagereader_make_corpus" "$root/pagereader/testing/corpus"
du -sh "$root/pagereader/testing/corpus"
