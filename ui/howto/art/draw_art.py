# Draws the how-to artwork into the SVG files beside this script.
# The overlay labels of the pages (VexHowTo*.cpp) are placed against these
# coordinates, so move them together. Run: python3 draw_art.py
# The words drawn are texts of the translation catalogue (po/extract.sh takes
# them from the SVG files): after changing one, run the target update-po and
# translate it, in no more room than the English takes.
import os
OUT = os.path.dirname(os.path.abspath(__file__))
FONT = 'font-family="Arial" font-weight="bold"'
GRAY, MAG, CYAN = "#7a7a7a", "#e36fc0", "#1aa3dc"
OKC, NGC = "#1a8a2e", "#d01818"

def svg(name, w, h, body, bg=None):
    head = f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" width="{w}" height="{h}" viewBox="0 0 {w} {h}">\n'
    if bg:
        head += f'<rect x="0" y="0" width="{w}" height="{h}" fill="{bg}"/>\n'
    with open(os.path.join(OUT, name + ".svg"), "w") as f:
        f.write(head + "\n".join(body) + "\n</svg>\n")

def text(x, y, s, size, fill="#000", anchor="start"):
    return f'<text x="{x}" y="{y}" {FONT} font-size="{size}" fill="{fill}" text-anchor="{anchor}">{s}</text>'

def ok_mark(cx, cy, r=6):
    return f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="none" stroke="{OKC}" stroke-width="2.5"/>'

def ng_mark(cx, cy, r=5):
    return (f'<path d="M{cx-r},{cy-r} L{cx+r},{cy+r} M{cx+r},{cy-r} L{cx-r},{cy+r}" '
            f'stroke="{NGC}" stroke-width="2.5" fill="none"/>')

def arrow(x1, y1, x2, y2, colour, width=2, head=6):
    # A line with a filled head at (x2, y2); drawn by hand since markers are
    # not part of the tiny profile.
    import math
    a = math.atan2(y2 - y1, x2 - x1)
    bx, by = x2 - head * math.cos(a), y2 - head * math.sin(a)
    px, py = -math.sin(a) * head * 0.6, math.cos(a) * head * 0.6
    return (f'<line x1="{x1}" y1="{y1}" x2="{bx:.1f}" y2="{by:.1f}" stroke="{colour}" stroke-width="{width}"/>'
            f'<polygon points="{x2},{y2} {bx+px:.1f},{by+py:.1f} {bx-px:.1f},{by-py:.1f}" fill="{colour}"/>')

def dim(x1, y1, x2, y2, colour="#000"):
    # Dimension line with heads on both ends.
    mx, my = (x1 + x2) / 2, (y1 + y2) / 2
    return arrow(mx, my, x1, y1, colour, 1, 4) + arrow(mx, my, x2, y2, colour, 1, 4)

# ---------------------------------------------------------------- head angular
def head_angular():
    b = []
    b.append(text(12, 20, "Correct: the lines are evenly spaced", 13, OKC))
    b.append('<rect x="10" y="28" width="436" height="76" fill="#fff" stroke="#555" stroke-width="1"/>')
    for i in range(24):
        x = 27 + i * 17.5
        b.append(f'<rect x="{x:.1f}" y="38" width="4" height="56" fill="{GRAY if i % 2 == 0 else MAG}"/>')
    b.append(ok_mark(256, 15, 7))
    for side, (x0, shift, direction) in enumerate([(10, 7, -1), (234, -7, 1)]):
        w = 212
        b.append(f'<rect x="{x0}" y="134" width="{w}" height="202" rx="6" fill="#f4f4f4" stroke="#555" stroke-width="1"/>')
        b.append(text(x0 + 10, 152, "Wrong (enlarged)", 13, NGC))
        b.append(ng_mark(x0 + w - 16, 147))
        b.append(f'<rect x="{x0+8}" y="160" width="{w-16}" height="84" fill="#fff" stroke="#999" stroke-width="1"/>')
        period = 38
        for k in range(5):
            gx = x0 + 20 + k * period
            b.append(f'<rect x="{gx}" y="168" width="8" height="68" fill="{GRAY}"/>')
            mx = gx + period / 2 + shift
            if x0 + 12 < mx < x0 + w - 20:
                b.append(f'<rect x="{mx:.1f}" y="168" width="8" height="68" fill="{MAG}"/>')
        # The lever: a slot with the knob and the way to push it.
        cx = x0 + w / 2
        b.append(f'<rect x="{cx-70}" y="268" width="140" height="12" rx="6" fill="#ccc" stroke="#444" stroke-width="1"/>')
        b.append(f'<rect x="{cx-7}" y="258" width="14" height="32" rx="3" fill="#333"/>')
        b.append(arrow(cx + direction * 14, 274, cx + direction * 62, 274, "#0040c0", 4, 12))
        b.append(text(cx, 310, "Move the lever", 13, "#000", "middle"))
        b.append(text(cx, 327, "this way", 13, "#000", "middle"))
    svg("head_angular", 456, 343, b)

