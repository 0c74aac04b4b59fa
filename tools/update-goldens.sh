#!/usr/bin/env bash
# Rewrites the golden transcripts from what the code sends now, in their
# readable form: first the tests that compare them write the plain bytes
# (SVC_UPDATE_GOLDEN=1), then svc_golden_transcripts_test splits each send
# into the job commands the printer reads in it. Review the result with
# `git diff` before committing it: every changed byte shows there.
#
#   tools/update-goldens.sh [BUILD_DIR]     (default build/release, built)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/release}
[ -f "$build/CTestTestfile.cmake" ] || { echo "update-goldens: $build is not a configured build folder" >&2; exit 2; }

# The programs of the tests that compare transcripts with golden files.
writers=(svc_adjust_CheckPattern_test svc_adjust_BidPf_test svc_position_adjust_test svc_eeprom_golden_test
         svc_ServiceTwin_test vprinter_link_test)
export QT_QPA_PLATFORM=offscreen SVC_UPDATE_GOLDEN=1
for test in "${writers[@]}"; do
    [ -x "$build/bin/$test" ] || { echo "update-goldens: $build/bin/$test is not built" >&2; exit 2; }
    (cd "$build" && "bin/$test") >/dev/null || { echo "update-goldens: $test failed while writing" >&2; exit 1; }
done
"$build/bin/svc_golden_transcripts_test" --gtest_filter='GoldenFiles.*'
echo "update-goldens: done; git diff -- '*/golden/*' shows what changed"
