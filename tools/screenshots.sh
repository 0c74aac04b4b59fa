#!/bin/sh
# Saves a picture of every window of the program, driven against the virtual
# printer in the same process, into docs/screenshots/.
#   tools/screenshots.sh [build-dir]      (default: build/release, the one tools/run.sh uses)
# Runs under a virtual X server when xvfb-run is installed, otherwise on Qt's
# offscreen platform; no window manager is needed either way.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build/release"}
out="$root/docs/screenshots"

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
ninja -C "$build" -j2 shotdriver vprinter_panel_shot

mkdir -p "$out"
if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/shotdriver" "$out"
    # The virtual printer's front panel, beside a printer that printed a page.
    xvfb-run -a -s "-screen 0 1600x1200x24" "$build/bin/vprinter_panel_shot" "$out/vprinter-panel.png"
else
    QT_QPA_PLATFORM=offscreen "$build/bin/shotdriver" "$out"
    QT_QPA_PLATFORM=offscreen "$build/bin/vprinter_panel_shot" "$out/vprinter-panel.png"
fi