# ---------------------------------------------------------------- PF blocks
def noise(x, y, w, h, colour):
    out = [f'<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="#8fd0ec"/>']
    for r in range(0, h, 2):
        off = (r * 3) % 5
        out.append(f'<line x1="{x+off}" y1="{y+r+1}" x2="{x+w}" y2="{y+r+1}" stroke="{colour}" '
                   f'stroke-width="1.2" stroke-dasharray="2,{2 + r % 3}"/>')
    return "".join(out)

def pf_blocks():
    b = [text(8, 16, "Printed blocks", 12)]
    for i, v in enumerate(range(-4, 5)):
        y0 = 26 + i * 46
        d = (3 - v) * 1.5  # white gap above the lower block; 0 at the best value
        b.append(f'<rect x="12" y="{y0}" width="96" height="16" fill="{CYAN}"/>')
        b.append(noise(12, y0 + 16, 96, 8, CYAN))
        top = y0 + 24 + d
        b.append(noise(58, top, 62, 12, CYAN))
        if d < 0:  # the blocks overlap: a darker band
            b.append(f'<rect x="58" y="{top}" width="50" height="{-d}" fill="#0b5f86"/>')
        b.append(text(160, y0 + 26, str(v), 13, "#000", "end"))
        if v == 3:
            b.append(f'<rect x="6" y="{y0-5}" width="161" height="46" fill="none" stroke="{OKC}" stroke-width="2" rx="4"/>')
    svg("pf_blocks", 173, 442, b, "#fff")

# ---------------------------------------------------------------- pixel shift
def line_group(cx, top, offsets, colour, seg=14, width=3):
    out = []
    for k, off in enumerate(offsets):
        out.append(f'<rect x="{cx - width/2 + off:.1f}" y="{top + k*seg}" width="{width}" height="{seg}" fill="{colour}"/>')
    return "".join(out)

def pixel_shift():
    b = []
    for cx, offs, ok in [(32, [0, 4, 0, 4], False), (88, [0, 0, 0, 0], True), (144, [0, -4, 0, -4], False)]:
        b.append(f'<rect x="{cx-22}" y="22" width="44" height="62" fill="#f6f6f6" stroke="#bbb" stroke-width="1"/>')
        b.append(line_group(cx - 8, 25, offs, "#222"))
        b.append(line_group(cx + 8, 25, [o * -1 for o in offs], "#2a6fd6"))
        b.append(ok_mark(cx, 94) if ok else ng_mark(cx, 94))
    svg("pixel_shift", 175, 104, b, "#fff")

# ---------------------------------------------------------------- Bi-D
def bid_lines():
    b = []
    for cx, off, ok in [(30, 5, False), (100, 0, True), (170, -5, False)]:
        b.append(f'<rect x="{cx-26}" y="6" width="52" height="78" fill="#f6f6f6" stroke="#bbb" stroke-width="1"/>')
        for lx in (cx - 12, cx, cx + 12):
            offs = [0 if k % 2 == 0 else off for k in range(6)]
            b.append(line_group(lx, 9, offs, "#222", seg=12, width=3))
        b.append(ok_mark(cx, 98) if ok else ng_mark(cx, 98))
    svg("bid_lines", 200, 111, b, "#fff")

