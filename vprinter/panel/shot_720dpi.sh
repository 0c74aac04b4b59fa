#!/usr/bin/env bash
# Pictures of the real vprinter-panel beside a virtual Corvid Lumen 4100 that
# prints its pages at 720 dpi, after svcadjust-cli printed the A3+ check sheet:
# the panel (vprinter-panel-720dpi.png), and the sheet's large view at full
# size over the Bi-D lines (vprinter-panel-zoom.png). Needs a display, xdotool
# and imagemagick:
#
#   xvfb-run -a -s "-screen 0 1600x1000x24" vprinter/panel/shot_720dpi.sh [OUT_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bin=${SVC_BIN:-$root/build/release/bin}
out=${1:-$root/docs/screenshots}
for tool in xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "error: $tool is missing (apt-get install xdotool imagemagick)" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "error: no display; run it under xvfb-run -a" >&2; exit 1; }

run=$(mktemp -d "${TMPDIR:-/tmp}/panel-shot.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$run"
}
trap cleanup EXIT INT TERM

"$bin/vprinter" --socket "$run/vp.sock" --model 4100 --dpi 720 --pages "$run/pages" --eeprom "$run/eeprom.bin" \
  >"$run/vprinter.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "$run/vp.sock" ] && break; sleep 0.1; done
[ -S "$run/vp.sock" ] || { echo "error: the virtual printer did not start" >&2; exit 1; }
"$bin/vprinter-panel" --control "$run/vp.sock.ctl" >"$run/panel.log" 2>&1 &
pids+=($!)

SVCADJUST_PORTMAP="LPT1=unix:$run/vp.sock" timeout 300 \
  "$bin/svcadjust-cli" --model 4100 --port LPT1 --yes a3-check-print >"$run/cli.log" 2>&1 ||
  { cat "$run/cli.log" >&2; exit 1; }

# The panel window, then time for it to read the page.
panel=
for _ in $(seq 100); do
  panel=$(xdotool search --name '^Virtual printer panel' 2>/dev/null | head -1) && [ -n "$panel" ] && break
  sleep 0.2
done
[ -n "$panel" ] || { echo "error: no panel window" >&2; exit 1; }
sleep 6
eval "$(xdotool getwindowgeometry --shell "$panel")"
import -window root "$run/root.png"
convert "$run/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/vprinter-panel-720dpi.png"

# A click on the thumbnail opens the large view; a click there, full size
# under the pointer: the Bi-D lines below the colour patches.
xdotool mousemove $((X + WIDTH * 533 / 1197)) $((Y + HEIGHT * 168 / 643)) click 1
sleep 2
view=$(xdotool search --name '^Page 1 - ' | head -1)
eval "$(xdotool getwindowgeometry --shell "$view")"
xdotool mousemove $((X + 300)) $((Y + 322)) click 1
sleep 6
import -window root "$run/root.png"
convert "$run/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/vprinter-panel-zoom.png"
echo "wrote $out/vprinter-panel-720dpi.png and $out/vprinter-panel-zoom.png"
