#!/usr/bin/env bash
# Prints the before/after pages of docs/MANUAL.md on the virtual printer and
# crops them into docs/screenshots/page-*.png (installed with the manual). Each case starts a virtual printer with a
# hidden error (--deviation), prints the pattern with svcadjust-cli, inputs the
# value the page shows, and prints again.
#
#   tools/manual-pictures.sh [BIN_DIR]     BIN_DIR: where vprinter and
#                                          svcadjust-cli are (default build/release/bin)
# Needs imagemagick (convert). The raw pages stay in $TMPDIR/manual-pictures.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=${1:-$root/build/release/bin}
out=$root/docs/screenshots
raw=${TMPDIR:-/tmp}/manual-pictures
rm -rf "$raw"; mkdir -p "$raw" "$out"

vp_pid=
sock=
# vp_start CASE MODEL [vprinter options...]: a fresh printer whose pages go to $raw/CASE
vp_start() {
  local name=$1 model=$2; shift 2
  mkdir -p "$raw/$name"
  sock=$raw/$name.sock
  "$bin/vprinter" --quiet --speed unlimited --speed-up 100 --socket "$sock" --model "$model" \
    --eeprom "$raw/$name/eeprom.bin" --pages "$raw/$name" "$@" &
  vp_pid=$!
  for _ in $(seq 50); do [ -S "$sock" ] && break; sleep 0.1; done
  [ -S "$sock" ] || { echo "the virtual printer did not start" >&2; exit 1; }
  cur=$name; curmodel=$model
}
vp_stop() { kill "$vp_pid"; wait "$vp_pid" || true; vp_pid=; }
trap '[ -n "$vp_pid" ] && kill "$vp_pid" 2>/dev/null; true' EXIT
cli() { SVCADJUST_PORTMAP="LPT1=unix:$sock" "$bin/svcadjust-cli" --model "$curmodel" --port LPT1 --yes "$@"; }
send() { "$bin/vprinter" --control "$sock.ctl" --send "$*" >/dev/null; }
page() { printf '%s/%s/page-%04d.png' "$raw" "$cur" "$1"; }
# shot OUT.png IN.png GEOMETRY [SCALE%]: crop, magnify without blurring, 64 colours
shot() {
  convert "$2" -crop "$3" +repage -filter point -resize "${4:-100}%" -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$out/$1"
}
# side OUT.png A.png B.png / stack OUT.png A.png B.png: two crops with a gap
side()  { convert "$2" "$3" -bordercolor gray60 -border 2 -background white -splice 40x0 +append -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$out/$1"; }
stack() { convert "$2" "$3" -bordercolor gray60 -border 2 -background white -splice 0x30 -append -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$out/$1"; }
tmp=$raw/crops; mkdir -p "$tmp"

# Bi-D, VSD1 Black off by 5; the factory value 3 prints the trials 1, 3, 5.
vp_start bid 4100 --deviation bid.vsd1.black=5 --deviation bid.vsd1.color=5
cli bid-print VSD1 bid-input VSD1Bk=5 bid-print VSD1 >/dev/null
vp_stop
for i in 1 2; do
  convert "$(page $i)" -crop 330x770+410+190 +repage -filter point -resize 200% "$tmp/bid$i.png"
done
side page-bid-before-after.png "$tmp/bid1.png" "$tmp/bid2.png"

# PF off by 2 (the factory value is 1); the value is used from the next start.
vp_start pf 4100 --deviation pf=2
cli pf-print a4-check-print pf-input 2 >/dev/null
vp_stop
vp_start pf 4100 --deviation pf=2
cli a4-check-print >/dev/null
vp_stop
convert "$(page 1)" -crop 850x3420+1086+220 +repage -resize 50% -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$out/page-pf-pattern.png"
for i in 2 3; do
  convert "$(page $i)" -crop 700x180+714+480 +repage -filter point -resize 200% "$tmp/pf$i.png"
done
stack page-pf-check-before-after.png "$tmp/pf2.png" "$tmp/pf3.png"

# PW sensor: Top 4, Bottom -6, Left 6, Right -4. The red line is a ruler 5 mm
# (71 pixels at 360 dpi) from the edge.
vp_start pw 4100 --deviation pw.top=4 --deviation pw.bottom=-6 --deviation pw.left=6 --deviation pw.right=-4
cli pw-print pw-input Top=4 Bottom=-6 Left=6 Right=-4 pw-read >/dev/null
vp_stop
convert "$(page 1)" -crop 870x200+1330+0 +repage -background white -splice 130x0 \
  -fill none -stroke red -draw "stroke-dasharray 6 6 line 0,71 1000,71" -stroke none -fill red \
  -pointsize 22 -draw "text 5,62 '5 mm'" -filter point -resize 200% -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$out/page-pw-top.png"
convert "$(page 1)" -crop 300x1000+0+850 +repage -background white -splice 0x60 \
  -fill none -stroke red -draw "stroke-dasharray 6 6 line 71,0 71,1060" -stroke none -fill red \
  -pointsize 22 -draw "text 80,30 '5 mm'" -filter point -resize 150% -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$out/page-pw-left.png"

# Pixel shift, line A off by 2: candidates 0 to 4 of line A, magnified twice.
vp_start shift 4100 --deviation shift.a=2
cli pixel-shift-print pixel-shift-input A=2 pixel-shift-print >/dev/null
vp_stop
for i in 1 2; do
  parts=()
  for c in 0 1 2 3 4; do
    convert "$(page $i)" -crop 100x840+$((1349 + (c + 5) * 960 - 50))+1440 +repage \
      -filter point -resize 200% "$tmp/shift$i-$c.png"
    parts+=("$tmp/shift$i-$c.png")
  done
  convert "${parts[@]}" -background white -splice 30x0 +append "$tmp/shift$i.png"
done
[ "$(compare -metric AE "$tmp/shift1.png" "$tmp/shift2.png" null: 2>&1)" = 0 ] || echo "note: the pixel shift pattern changed after the input" >&2
convert "$tmp/shift1.png" -bordercolor gray60 -border 2 -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$out/page-pixel-shift-line-a.png"

# Cut position on roll paper, cutter off by 24/360 inch: mark 6.
vp_start cut 4100 --roll-paper --deviation cut=24
cli cut-print cut-input 6 cut-print >/dev/null
vp_stop
convert "$(page 1)" -crop 1800x283+0+80 +repage -gravity south -background gray60 -splice 0x3 -colors 64 -strip -define png:exclude-chunks=date,time "PNG8:$out/page-cut-pattern.png"

# Head angular: the lever 4 steps off; turned to 0 while the carriage is out
# (script gives the program a terminal, so it waits for Enter at its question).
vp_start hdang 4100 --deviation head-angle=4
cli head-angular-print >/dev/null
( sleep 3; send head-angle 0; sleep 1; echo ) | SVCADJUST_PORTMAP="LPT1=unix:$sock" \
  script -qfec "$bin/svcadjust-cli --model 4100 --port LPT1 head-angular-adjust" /dev/null >/dev/null
cli head-angular-print >/dev/null
vp_stop
for i in 1 2; do convert "$(page $i)" -crop 700x300+0+0 +repage "$tmp/hdang$i.png"; done
stack page-head-angular-before-after.png "$tmp/hdang1.png" "$tmp/hdang2.png"

# Nozzle check: black nozzles 5 and 17 clogged, 17 needing two cleanings.
vp_start nozzle 4100 --deviation clog.black=5,17:2
cli nozzle-check-print head-cleaning nozzle-check-print head-cleaning nozzle-check-print >/dev/null
vp_stop
for i in 1 2 3; do
  convert "$(page $i)" -crop 740x220+0+0 +repage -filter point -resize 150% "$tmp/nozzle$i.png"
done
convert "$tmp/nozzle1.png" "$tmp/nozzle2.png" "$tmp/nozzle3.png" -bordercolor gray60 -border 2 \
  -background white -splice 0x30 -append -colors 64 -strip -define png:exclude-chunks=date,time \
  "PNG8:$out/page-nozzle-check-cleaning.png"

# PG: the main shaft's left point 4 steps off, then set right. Each
# svcadjust-cli run is a session of its own whose start sends the carriage
# home, so the gap tool (control pg-set at a point) cannot be reached between
# two runs; clearing the error stands in for it.
vp_start pg 4100 --deviation pg.main-left=4
cli pg-print >/dev/null
send deviation pg.main-left 0
cli pg-print >/dev/null
vp_stop
for i in 1 2; do convert "$(page $i)" -crop 300x470+0+0 +repage -filter point -resize 150% "$tmp/pg$i.png"; done
side page-pg-before-after.png "$tmp/pg1.png" "$tmp/pg2.png"

# First dot 36 steps off; the factory value -6 is stored.
vp_start firstdot 4100 --deviation first-dot=36
# Read -6, the line 174 steps in: -6 + 144 - 174 = -36.
cli first-dot-print first-dot-input -36 first-dot-print >/dev/null
vp_stop
for i in 1 2; do convert "$(page $i)" -crop 300x300+0+0 +repage -filter point -resize 200% "$tmp/firstdot$i.png"; done
side page-first-dot-before-after.png "$tmp/firstdot1.png" "$tmp/firstdot2.png"

ls -l "$out"/page-*