# ---------------------------------------------------------------- PW sheet
def pw_sheet():
    L, R, T, B = 30, 317, 20, 460
    g = 26  # 5 mm from the edge
    b = [f'<rect x="{L}" y="{T}" width="{R-L}" height="{B-T}" fill="#fff" stroke="#333" stroke-width="1.5"/>']
    dash = 'stroke="#9a9a9a" stroke-width="1" stroke-dasharray="3,3"'
    b.append(f'<line x1="{L}" y1="{T+g}" x2="{R}" y2="{T+g}" {dash}/>')
    b.append(f'<line x1="{L}" y1="{B-g}" x2="{R}" y2="{B-g}" {dash}/>')
    b.append(f'<line x1="{L+g}" y1="{T}" x2="{L+g}" y2="{B}" {dash}/>')
    b.append(f'<line x1="{R-g}" y1="{T}" x2="{R-g}" y2="{B}" {dash}/>')
    # Top and bottom scales: one tick every 2 steps, a label every 4.
    for i in range(17):
        x = 70 + i * 13
        vt, vb = -16 + 2 * i, 16 - 2 * i
        yt = T + g + (8 - vt) * 0.75
        yb = B - g - (vb - (-2)) * 0.75
        ct = NGC if vt == 8 else "#222"
        cb = NGC if vb == -2 else "#222"
        b.append(f'<line x1="{x}" y1="{yt}" x2="{x}" y2="{yt+14}" stroke="{ct}" stroke-width="{2.5 if vt == 8 else 1.5}"/>')
        b.append(f'<line x1="{x}" y1="{yb}" x2="{x}" y2="{yb-14}" stroke="{cb}" stroke-width="{2.5 if vb == -2 else 1.5}"/>')
        if vt % 4 == 0:
            b.append(text(x, 84, str(vt), 8, "#222", "middle"))
        if vb % 4 == 0:
            b.append(text(x, 404, str(vb), 8, "#222", "middle"))
    # Left and right scales: rows from -8 to 24.
    for i in range(17):
        y = 112 + i * 15
        v = -8 + 2 * i
        xl = L + g + (4 - v) * 0.75
        xr = R - g - (2 - v) * 0.75
        cl = NGC if v == 4 else "#222"
        cr = NGC if v == 2 else "#222"
        b.append(f'<line x1="{xl}" y1="{y}" x2="{xl+16}" y2="{y}" stroke="{cl}" stroke-width="{2.5 if v == 4 else 1.5}"/>')
        b.append(f'<line x1="{xr}" y1="{y}" x2="{xr-16}" y2="{y}" stroke="{cr}" stroke-width="{2.5 if v == 2 else 1.5}"/>')
        if v % 4 == 0:
            b.append(text(L + g + 36, y + 3, str(v), 8, "#222", "end"))
            b.append(text(R - g - 36, y + 3, str(v), 8, "#222"))
    # Dimension arrows for the four 5 mm marks.
    b.append(dim(124, T, 124, T + g))
    b.append(dim(124, B - g, 124, B))
    b.append(dim(L, 104, L + g, 104))
    b.append(dim(R - g, 104, R, 104))
    # Pointers from the red notes to the chosen lines.
    b.append(arrow(226, 18, 226, T + g - 3, NGC, 1.5, 5))
    b.append(arrow(187, 463, 187, B - g + 3, NGC, 1.5, 5))
    b.append(arrow(98, 228, 76, 205, NGC, 1.5, 5))
    b.append(arrow(252, 198, 273, 189, NGC, 1.5, 5))
    svg("pw_sheet", 347, 483, b, "#fff")

# ---------------------------------------------------------------- cut marks
def cut_marks():
    b = []
    cut = 44
    for k in range(1, 18):
        x = 17 + (k - 1) * 26
        edge = cut + (k - 9) * 2  # black meets orange here
        b.append(f'<rect x="{x+3}" y="10" width="20" height="{edge-10}" fill="#111"/>')
        b.append(f'<rect x="{x+3}" y="{edge}" width="20" height="{70-edge}" fill="#ff8000"/>')
        b.append(text(x + 13, 88, str(k), 12, NGC if k == 9 else "#000", "middle"))
    b.append(f'<line x1="8" y1="{cut}" x2="468" y2="{cut}" stroke="#d01818" stroke-width="1.5" stroke-dasharray="6,3"/>')
    b.append(arrow(238, 132, 238, 94, NGC, 3, 10))
    svg("cut_marks", 476, 144, b, "#fff")

# ---------------------------------------------------------------- PG mechanism
def pg_mechanism():
    b = ['<rect x="0" y="0" width="282" height="174" fill="#eef1f4"/>']
    # Side frames and base.
    b.append('<rect x="14" y="16" width="16" height="146" fill="#8d949c" stroke="#555" stroke-width="1"/>')
    b.append('<rect x="252" y="16" width="16" height="146" fill="#8d949c" stroke="#555" stroke-width="1"/>')
    b.append('<rect x="14" y="156" width="254" height="10" fill="#8d949c" stroke="#555" stroke-width="1"/>')
    # Platen.
    b.append('<rect x="52" y="140" width="178" height="10" rx="3" fill="#3b3b3b"/>')
    for y, name in [(62, "main shaft"), (112, "sub shaft")]:
        b.append(f'<rect x="22" y="{y-5}" width="238" height="10" rx="5" fill="#c7ccd2" stroke="#555" stroke-width="1"/>')
        b.append(text(88, y + 20, name, 11, "#333", "middle"))
        for x in (44, 238):
            b.append(f'<circle cx="{x}" cy="{y}" r="11" fill="#e8b83a" stroke="#6b4f00" stroke-width="1.5"/>')
            b.append(f'<circle cx="{x}" cy="{y}" r="4" fill="#c7ccd2" stroke="#6b4f00" stroke-width="1"/>')
            b.append(f'<rect x="{x-2}" y="{y-22}" width="4" height="12" fill="#6b4f00"/>')
    # The carriage riding on both shafts.
    b.append('<rect x="150" y="40" width="44" height="86" rx="4" fill="#5a6b7d" stroke="#2c3640" stroke-width="1.5"/>')
    b.append('<rect x="155" y="120" width="34" height="10" fill="#2c3640"/>')
    for x in (44, 238):
        for y in (40, 140):
            b.append(f'<circle cx="{x + (12 if x > 141 else -12)}" cy="{y - (2 if y < 100 else 6)}" r="9" fill="#fff" stroke="#d01818" stroke-width="1.5"/>')
    svg("pg_mechanism", 282, 174, b)

# ---------------------------------------------------------------- A4 margin
def a4_margin():
    edge, lo, hi, start = 60, 100, 150, 125
    b = [f'<rect x="0" y="0" width="{edge}" height="110" fill="#d8d8d8"/>']
    b.append(text(edge / 2, 50, "paper", 10, "#333", "middle"))
    b.append(text(edge / 2, 62, "edge", 10, "#333", "middle"))
    b.append(f'<line x1="{edge}" y1="0" x2="{edge}" y2="110" stroke="#333" stroke-width="2"/>')
    b.append(f'<rect x="{lo}" y="20" width="{hi-lo}" height="66" fill="#bfe8c8"/>')
    for x in (lo, hi):
        b.append(f'<line x1="{x}" y1="20" x2="{x}" y2="86" stroke="#1a8a2e" stroke-width="1" stroke-dasharray="3,2"/>')
    b.append(text((lo + hi) / 2, 14, "1.9mm~3.5mm", 12, "#1a8a2e", "middle"))
    b.append(f'<rect x="{start}" y="36" width="{310-start}" height="34" fill="#111"/>')
    b.append(dim(edge, 96, start, 96, "#0040c0"))
    b.append(text(start + 8, 100, "left margin", 11, "#0040c0"))
    svg("a4_margin", 319, 110, b, "#fff")

# ---------------------------------------------------------------- A4 blocks
def a4_blocks():
    b = []
    for cx, d, ok in [(22, 5, False), (64, 0, True), (106, -5, False)]:
        b.append(f'<rect x="{cx-15}" y="10" width="30" height="36" fill="{CYAN}"/>')
        b.append(f'<rect x="{cx-15}" y="{46+d}" width="30" height="36" fill="{CYAN}"/>')
        if d < 0:
            b.append(f'<rect x="{cx-15}" y="{46+d}" width="30" height="{-d}" fill="#0b5f86"/>')
        b.append(ok_mark(cx, 102, 8) if ok else ng_mark(cx, 102, 7))
    svg("a4_blocks", 129, 120, b, "#fff")

for f in (head_angular, pf_blocks, pixel_shift, bid_lines, pw_sheet, cut_marks, pg_mechanism, a4_margin, a4_blocks):
    f()
