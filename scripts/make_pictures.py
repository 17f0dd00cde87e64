#!/usr/bin/python3
"""Draws every picture the resource script of Calvera Tessel for Excel uses.

Run from the repository root:

    /usr/bin/python3 scripts/make_pictures.py

Everything is drawn with code (PIL only) into res/pictures/.  The output is
the same, byte for byte, on every run: no timestamps, fixed random seeds.
After writing, the script reads its files back and checks sizes, bit depths,
transparency keys and icon layout; a contact sheet for eyeballing the whole
set goes to /tmp/pictures_contact.png (outside the repository).

Conventions
  * Shapes are drawn at 4x on an RGBA canvas ("Canvas") and scaled down.
  * Pictograms are designed on a 48 x 48 grid (menu pictures on 16 x 16) and
    placed with Canvas.frame(x, y, size, units).
  * Toolbar pictures use colour keys: pure black (away) and RGB(189,230,231)
    (over) are transparent.  Edges are blended onto the main background that
    sits behind the toolbar, then cut with a hard alpha threshold, so the key
    colour is never mixed into a visible pixel.
  * Icons are written as classic DIB entries (32 bpp BGRA + AND mask).
"""

import math
import os
import random
import struct
import sys
from collections import deque

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT_DIR = os.path.join(ROOT, "res", "pictures")
CONTACT_SHEET = "/tmp/pictures_contact.png"

SS = 4  # supersampling factor

# ----------------------------------------------------------------- palette
WHITE = (255, 255, 255)
TEXT_DARK = (28, 44, 62)
TEAL = (31, 95, 139)           # brand colour
TEAL_DARK = (17, 58, 89)
TEAL_MID = (52, 128, 178)
TEAL_LIGHT = (122, 184, 222)
GREEN = (33, 150, 83)          # repaired / spreadsheet
GREEN_HI = (72, 196, 120)
GREEN_DARK = (19, 104, 58)
GREEN_PALE = (214, 238, 222)
AMBER = (242, 163, 28)         # working
AMBER_HI = (255, 202, 90)
AMBER_DARK = (184, 110, 8)
RED = (214, 58, 50)            # failed
RED_HI = (240, 110, 96)
RED_DARK = (150, 30, 26)
SLATE = (112, 136, 164)        # queued
SLATE_HI = (158, 180, 204)
SLATE_DARK = (70, 90, 116)
STEEL_HI = (222, 229, 237)
STEEL = (150, 164, 180)
STEEL_DARK = (70, 84, 102)
FOLDER_HI = (255, 214, 110)
FOLDER = (238, 176, 52)
FOLDER_DARK = (178, 120, 18)

AWAY_KEY = (0, 0, 0)           # transparent colour of the "away" toolbar pictures
OVER_KEY = (189, 230, 231)     # transparent colour of the "over" toolbar pictures
MENU_BG = (240, 240, 240)      # colour of the menu's picture column

# Main window: where the controls sit on the background (x, y, w, h).
MAIN_SIZE = (792, 508)
TOOLBAR_SLOTS = [(19, 19), (109, 19), (199, 19), (289, 19), (379, 19)]
TOOLBAR_SIZE = (68, 70)
HOME_LINK_RECT = (618, 2, 132, 59)
LIST_RECT = (10, 115, 771, 275)
LABEL_RECT = (76, 432, 471, 39)
NEXT_RECT = (691, 424, 49, 49)
HEADER_BOTTOM = 96
FOOTER_TOP = 414


# ------------------------------------------------------------------- fonts
FONT_DIRS = ("/usr/share/fonts/truetype/dejavu",
             "/usr/share/fonts/truetype/liberation")
_fonts = {}


def font(name, px):
    """TrueType font or None when the file is missing (then we draw no text)."""
    key = (name, int(px))
    if key not in _fonts:
        _fonts[key] = None
        for d in FONT_DIRS:
            path = os.path.join(d, name)
            if os.path.exists(path):
                _fonts[key] = ImageFont.truetype(path, int(px))
                break
    return _fonts[key]


SANS = "DejaVuSans.ttf"
SANS_BOLD = "DejaVuSans-Bold.ttf"
SANS_COND = "DejaVuSansCondensed.ttf"
SANS_COND_BOLD = "DejaVuSansCondensed-Bold.ttf"


# ----------------------------------------------------------------- colours
def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def lighten(c, t):
    return mix(c, WHITE, t)


def darken(c, t):
    return mix(c, (0, 0, 0), t)


def rgba(c, a=255):
    return (c[0], c[1], c[2], a) if len(c) == 3 else tuple(c)


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / float(e1 - e0)))
    return t * t * (3 - 2 * t)


def ramp(stops):
    """256-entry RGBA table for colour stops [(pos 0..1, colour), ...]."""
    stops = [(p, rgba(c)) for p, c in stops]
    table = []
    for i in range(256):
        t = i / 255.0
        if t <= stops[0][0]:
            table.append(stops[0][1])
            continue
        if t >= stops[-1][0]:
            table.append(stops[-1][1])
            continue
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= t <= p1:
                table.append(mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 1.0))
                break
    return table


def colourize(lum, stops):
    table = ramp(stops)
    return Image.merge("RGBA", [lum.point([c[k] for c in table]) for k in range(4)])


# --------------------------------------------------------------- gradients
_PAD = 8192
_sources = {}


def _linear_source():
    # One column: 0 above, a 0..255 ramp, 255 below; sampled by an affine map.
    if "lin" not in _sources:
        col = [0] * _PAD + list(range(256)) + [255] * _PAD
        im = Image.new("L", (1, len(col)))
        im.putdata(col)
        _sources["lin"] = im
    return _sources["lin"]


def _radial_source():
    # 256 x 256, distance from the centre: 0 in the middle, 255 at radius 128.
    if "rad" not in _sources:
        im = Image.new("L", (256, 256))
        im.putdata([min(255, int(round(math.hypot(x - 127.5, y - 127.5) * 255 / 128.0)))
                    for y in range(256) for x in range(256)])
        _sources["rad"] = im
    return _sources["rad"]


def linear_lum(size, origin, p0, p1):
    """L image: 0 at p0 .. 255 at p1 (canvas pixels), for the block at origin."""
    vx, vy = p1[0] - p0[0], p1[1] - p0[1]
    n2 = (vx * vx + vy * vy) or 1.0
    k = 255.0 / n2
    f = _PAD + 0.5 + k * ((origin[0] + 0.5 - p0[0]) * vx + (origin[1] + 0.5 - p0[1]) * vy)
    return _linear_source().transform(size, Image.AFFINE, (0, 0, 0.5, k * vx, k * vy, f),
                                      resample=Image.BILINEAR)


def radial_lum(size, origin, centre, rx, ry):
    """L image: 0 at centre .. 255 on the ellipse (rx, ry) and beyond."""
    a, e = 128.0 / rx, 128.0 / ry
    return _radial_source().transform(
        size, Image.AFFINE,
        (a, 0, 128 + (origin[0] + 0.5 - centre[0]) * a,
         0, e, 128 + (origin[1] + 0.5 - centre[1]) * e),
        resample=Image.BILINEAR, fillcolor=255)


# ------------------------------------------------------------ mask algebra
def union(*masks):
    out = masks[0]
    for m in masks[1:]:
        out = ImageChops.lighter(out, m)
    return out


def minus(a, b):
    return ImageChops.subtract(a, b)


def inter(a, b):
    return ImageChops.darker(a, b)


def shift(m, dx, dy):
    return ImageChops.offset(m, int(round(dx)), int(round(dy)))


def blur(m, radius):
    return m.filter(ImageFilter.GaussianBlur(radius))


# ------------------------------------------------------------------ canvas
class Canvas:
    """RGBA drawing surface at SS x the final size.

    Coordinates are in the units of the current frame: frame(x, y, size, units)
    maps 0..units onto size final pixels starting at final pixel (x, y).
    Shape methods return masks (L images); fill() paints a mask with a colour
    or a gradient made by lin()/rad().
    """

    def __init__(self, w, h, bg=(0, 0, 0, 0), ss=SS):
        self.w, self.h, self.ss = w, h, ss
        self.im = Image.new("RGBA", (w * ss, h * ss), rgba(bg))
        self.pixels()

    # -- coordinate frames
    def frame(self, x, y, size, units=48.0):
        self.ox, self.oy, self.k = float(x), float(y), size / float(units)
        return self

    def pixels(self):
        return self.frame(0, 0, 1, 1)

    def p(self, x, y):
        return ((self.ox + x * self.k) * self.ss, (self.oy + y * self.k) * self.ss)

    def d(self, v):
        return v * self.k * self.ss

    # -- shapes (masks)
    def blank(self):
        return Image.new("L", self.im.size, 0)

    def _box(self, x0, y0, x1, y1):
        (a, b), (c, d) = self.p(x0, y0), self.p(x1, y1)
        return [a, b, c - 1, d - 1]

    def rect(self, x0, y0, x1, y1, r=0.0):
        m = self.blank()
        box = self._box(x0, y0, x1, y1)
        if r > 0:
            ImageDraw.Draw(m).rounded_rectangle(box, radius=self.d(r), fill=255)
        else:
            ImageDraw.Draw(m).rectangle(box, fill=255)
        return m

    def rect_ring(self, x0, y0, x1, y1, r, w):
        return minus(self.rect(x0, y0, x1, y1, r),
                     self.rect(x0 + w, y0 + w, x1 - w, y1 - w, max(r - w, 0)))

    def ellipse(self, cx, cy, rx, ry=None):
        ry = rx if ry is None else ry
        m = self.blank()
        ImageDraw.Draw(m).ellipse(self._box(cx - rx, cy - ry, cx + rx, cy + ry), fill=255)
        return m

    def ring(self, cx, cy, r, w):
        return minus(self.ellipse(cx, cy, r), self.ellipse(cx, cy, r - w))

    def poly(self, pts):
        m = self.blank()
        ImageDraw.Draw(m).polygon([self.p(x, y) for x, y in pts], fill=255)
        return m

    def round_poly(self, pts, r):
        """Polygon grown by r with round corners."""
        return union(self.poly(pts), self.line(list(pts) + [pts[0]], 2 * r))

    def line(self, pts, w, caps=True):
        m = self.blank()
        dr = ImageDraw.Draw(m)
        P = [self.p(x, y) for x, y in pts]
        W = self.d(w)
        dr.line(P, fill=255, width=max(1, int(round(W))), joint="curve")
        if caps:
            for x, y in P:
                dr.ellipse([x - W / 2, y - W / 2, x + W / 2, y + W / 2], fill=255)
        return m

    def arc(self, cx, cy, r, a0, a1, w):
        """Stroke along a circle, angles in degrees, clockwise from 3 o'clock."""
        m = self.blank()
        X, Y = self.p(cx, cy)
        R, W = self.d(r), self.d(w)
        ImageDraw.Draw(m).arc([X - R - W / 2, Y - R - W / 2, X + R + W / 2, Y + R + W / 2],
                              a0, a1, fill=255, width=max(1, int(round(W))))
        return m

    def text(self, x, y, s, face, px, anchor="la"):
        f = font(face, self.d(px))
        m = self.blank()
        if f is not None:
            ImageDraw.Draw(m).text(self.p(x, y), s, font=f, fill=255, anchor=anchor)
        return m

    def grow(self, m, w):
        n = 2 * int(round(self.d(w))) + 1
        return m.filter(ImageFilter.MaxFilter(n)) if n > 1 else m

    def shrink(self, m, w):
        n = 2 * int(round(self.d(w))) + 1
        return m.filter(ImageFilter.MinFilter(n)) if n > 1 else m

    # -- paints
    def lin(self, x0, y0, x1, y1, stops):
        P0, P1 = self.p(x0, y0), self.p(x1, y1)
        return lambda size, origin: colourize(linear_lum(size, origin, P0, P1), stops)

    def rad(self, cx, cy, rx, ry, stops):
        C, RX, RY = self.p(cx, cy), self.d(rx), self.d(ry)
        return lambda size, origin: colourize(radial_lum(size, origin, C, RX, RY), stops)

    def fill(self, m, paint, opacity=1.0):
        bb = m.getbbox()
        if not bb:
            return
        size = (bb[2] - bb[0], bb[3] - bb[1])
        if callable(paint):
            layer = paint(size, bb[:2])
        else:
            layer = Image.new("RGBA", size, rgba(paint))
        a = ImageChops.multiply(layer.getchannel("A"), m.crop(bb))
        if opacity < 1.0:
            a = a.point(lambda v: int(v * opacity + 0.5))
        layer.putalpha(a)
        self.im.alpha_composite(layer, bb[:2])

    def shadow(self, m, dx, dy, radius, colour=(10, 30, 50), opacity=0.35):
        s = blur(shift(m, self.d(dx), self.d(dy)), self.d(radius))
        self.fill(s, colour, opacity)

    def result(self, resample=Image.LANCZOS):
        return self.im.resize((self.w, self.h), resample)


def put_text(img, xy, s, face, px, colour, anchor="la"):
    """Hinted text straight onto a final-size RGBA image (for small captions)."""
    f = font(face, px)
    if f is None:
        return
    m = Image.new("L", img.size, 0)
    ImageDraw.Draw(m).text(xy, s, font=f, fill=255, anchor=anchor)
    layer = Image.new("RGBA", img.size, rgba(colour))
    layer.putalpha(ImageChops.multiply(m, layer.getchannel("A")))
    img.alpha_composite(layer)


# ------------------------------------------------------------------ mosaic
def mosaic(c, x0, y0, x1, y1, cell, seed, palette, alpha, fade=None, grout=0.7):
    """Triangle tessellation over a rectangle (current frame units).

    Every tile gets a colour from palette and an opacity in the alpha range,
    times fade(x, y) (0..1) at its centre; tiles are shrunk a little so thin
    gaps ("grout") separate them.
    """
    rng = random.Random(seed)
    layer = Image.new("RGBA", c.im.size, (0, 0, 0, 0))
    dr = ImageDraw.Draw(layer)
    th = cell * math.sqrt(3) / 2
    inr = cell / (2 * math.sqrt(3))
    keep = max(0.0, 1.0 - grout / inr)
    row, y = 0, y0 - th
    while y < y1:
        off = (row % 2) * cell / 2
        x = x0 - 2 * cell + off
        while x < x1 + cell:
            for tri in (((x, y + th), (x + cell / 2, y), (x + cell, y + th)),
                        ((x + cell / 2, y), (x + 1.5 * cell, y), (x + cell, y + th))):
                cx = sum(q[0] for q in tri) / 3
                cy = sum(q[1] for q in tri) / 3
                col = palette[rng.randrange(len(palette))]
                a = rng.uniform(*alpha) * (fade(cx, cy) if fade else 1.0)
                if a >= 1:
                    pts = [c.p(cx + (qx - cx) * keep, cy + (qy - cy) * keep) for qx, qy in tri]
                    dr.polygon(pts, fill=rgba(col, int(a)))
            x += cell
        y += th
        row += 1
    clip = c.rect(x0, y0, x1, y1)
    layer.putalpha(ImageChops.multiply(layer.getchannel("A"), clip))
    c.im.alpha_composite(layer)


# ============================================================ pictograms
# All pictograms below are designed on a 48 x 48 grid unless noted.

SHEET = dict(edge=GREEN_DARK, head_hi=GREEN_HI, head=GREEN, body=GREEN_PALE,
             cell_hi=WHITE, cell=(244, 250, 246))
SHEET_FADED = dict(edge=(96, 134, 112), head_hi=(156, 196, 170), head=(118, 162, 134),
                   body=(222, 232, 226), cell_hi=(252, 253, 252), cell=(238, 243, 240))


def sheet(c, x0, y0, x1, y1, style=SHEET, rows=4, cols=3, lw=1.6, r=2.8, tiles=(), gap=None):
    """A spreadsheet page: green header band above a grid of white cells."""
    outer = c.rect(x0, y0, x1, y1, r)
    inner = c.rect(x0 + lw, y0 + lw, x1 - lw, y1 - lw, max(r - lw, 0.6))
    c.fill(outer, style["edge"])
    c.fill(inner, style["body"])
    head = y0 + (y1 - y0) * 0.22
    c.fill(inter(inner, c.rect(x0, y0, x1, head)),
           c.lin(0, y0, 0, head, [(0, style["head_hi"]), (1, style["head"])]))
    gap = lw * 0.62 if gap is None else gap
    gx0, gx1, gy0, gy1 = x0 + lw, x1 - lw, head + gap, y1 - lw
    # The first column is a narrow row-header column, like in Excel.
    widths = [0.55] + [1.0] * (cols - 1)
    unit = (gx1 - gx0 - gap * (cols - 1)) / sum(widths)
    cells = c.blank()
    tiled = {}
    xs = []
    x = gx0
    for wdt in widths:
        xs.append((x, x + wdt * unit))
        x += wdt * unit + gap
    rh = (gy1 - gy0 - gap * (rows - 1)) / rows
    for j in range(rows):
        cy0 = gy0 + j * (rh + gap)
        for i, (cx0, cx1) in enumerate(xs):
            m = inter(inner, c.rect(cx0, cy0, cx1, cy0 + rh))
            colour = None
            for (ti, tj, tc) in tiles:
                if ti == i and tj == j:
                    colour = tc
            if colour:
                tiled.setdefault(colour, []).append(m)
            elif i > 0:
                cells = union(cells, m)
    c.fill(cells, c.lin(0, gy0, 0, gy1, [(0, style["cell_hi"]), (1, style["cell"])]))
    for colour, ms in tiled.items():
        c.fill(union(*ms), colour)
    return outer


def glyph(c, kind, cx, cy, r, w=None):
    """White symbol for a round badge of radius r (mask)."""
    w = r * 0.36 if w is None else w
    if kind == "plus":
        s = r * 0.55
        return union(c.line([(cx - s, cy), (cx + s, cy)], w), c.line([(cx, cy - s), (cx, cy + s)], w))
    if kind == "minus":
        s = r * 0.55
        return c.line([(cx - s, cy), (cx + s, cy)], w)
    if kind == "cross":
        s = r * 0.42
        return union(c.line([(cx - s, cy - s), (cx + s, cy + s)], w),
                     c.line([(cx - s, cy + s), (cx + s, cy - s)], w))
    if kind == "check":
        return c.line([(cx - r * 0.50, cy + r * 0.02), (cx - r * 0.14, cy + r * 0.40),
                       (cx + r * 0.50, cy - r * 0.36)], w)
    if kind == "refresh":
        return refresh_arrows(c, cx, cy, r * 0.52, w * 0.8, w * 1.05)
    if kind == "down":
        s = r * 0.55
        return union(c.line([(cx, cy - s), (cx, cy + s * 0.6)], w),
                     c.line([(cx - s * 0.7, cy), (cx, cy + s * 0.7), (cx + s * 0.7, cy)], w))
    raise ValueError(kind)


def arrow_head(c, cx, cy, r, ang, size):
    """Triangle at the clockwise end (angle ang) of an arc around (cx, cy)."""
    a = math.radians(ang)
    px, py = cx + r * math.cos(a), cy + r * math.sin(a)
    tx, ty = -math.sin(a), math.cos(a)            # clockwise tangent
    rx, ry = math.cos(a), math.sin(a)             # outward
    back = size * 0.25
    return c.poly([(px + tx * size - tx * back, py + ty * size - ty * back),
                   (px + rx * size * 0.95 - tx * back, py + ry * size * 0.95 - ty * back),
                   (px - rx * size * 0.95 - tx * back, py - ry * size * 0.95 - ty * back)])


def refresh_arrows(c, cx, cy, r, w, head):
    """Two arcs chasing each other clockwise (mask)."""
    m = c.blank()
    for a0 in (200, 20):
        a1 = a0 + 118
        m = union(m, c.arc(cx, cy, r, a0, a1, w), arrow_head(c, cx, cy, r, a1, head))
    return m


def badge(c, cx, cy, r, top, bottom, kind, ring=2.0, edge=None):
    """Round coloured badge with a white symbol and a white rim."""
    c.fill(c.ellipse(cx, cy, r + ring), WHITE)
    disc = c.ellipse(cx, cy, r)
    c.fill(disc, c.lin(0, cy - r, 0, cy + r, [(0, top), (1, bottom)]))
    if edge:
        c.fill(c.ring(cx, cy, r, r * 0.09), edge)
    c.fill(inter(disc, c.ellipse(cx, cy - r * 0.52, r * 0.78, r * 0.48)), (255, 255, 255, 46))
    c.fill(glyph(c, kind, cx, cy, r), WHITE)


def globe(c, cx, cy, r):
    disc = c.ellipse(cx, cy, r)
    c.fill(disc, c.rad(cx - r * 0.35, cy - r * 0.45, r * 1.55, r * 1.55,
                       [(0, (150, 208, 244)), (0.55, TEAL_MID), (1, TEAL_DARK)]))
    lw = r * 0.075
    lines = union(
        minus(c.ellipse(cx, cy, r * 0.46, r), c.ellipse(cx, cy, r * 0.46 - lw, r - lw)),
        c.rect(cx - lw / 2, cy - r, cx + lw / 2, cy + r),
        c.rect(cx - r, cy - lw / 2, cx + r, cy + lw / 2),
        c.rect(cx - r, cy - r * 0.5 - lw / 2, cx + r, cy - r * 0.5 + lw / 2),
        c.rect(cx - r, cy + r * 0.5 - lw / 2, cx + r, cy + r * 0.5 + lw / 2))
    c.fill(inter(disc, lines), (255, 255, 255, 130))
    c.fill(inter(disc, c.ellipse(cx - r * 0.3, cy - r * 0.45, r * 0.55, r * 0.32)), (255, 255, 255, 60))
    c.fill(c.ring(cx, cy, r, r * 0.08), TEAL_DARK)


def gear_mask(c, cx, cy, r_out, r_in, teeth, hole):
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step - math.pi / 2
        for da, rr in ((-0.30, r_in), (-0.19, r_out), (0.19, r_out), (0.30, r_in)):
            pts.append((cx + rr * math.cos(a + da * step * 1.6),
                        cy + rr * math.sin(a + da * step * 1.6)))
    body = union(c.poly(pts), c.ellipse(cx, cy, r_in))
    return minus(body, c.ellipse(cx, cy, hole))


def gear(c, cx, cy, r, top=SLATE_HI, bottom=SLATE_DARK, rim=None, teeth=8):
    m = gear_mask(c, cx, cy, r, r * 0.74, teeth, r * 0.33)
    if rim:
        c.fill(c.grow(m, rim), WHITE)
    c.fill(m, darken(bottom, 0.25))
    c.fill(c.shrink(m, r * 0.1), c.lin(0, cy - r, 0, cy + r, [(0, top), (1, bottom)]))


def wrench_mask(c, ax, ay, bx, by, w, head_r):
    """Wrench from the handle end a to the head centre b, jaws opening away from a."""
    L = math.hypot(bx - ax, by - ay)
    ux, uy = (bx - ax) / L, (by - ay) / L
    nx, ny = -uy, ux
    body = union(c.line([(ax, ay), (bx, by)], w), c.ellipse(bx, by, head_r))
    jw = head_r * 0.42
    qx, qy = bx + ux * head_r * 0.05, by + uy * head_r * 0.05
    far = head_r * 2
    jaw = union(c.poly([(qx + nx * jw, qy + ny * jw), (qx + ux * far + nx * jw, qy + uy * far + ny * jw),
                        (qx + ux * far - nx * jw, qy + uy * far - ny * jw), (qx - nx * jw, qy - ny * jw)]),
                c.ellipse(qx, qy, jw))
    return minus(body, jaw)


def wrench(c, ax, ay, bx, by, w, head_r, edge=0.9, rim=None):
    m = wrench_mask(c, ax, ay, bx, by, w, head_r)
    if rim:
        c.fill(c.grow(m, rim), WHITE)
    c.fill(m, STEEL_DARK)
    # Brushed-metal bands running along the handle.
    L = math.hypot(bx - ax, by - ay)
    nx, ny = -(by - ay) / L, (bx - ax) / L
    c.fill(c.shrink(m, edge), c.lin(ax - nx * w * 0.5, ay - ny * w * 0.5, ax + nx * w * 0.5, ay + ny * w * 0.5,
                                    [(0, STEEL_HI), (0.45, (184, 196, 210)), (1, (118, 133, 152))]))


def tag(c, x0, y0, x1, y1, label="REP_", top=TEAL_MID, bottom=TEAL_DARK, text_px=None):
    """Name tag pointing left with a punched hole and a label."""
    h = y1 - y0
    mid = (y0 + y1) / 2
    rr = h * 0.1
    pts = [(x0 + rr, mid), (x0 + h * 0.45, y0 + rr), (x1 - rr, y0 + rr),
           (x1 - rr, y1 - rr), (x0 + h * 0.45, y1 - rr)]
    m = c.round_poly(pts, rr)
    c.fill(m, TEAL_DARK)
    c.fill(c.shrink(m, h * 0.07), c.lin(0, y0, 0, y1, [(0, top), (1, bottom)]))
    hx = x0 + h * 0.36
    c.fill(c.ellipse(hx, mid, h * 0.13), WHITE)
    c.fill(c.ring(hx, mid, h * 0.13, h * 0.04), darken(TEAL_DARK, 0.2))
    tx = (hx + h * 0.2 + x1 - rr) / 2
    px = text_px or h * 0.46
    c.fill(c.text(tx, mid + px * 0.02, label, SANS_COND_BOLD, px, anchor="mm"), WHITE)


def folder(c, x0, y0, x1, y1, paper=True):
    """Open folder with a spreadsheet peeking out."""
    h = y1 - y0
    w = x1 - x0
    back = union(c.rect(x0, y0 + h * 0.12, x1, y1, h * 0.08),
                 c.rect(x0, y0, x0 + w * 0.38, y0 + h * 0.3, h * 0.08))
    c.fill(back, FOLDER_DARK)
    c.fill(c.shrink(back, 1.0), c.lin(0, y0, 0, y1, [(0, (240, 186, 70)), (1, (214, 148, 30))]))
    if paper:
        sheet(c, x0 + w * 0.16, y0 + h * 0.02, x1 - w * 0.12, y1 - h * 0.2, rows=3, cols=3,
              lw=1.3, r=1.6)
    front = c.round_poly([(x0 + 1, y0 + h * 0.38), (x1 - 1, y0 + h * 0.38),
                          (x1 - w * 0.05, y1 - 1), (x0 + w * 0.05, y1 - 1)], 1.0)
    c.fill(front, FOLDER_DARK)
    c.fill(c.shrink(front, 1.0), c.lin(0, y0 + h * 0.38, 0, y1,
                                       [(0, FOLDER_HI), (1, FOLDER)]))
    c.fill(inter(front, c.rect(x0, y0 + h * 0.38 + 1.0, x1, y0 + h * 0.38 + 2.2)), (255, 255, 255, 110))


# --- the five toolbar pictograms (48 x 48)
def pic_add(c):
    sheet(c, 5, 3, 35, 43)
    badge(c, 34, 34, 11.5, GREEN_HI, GREEN_DARK, "plus", edge=GREEN_DARK)


def pic_remove(c):
    sheet(c, 5, 3, 35, 43)
    tick = [(12.5, 25.5), (18.5, 31.5), (29.5, 17.5)]
    c.fill(c.line(tick, 8.0), WHITE)
    c.fill(c.line(tick, 4.6), GREEN)
    badge(c, 34, 34, 11.5, RED_HI, RED_DARK, "minus", edge=RED_DARK)


def pic_remove_all(c):
    sheet(c, 15, 1, 43, 35, style=SHEET_FADED, rows=3)
    sheet(c, 10, 5, 38, 39, style=SHEET_FADED, rows=3)
    sheet(c, 4, 9, 32, 45, rows=3)
    badge(c, 35, 35, 11.5, RED_HI, RED_DARK, "cross", edge=RED_DARK)


def pic_update(c):
    globe(c, 21, 21, 18)
    badge(c, 35, 35, 11.5, GREEN_HI, GREEN_DARK, "refresh", edge=GREEN_DARK)


def pic_naming(c):
    tag(c, 1, 4, 47, 27)
    gear(c, 36, 36, 10.5, rim=1.8)


def pic_folder(c):
    folder(c, 3, 6, 45, 42)


def logo(c, small=False):
    """Product logo: a spreadsheet whose cells are a mosaic, and a wrench."""
    if small:
        # 16 x 16 grid: a pixel-aligned sheet with one mosaic tile.
        msheet(c, 1, 1, 12, 15, tiles=((1, 0, TEAL_LIGHT), (2, 2, GREEN_HI)))
        wrench(c, 6.6, 15.2, 12.6, 7.4, 2.7, 3.4, edge=0.55, rim=0.9)
        return
    tiles = ((1, 0, TEAL_LIGHT), (2, 1, GREEN_HI), (1, 2, (150, 214, 176)),
             (2, 3, TEAL_LIGHT))
    sheet(c, 4, 2, 36, 45, rows=4, cols=3, tiles=tiles)
    wrench(c, 19, 46, 38, 22, 7.0, 9.0, edge=1.3, rim=1.9)


# ================================================================ keying
def keyed(fg, backdrop, key, thresh=110):
    """RGBA picture -> RGB with the key colour wherever it is transparent.

    Edge pixels are blended onto `backdrop` (what the program shows behind the
    picture) and kept only when their alpha reaches `thresh`; everything else
    becomes exactly `key`.  A kept pixel that happens to equal the key is moved
    one step away so it cannot turn transparent.
    """
    base = backdrop.convert("RGBA").copy()
    base.alpha_composite(fg)
    solid = base.convert("RGB")
    keep = fg.getchannel("A").point(lambda a: 255 if a >= thresh else 0)
    out = Image.new("RGB", fg.size, key)
    out.paste(solid, (0, 0), keep)
    px, kp = out.load(), keep.load()
    alt = (key[0] + 1 if key[0] < 255 else key[0] - 1, key[1], key[2])
    for y in range(fg.size[1]):
        for x in range(fg.size[0]):
            if kp[x, y] and px[x, y] == key:
                px[x, y] = alt
    return out


# ========================================================== backgrounds
def header_band(c, w, h):
    c.fill(c.rect(0, 0, w, h), c.lin(0, 0, 0, h, [(0, (221, 235, 246)), (1, (240, 246, 251))]))


def accent_stripe(c, x0, y0, x1, y1):
    c.fill(c.rect(x0, y0, x1, y1), c.lin(x0, 0, x1, 0, [(0, TEAL), (0.6, TEAL_MID), (1, GREEN_HI)]))


def wordmark(c, x, y, size_main, size_sub, colour=TEAL_DARK, sub=GREEN, two_lines=True):
    if two_lines:
        c.fill(c.text(x, y, "Calvera", SANS_BOLD, size_main), colour)
        c.fill(c.text(x, y + size_main * 1.05, "Tessel", SANS_BOLD, size_main), colour)
        c.fill(c.text(x + 1, y + size_main * 2.25, "for Excel", SANS_BOLD, size_sub), sub)
    else:
        c.fill(c.text(x, y, "Calvera Tessel", SANS_BOLD, size_main), colour)
        c.fill(c.text(x + 1, y + size_main * 1.2, "for Excel", SANS_BOLD, size_sub), sub)


def main_background():
    W, H = MAIN_SIZE
    c = Canvas(W, H, bg=(247, 250, 252))
    # Header: a plain vertical gradient where the toolbar buttons sit, so
    # every toolbar slot has the same backdrop.
    header_band(c, W, HEADER_BOTTOM)
    mosaic(c, 440, 0, W, HEADER_BOTTOM, 22, seed=129,
           palette=[TEAL_MID, TEAL_LIGHT, GREEN_HI, WHITE, (170, 206, 230)],
           alpha=(10, 70), fade=lambda x, y: smoothstep(470, 760, x) * (0.55 + 0.45 * smoothstep(96, 0, y)))
    accent_stripe(c, 0, 0, W, 3)
    c.fill(c.rect(0, HEADER_BOTTOM, W, HEADER_BOTTOM + 1), (200, 219, 234))
    c.fill(c.rect(0, HEADER_BOTTOM + 1, W, HEADER_BOTTOM + 2), WHITE)
    # Wordmark between the toolbar and the home page link.
    c.frame(474, 25, 46)
    c.shadow(c.ellipse(22, 46, 17, 2.4), 0, 0, 1.6, opacity=0.25)
    logo(c)
    c.pixels()
    wordmark(c, 525, 24, 17, 11)
    # Body: light; the list view covers most of it.
    c.fill(c.rect(0, HEADER_BOTTOM + 2, W, FOOTER_TOP),
           c.lin(0, HEADER_BOTTOM, 0, FOOTER_TOP, [(0, (246, 249, 252)), (1, (243, 247, 250))]))
    # Footer where the instructions and the Next/Back button live.  Its tone
    # stays close to the grey button face so the button does not look pasted.
    c.fill(c.rect(0, FOOTER_TOP, W, FOOTER_TOP + 1), (206, 219, 230))
    c.fill(c.rect(0, FOOTER_TOP + 1, W, FOOTER_TOP + 2), WHITE)
    c.fill(c.rect(0, FOOTER_TOP + 2, W, H),
           c.lin(0, FOOTER_TOP, 0, H, [(0, (242, 243, 245)), (1, (234, 236, 240))]))
    mosaic(c, 555, FOOTER_TOP + 2, 680, H - 4, 16, seed=414,
           palette=[TEAL_LIGHT, GREEN_HI, (170, 206, 230)], alpha=(8, 40),
           fade=lambda x, y: smoothstep(555, 640, x) * smoothstep(680, 650, x))
    accent_stripe(c, 0, H - 3, W, H)
    # A "tip" mark left of the instruction text.
    cx, cy = 45, LABEL_RECT[1] + LABEL_RECT[3] / 2
    c.shadow(c.ellipse(cx, cy, 15), 0, 1.2, 1.5, opacity=0.2)
    c.fill(c.ellipse(cx, cy, 15), c.lin(0, cy - 15, 0, cy + 15, [(0, TEAL_MID), (1, TEAL_DARK)]))
    c.fill(c.ellipse(cx, cy - 8.0, 2.4), WHITE)
    c.fill(c.line([(cx, cy - 2.5), (cx, cy + 8)], 4.2), WHITE)
    return c.result().convert("RGB")


def home_link(bg):
    """The "visit our home page" badge, drawn over the very background it covers."""
    x, y, w, h = HOME_LINK_RECT
    base = bg.crop((x, y, x + w, y + h)).convert("RGBA")
    c = Canvas(w, h)
    pill = c.rect(3, 8, w - 3, h - 7, (h - 15) / 2)
    c.shadow(pill, 0, 1.5, 2.2, opacity=0.22)
    c.fill(pill, (182, 206, 225))
    c.fill(c.rect(4, 9, w - 4, h - 8, (h - 17) / 2),
           c.lin(0, 9, 0, h - 8, [(0, WHITE), (1, (232, 242, 249))]))
    c.frame(8, 12.5, 34)
    globe(c, 17, 17, 16.5)
    base.alpha_composite(c.result())
    # Hinted text at 1x stays sharp at this size.
    put_text(base, (47, 28), "Visit our", SANS, 11, (74, 96, 120), anchor="ls")
    put_text(base, (47, 42), "home page", SANS_BOLD, 11, TEAL_DARK, anchor="ls")
    return base.convert("RGB")


def splash():
    W, H = 359, 182
    c = Canvas(W, H)
    c.fill(c.rect(0, 0, W, H), c.lin(0, 0, W, H, [(0, (38, 110, 158)), (1, (13, 48, 76))]))
    mosaic(c, 0, 0, W, H, 26, seed=177,
           palette=[TEAL_LIGHT, WHITE, GREEN_HI, (90, 160, 210)], alpha=(6, 46),
           fade=lambda x, y: 0.25 + 0.75 * smoothstep(120, 359, x))
    glow = c.ellipse(68, 90, 78)
    c.fill(glow, c.rad(68, 90, 78, 78, [(0, (255, 255, 255, 70)), (1, (255, 255, 255, 0))]))
    c.frame(18, 36, 100)
    c.shadow(c.ellipse(22, 46.5, 16, 2.2), 0, 0, 1.2, colour=(0, 10, 20), opacity=0.45)
    logo(c)
    c.pixels()
    c.fill(c.text(128, 50, "Calvera Tessel", SANS_BOLD, 25), WHITE)
    c.fill(c.text(129, 82, "for Excel", SANS_BOLD, 18), (138, 226, 166))
    c.fill(c.rect(129, 112, 339, 113), (255, 255, 255, 70))
    c.fill(c.text(129, 120, "Excel workbook repair", SANS, 13), (206, 226, 240))
    accent_stripe(c, 0, H - 4, W, H)
    c.fill(c.rect_ring(0, 0, W, H, 0, 1), TEAL_DARK)
    return c.result().convert("RGB")


def about_background():
    W, H = 359, 335
    TOP = 110
    c = Canvas(W, H, bg=WHITE)
    c.fill(c.rect(0, 0, W, TOP), c.lin(0, 0, W, TOP, [(0, (38, 110, 158)), (1, (15, 54, 84))]))
    mosaic(c, 0, 0, W, TOP, 22, seed=154,
           palette=[TEAL_LIGHT, WHITE, GREEN_HI, (90, 160, 210)], alpha=(6, 44),
           fade=lambda x, y: 0.2 + 0.8 * smoothstep(100, 359, x))
    glow = c.ellipse(56, 55, 60)
    c.fill(glow, c.rad(56, 55, 60, 60, [(0, (255, 255, 255, 60)), (1, (255, 255, 255, 0))]))
    c.frame(20, 18, 74)
    c.shadow(c.ellipse(22, 46.5, 16, 2.2), 0, 0, 1.2, colour=(0, 10, 20), opacity=0.45)
    logo(c)
    c.pixels()
    c.fill(c.text(106, 31, "Calvera Tessel", SANS_BOLD, 22), WHITE)
    c.fill(c.text(107, 60, "for Excel", SANS_BOLD, 15), (138, 226, 166))
    c.fill(c.text(107, 84, "Excel workbook repair", SANS, 11), (206, 226, 240))
    accent_stripe(c, 0, TOP, W, TOP + 3)
    c.fill(c.rect(0, TOP + 3, W, H), c.lin(0, TOP, 0, H, [(0, (252, 253, 254)), (1, (236, 242, 247))]))
    mosaic(c, 0, H - 28, W, H - 3, 14, seed=1540,
           palette=[TEAL_LIGHT, GREEN_HI, (170, 206, 230)], alpha=(6, 34),
           fade=lambda x, y: smoothstep(H - 28, H - 3, y) * (smoothstep(150, 0, x) + smoothstep(209, 359, x)))
    accent_stripe(c, 0, H - 3, W, H)
    return c.result().convert("RGB")


def dialog_background(pictogram, seed):
    W, H = 375, 185
    c = Canvas(W, H, bg=WHITE)
    c.fill(c.rect(0, 0, W, H), c.lin(0, 0, 0, H, [(0, (252, 253, 254)), (1, (236, 242, 247))]))
    mosaic(c, 240, 0, W, H - 3, 15, seed=seed,
           palette=[TEAL_LIGHT, GREEN_HI, (170, 206, 230)], alpha=(6, 42),
           fade=lambda x, y: smoothstep(250, 375, x) * (0.35 + 0.65 * smoothstep(0, H, y)))
    accent_stripe(c, 0, H - 3, W, H)
    # The pictogram sits bottom left, below the controls, on a soft halo.
    cx, cy = 38, 158
    c.fill(c.ellipse(cx, cy, 34), c.rad(cx, cy, 34, 34, [(0, (200, 225, 242, 255)), (0.55, (208, 229, 244, 170)),
                                                        (1, (220, 236, 247, 0))]))
    c.frame(cx - 23, cy - 23, 46)
    pictogram(c)
    return c.result().convert("RGB")


# ============================================================== toolbar
TOOLBAR = [
    # (away id, over id, pictogram, caption) in the order of the toolbar
    (158, 170, pic_add, "Add"),
    (160, 174, pic_remove, "Remove"),
    (159, 169, pic_remove_all, "Remove All"),
    (134, 135, pic_naming, "Settings"),
    (130, 131, pic_update, "Update"),
]
CAPTION_PX = 10
CAPTION_Y = 64          # baseline


def toolbar_backdrop(bg):
    x, y = TOOLBAR_SLOTS[0]
    back = bg.crop((x, y, x + TOOLBAR_SIZE[0], y + TOOLBAR_SIZE[1]))
    # The header is a vertical gradient there, so all slots are alike.
    for sx, sy in TOOLBAR_SLOTS[1:]:
        other = bg.crop((sx, sy, sx + TOOLBAR_SIZE[0], sy + TOOLBAR_SIZE[1]))
        assert ImageChops.difference(back, other).getbbox() is None, "toolbar slots differ"
    return back


def brighten(img, amount):
    r, g, b, a = img.split()
    lut = [int(round(v + (255 - v) * amount)) for v in range(256)]
    return Image.merge("RGBA", (r.point(lut), g.point(lut), b.point(lut), a))


def toolbar_away(pic, caption, backdrop):
    w, h = TOOLBAR_SIZE
    c = Canvas(w, h)
    pic(c.frame(12, 4, 44))
    img = c.result(Image.BOX)
    put_text(img, (w / 2, CAPTION_Y), caption, SANS_COND_BOLD, CAPTION_PX, TEXT_DARK, anchor="ms")
    return keyed(img, backdrop, AWAY_KEY)


def toolbar_over(pic, caption, backdrop):
    w, h = TOOLBAR_SIZE
    c = Canvas(w, h)
    plate = c.rect(0, 0, w, h, 9)
    c.fill(plate, (104, 164, 206))
    inner = c.rect(1, 1, w - 1, h - 1, 8)
    c.fill(inner, c.lin(0, 1, 0, h - 1, [(0, WHITE), (0.55, (232, 244, 251)), (1, (206, 229, 244))]))
    c.fill(inter(inner, c.ellipse(w / 2, 27, 30, 27)),
           c.rad(w / 2, 27, 30, 27, [(0, (255, 255, 255, 255)), (1, (255, 255, 255, 0))]))
    c.fill(c.rect_ring(1, 1, w - 1, h - 1, 8, 1), (255, 255, 255, 200))
    plate_img = c.result(Image.BOX)
    p = Canvas(w, h)
    pic(p.frame(10, 1.5, 48))
    plate_img.alpha_composite(brighten(p.result(Image.BOX), 0.06))
    put_text(plate_img, (w / 2, CAPTION_Y + 1), caption, SANS_COND_BOLD, CAPTION_PX, TEAL_DARK, anchor="ms")
    return keyed(plate_img, backdrop, OVER_KEY)


# ================================================================= icons
def status_icon(kind, size):
    colours = {
        140: (AMBER_HI, AMBER, AMBER_DARK),
        141: (SLATE_HI, SLATE, SLATE_DARK),
        142: (RED_HI, RED, RED_DARK),
        143: (GREEN_HI, GREEN, GREEN_DARK),
    }
    hi, mid, dark = colours[kind]
    c = Canvas(size, size)
    c.frame(0, 0, size, 48)
    r = 22.6
    disc = c.ellipse(24, 24, r)
    c.fill(disc, dark)
    c.fill(c.ellipse(24, 24, r - 2.0), c.lin(0, 2, 0, 46, [(0, hi), (0.6, mid), (1, darken(mid, 0.08))]))
    if size >= 32:
        c.fill(inter(disc, c.ellipse(24, 12, 16, 9.5)), (255, 255, 255, 50))
    w = 7.4
    if kind == 140:
        m = union(c.arc(24, 24, 10.5, 205, 330, w * 0.78), arrow_head(c, 24, 24, 10.5, 330, 6.6),
                  c.arc(24, 24, 10.5, 25, 150, w * 0.78), arrow_head(c, 24, 24, 10.5, 150, 6.6))
    elif kind == 141:
        m = union(c.line([(24, 24), (24, 11)], w * 0.8), c.line([(24, 24), (34, 24)], w * 0.8),
                  minus(c.ellipse(24, 24, 16.5), c.ellipse(24, 24, 13.2)))
    elif kind == 142:
        m = glyph(c, "cross", 24, 24, r, w)
    else:
        m = c.line([(13, 24.5), (20.5, 32), (35, 16.5)], w)
    c.fill(m, WHITE)
    return c.result(Image.BOX)


def nav_icon(direction, lit):
    c = Canvas(32, 32)
    c.frame(0, 0, 32, 48)
    if lit:
        hi, mid, dark = (118, 222, 150), (40, 170, 92), GREEN_DARK
    else:
        hi, mid, dark = (104, 170, 216), TEAL_MID, TEAL_DARK
    disc = c.ellipse(24, 24, 22.6)
    c.fill(disc, dark)
    c.fill(c.ellipse(24, 24, 20.8), c.lin(0, 2, 0, 46, [(0, hi), (0.6, mid), (1, darken(mid, 0.1))]))
    c.fill(inter(disc, c.ellipse(24, 12, 16, 9.5)), (255, 255, 255, 70 if lit else 50))
    s = 1 if direction == "next" else -1
    m = union(c.line([(24 - 10 * s, 24), (24 + 10 * s, 24)], 6.2),
              c.line([(24 + 1 * s, 14), (24 + 11 * s, 24), (24 + 1 * s, 34)], 6.2))
    c.fill(m, WHITE)
    return c.result(Image.BOX)


def app_icon(size):
    c = Canvas(size, size)
    if size <= 16:
        logo(c.frame(0, 0, size, 16), small=True)
    else:
        logo(c.frame(0, 0, size, 48))
    return c.result(Image.BOX)


def dib_entry(img):
    """One icon image as BITMAPINFOHEADER + BGRA rows + AND mask, bottom-up."""
    img = img.convert("RGBA")
    w, h = img.size
    px = img.load()
    stride = ((w + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        bits = bytearray(stride)
        for x in range(w):
            r, g, b, a = px[x, y]
            if a == 0:
                r = g = b = 0
            xor += bytes((b, g, r, a))
            if a < 128:
                bits[x >> 3] |= 0x80 >> (x & 7)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def write_ico(path, images):
    images = sorted(images, key=lambda im: im.size[0])
    blobs = [dib_entry(im) for im in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for im, blob in zip(images, blobs):
        w, h = im.size
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(bytes(out))


# ============================================================ menu (16)
def menu_picture(draw):
    c = Canvas(16, 16, bg=MENU_BG)
    c.frame(0, 0, 16, 16)
    draw(c)
    return c.result(Image.BOX).convert("RGB")


def msheet(c, x0=1, y0=1, x1=12, y1=15, style=SHEET, tiles=()):
    """Spreadsheet for 16 px pictures, every edge on a whole pixel.

    tiles: (column, row, colour) cells to colour in, counted in the body below
    the header (column 0 is the narrow row-header column).
    """
    c.fill(c.rect(x0, y0, x1, y1), style["edge"])
    c.fill(c.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1), style["cell_hi"])
    c.fill(c.rect(x0 + 1, y0 + 1, x1 - 1, y0 + 4), style["head"])
    c.fill(c.rect(x0 + 1, y0 + 1, x1 - 1, y0 + 2), style["head_hi"])
    grid = mix(style["body"], style["head"], 0.35)
    cols = [x0 + 1, x0 + 3, x0 + 3 + (x1 - x0 - 3) // 2, x1 - 1]
    rows = list(range(y0 + 4, y1 - 1, 3)) + [y1 - 1]
    c.fill(c.rect(cols[0], y0 + 4, cols[1], y1 - 1), style["body"])
    for ci, cj, colour in tiles:
        if cj + 1 < len(rows):
            c.fill(c.rect(cols[ci] + (1 if ci else 0), rows[cj] + 1, cols[ci + 1], rows[cj + 1]), colour)
    for gx in cols[1:-1]:
        c.fill(c.rect(gx, y0 + 4, gx + 1, y1 - 1), grid)
    for gy in rows[1:-1]:
        c.fill(c.rect(x0 + 1, gy, x1 - 1, gy + 1), grid)


def mbadge(c, colour_hi, colour, kind, cx=11.5, cy=11.5, r=4.5):
    c.fill(c.ellipse(cx, cy, r + 1), WHITE)
    c.fill(c.ellipse(cx, cy, r), c.lin(0, cy - r, 0, cy + r, [(0, colour_hi), (1, colour)]))
    c.fill(glyph(c, kind, cx, cy, r, w=1.5), WHITE)


def menu_add(c):
    msheet(c)
    mbadge(c, GREEN_HI, GREEN_DARK, "plus")


def menu_add_folder(c):
    back = union(c.rect(1, 3, 13, 14), c.rect(1, 2, 6, 5))
    c.fill(back, FOLDER_DARK)
    c.fill(c.rect(2, 4, 12, 13), (240, 186, 70))
    front = c.poly([(2, 7), (14, 7), (12.5, 14), (1, 14)])
    c.fill(front, FOLDER_DARK)
    c.fill(c.poly([(3, 8), (12.8, 8), (11.6, 13), (2.2, 13)]), c.lin(0, 8, 0, 13, [(0, FOLDER_HI), (1, FOLDER)]))
    mbadge(c, GREEN_HI, GREEN_DARK, "plus")


def menu_save_report(c):
    msheet(c)
    mbadge(c, TEAL_LIGHT, TEAL_DARK, "down")


def menu_remove_all(c):
    msheet(c, 5, 0, 15, 12, style=SHEET_FADED)
    msheet(c, 1, 3, 11, 15)
    mbadge(c, RED_HI, RED_DARK, "cross")


def menu_remove(c):
    msheet(c)
    tick = [(3.2, 9.2), (5.6, 11.6), (10.0, 6.4)]
    c.fill(c.line(tick, 3.6), WHITE)
    c.fill(c.line(tick, 1.9), GREEN_DARK)
    mbadge(c, RED_HI, RED_DARK, "minus")


def menu_repair(c):
    msheet(c, 1, 1, 12, 15)
    wrench(c, 6.6, 15.2, 12.6, 7.4, 2.7, 3.4, edge=0.55, rim=0.9)


def menu_exit(c):
    c.fill(c.rect(2, 1, 11, 15), TEAL_DARK)
    c.fill(c.rect(3, 2, 10, 15), (220, 232, 242))
    door = c.poly([(3, 2), (8, 3.5), (8, 15.5), (3, 15)])
    c.fill(door, c.lin(3, 0, 8, 0, [(0, TEAL_MID), (1, TEAL_DARK)]))
    c.fill(c.ellipse(6.6, 9.2, 0.6), WHITE)
    arrow = union(c.line([(8.5, 8.5), (13.2, 8.5)], 2.0), c.poly([(12, 5), (16, 8.5), (12, 12)]))
    c.fill(c.grow(arrow, 0.7), MENU_BG)
    c.fill(arrow, GREEN)


def menu_settings(c):
    gear(c, 8, 8, 7.4, top=(140, 168, 198), bottom=SLATE_DARK)


def menu_update(c):
    m = refresh_arrows(c, 8, 8, 5.0, 2.0, 3.2)
    top = inter(m, c.rect(0, 0, 16, 8))
    c.fill(top, TEAL_MID)
    c.fill(minus(m, top), GREEN)


def menu_round(c, kind):
    c.fill(c.ellipse(8, 8, 7.5), TEAL_DARK)
    c.fill(c.ellipse(8, 8, 6.6), c.lin(0, 1, 0, 15, [(0, (96, 166, 214)), (1, TEAL)]))
    if kind == "i":
        c.fill(c.ellipse(8, 4.6, 1.2), WHITE)
        c.fill(c.rect(7, 6.8, 9, 12.2), WHITE)
    else:
        c.fill(c.text(8.1, 8.4, "?", SANS_BOLD, 11.5, anchor="mm"), WHITE)


MENU = [
    (165, "menu_add_165.bmp", menu_add),
    (178, "menu_add_folder_178.bmp", menu_add_folder),
    (166, "menu_remove_all_166.bmp", menu_remove_all),
    (167, "menu_remove_167.bmp", menu_remove),
    (175, "menu_repair_175.bmp", menu_repair),
    (179, "menu_save_report_179.bmp", menu_save_report),
    (147, "menu_exit_147.bmp", menu_exit),
    (149, "menu_settings_149.bmp", menu_settings),
    (150, "menu_update_150.bmp", menu_update),
    (151, "menu_help_151.bmp", lambda c: menu_round(c, "?")),
    (152, "menu_about_152.bmp", lambda c: menu_round(c, "i")),
]

TOOLBAR_NAMES = {
    158: "tb_add_away_158.bmp", 170: "tb_add_over_170.bmp",
    160: "tb_remove_away_160.bmp", 174: "tb_remove_over_174.bmp",
    159: "tb_remove_all_away_159.bmp", 169: "tb_remove_all_over_169.bmp",
    134: "tb_naming_away_134.bmp", 135: "tb_naming_over_135.bmp",
    130: "tb_update_away_130.bmp", 131: "tb_update_over_131.bmp",
}
STATUS_NAMES = {140: "status_working_140.ico", 141: "status_queued_141.ico",
                142: "status_failed_142.ico", 143: "status_repaired_143.ico"}


# ================================================================ writing
def save_bmp(img, name):
    path = os.path.join(OUT_DIR, name)
    img.convert("RGB").save(path, "BMP")
    return path


def generate():
    os.makedirs(OUT_DIR, exist_ok=True)
    made = {}   # file name -> (kind, size, extra)
    bg = main_background()
    made["bg_main_129.bmp"] = ("bmp", MAIN_SIZE, None)
    save_bmp(bg, "bg_main_129.bmp")
    save_bmp(home_link(bg), "home_link_148.bmp")
    made["home_link_148.bmp"] = ("bmp", HOME_LINK_RECT[2:], None)
    save_bmp(splash(), "splash_177.bmp")
    made["splash_177.bmp"] = ("bmp", (359, 182), None)
    save_bmp(about_background(), "bg_about_154.bmp")
    made["bg_about_154.bmp"] = ("bmp", (359, 335), None)
    save_bmp(dialog_background(lambda c: tag(c, 0, 12, 48, 36), 156), "bg_naming_156.bmp")
    made["bg_naming_156.bmp"] = ("bmp", (375, 185), None)
    save_bmp(dialog_background(pic_folder, 157), "bg_location_157.bmp")
    made["bg_location_157.bmp"] = ("bmp", (375, 185), None)

    backdrop = toolbar_backdrop(bg)
    for away_id, over_id, pic, caption in TOOLBAR:
        save_bmp(toolbar_away(pic, caption, backdrop), TOOLBAR_NAMES[away_id])
        made[TOOLBAR_NAMES[away_id]] = ("away", TOOLBAR_SIZE, None)
        save_bmp(toolbar_over(pic, caption, backdrop), TOOLBAR_NAMES[over_id])
        made[TOOLBAR_NAMES[over_id]] = ("over", TOOLBAR_SIZE, None)

    for ident, name, draw in MENU:
        save_bmp(menu_picture(draw), name)
        made[name] = ("menu", (16, 16), None)

    write_ico(os.path.join(OUT_DIR, "app_128.ico"), [app_icon(s) for s in (16, 32, 48)])
    made["app_128.ico"] = ("ico", None, (16, 32, 48))
    for ident, direction, lit, name in ((136, "back", False, "back_away_136.ico"),
                                        (137, "back", True, "back_over_137.ico"),
                                        (138, "next", False, "next_away_138.ico"),
                                        (139, "next", True, "next_over_139.ico")):
        write_ico(os.path.join(OUT_DIR, name), [nav_icon(direction, lit)])
        made[name] = ("ico", None, (32,))
    for ident, name in sorted(STATUS_NAMES.items()):
        write_ico(os.path.join(OUT_DIR, name), [status_icon(ident, s) for s in (48, 16, 32)])
        made[name] = ("ico", None, (16, 32, 48))
    return made


# ============================================================ self-check
def check_bmp(path, size):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:2] == b"BM", path
    (off,) = struct.unpack_from("<I", data, 10)
    hsize, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 14)
    assert hsize == 40 and planes == 1, path
    assert (w, h) == tuple(size), "%s: %dx%d" % (path, w, h)     # h > 0: bottom-up
    assert bpp == 24 and comp == 0, "%s: %d bpp, compression %d" % (path, bpp, comp)
    stride = (w * 3 + 3) // 4 * 4
    assert len(data) == off + stride * h, path
    img = Image.open(path)
    assert img.mode == "RGB" and img.size == tuple(size)
    return img


def enclosed_key_regions(img, key):
    """Sizes of key-coloured areas not connected to the picture's border."""
    w, h = img.size
    px = img.load()
    seen = [[False] * w for _ in range(h)]
    sizes = []
    for y in range(h):
        for x in range(w):
            if seen[y][x] or px[x, y] != key:
                continue
            q = deque([(x, y)])
            seen[y][x] = True
            n, touches = 0, False
            while q:
                a, b = q.popleft()
                n += 1
                if a in (0, w - 1) or b in (0, h - 1):
                    touches = True
                for na, nb in ((a + 1, b), (a - 1, b), (a, b + 1), (a, b - 1)):
                    if 0 <= na < w and 0 <= nb < h and not seen[nb][na] and px[na, nb] == key:
                        seen[nb][na] = True
                        q.append((na, nb))
            if not touches:
                sizes.append(n)
    return sizes


def check_keyed(img, key, name, over):
    w, h = img.size
    px = img.load()
    for corner in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        assert px[corner] == key, "%s: corner %s is %s" % (name, corner, px[corner])
    keys = [(x, y) for y in range(h) for x in range(w) if px[x, y] == key]
    share = len(keys) / float(w * h)
    if over:
        # Only the plate's rounded corners may be transparent.
        stray = [(x, y) for x, y in keys if not ((x < 8 or x >= w - 8) and (y < 8 or y >= h - 8))]
        assert not stray, "%s: key colour inside the plate at %s" % (name, stray[:5])
    else:
        assert 0.35 <= share <= 0.85, "%s: %.0f%% transparent" % (name, share * 100)
        holes = enclosed_key_regions(img, key)
        # Counters of caption letters and small cut-outs are fine; a key
        # coloured shape inside the pictogram would be much larger.
        assert not holes or max(holes) <= 24, "%s: transparent hole of %d px" % (name, max(holes))


def check_ico(path, sizes):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert reserved == 0 and kind == 1 and count == len(sizes), path
    seen = []
    for i in range(count):
        bw, bh, colours, res, planes, bpp, nbytes, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w = bw or 256
        h = bh or 256
        assert planes == 1 and bpp == 32 and colours == 0, path
        blob = data[off:off + nbytes]
        assert len(blob) == nbytes and blob[:4] != b"\x89PNG", path
        hsize, dw, dh, dplanes, dbpp, comp = struct.unpack_from("<IiiHHI", blob, 0)
        assert (hsize, dw, dh, dplanes, dbpp, comp) == (40, w, 2 * h, 1, 32, 0), path
        stride = (w + 31) // 32 * 4
        assert nbytes == 40 + w * h * 4 + stride * h, path
        # The AND mask must agree with the alpha channel.
        for row in range(h):
            for x in range(w):
                a = blob[40 + (row * w + x) * 4 + 3]
                bit = blob[40 + w * h * 4 + row * stride + (x >> 3)] >> (7 - (x & 7)) & 1
                assert bit == (a < 128), "%s: mask/alpha mismatch" % path
        alphas = [blob[40 + j * 4 + 3] for j in range(w * h)]
        assert min(alphas) == 0 and max(alphas) == 255, "%s: no transparency or no body" % path
        seen.append(w)
    assert seen == sorted(sizes), "%s: sizes %s" % (path, seen)
    img = Image.open(path)
    assert img.format == "ICO"


def self_check(made):
    for name, (kind, size, extra) in sorted(made.items()):
        path = os.path.join(OUT_DIR, name)
        if kind == "ico":
            check_ico(path, extra)
            continue
        img = check_bmp(path, size)
        if kind == "away":
            check_keyed(img, AWAY_KEY, name, over=False)
        elif kind == "over":
            check_keyed(img, OVER_KEY, name, over=True)
        elif kind == "menu":
            # Opaque pictures on the menu's grey: the pictogram may touch the
            # edge (badges sit in the corner), but most of the rim is grey.
            rim = [(x, 0) for x in range(16)] + [(x, 15) for x in range(16)] + \
                  [(0, y) for y in range(1, 15)] + [(15, y) for y in range(1, 15)]
            grey = sum(1 for xy in rim if img.getpixel(xy) == MENU_BG)
            assert img.getpixel((0, 0)) == MENU_BG and grey >= len(rim) // 3, \
                "%s: only %d of %d rim pixels are the menu grey" % (name, grey, len(rim))
    on_disk = sorted(n for n in os.listdir(OUT_DIR) if not n.startswith("."))
    assert on_disk == sorted(made), "unexpected files: %s" % (set(on_disk) ^ set(made))


# ========================================================= contact sheet
def load_ico_images(path):
    """Reads our own icon entries back (without relying on PIL's ICO reader)."""
    with open(path, "rb") as f:
        data = f.read()
    count = struct.unpack_from("<H", data, 4)[0]
    out = []
    for i in range(count):
        bw, bh, _, _, _, _, nbytes, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = bw or 256, bh or 256
        img = Image.new("RGBA", (w, h))
        px = img.load()
        for row in range(h):
            for x in range(w):
                b, g, r, a = data[off + 40 + (row * w + x) * 4: off + 44 + (row * w + x) * 4]
                px[x, h - 1 - row] = (r, g, b, a)
        out.append(img)
    return out


def unkey(img, key):
    rgba_img = img.convert("RGBA")
    mask = Image.new("L", img.size, 0)
    mp, ip = mask.load(), img.load()
    for y in range(img.size[1]):
        for x in range(img.size[0]):
            mp[x, y] = 0 if ip[x, y] == key else 255
    rgba_img.putalpha(mask)
    return rgba_img


def contact_sheet():
    pic = lambda n: Image.open(os.path.join(OUT_DIR, n)).convert("RGB")
    ico = lambda n: load_ico_images(os.path.join(OUT_DIR, n))
    sheet_img = Image.new("RGBA", (1660, 1130), (200, 204, 210, 255))
    label = lambda xy, s: put_text(sheet_img, xy, s, SANS, 12, (30, 30, 30))

    # The main window as the program composes it.
    win = pic("bg_main_129.bmp").convert("RGBA")
    x, y, w, h = HOME_LINK_RECT
    win.paste(pic("home_link_148.bmp"), (x, y))
    for i, (away_id, over_id, _, _) in enumerate(TOOLBAR):
        name = TOOLBAR_NAMES[over_id if i == 1 else away_id]
        win.alpha_composite(unkey(pic(name), OVER_KEY if i == 1 else AWAY_KEY), TOOLBAR_SLOTS[i])
    d = ImageDraw.Draw(win)
    x, y, w, h = LIST_RECT
    d.rectangle([x, y, x + w - 1, y + h - 1], fill=WHITE, outline=(130, 135, 144))
    d.rectangle([x + 1, y + 1, x + w - 2, y + 22], fill=(245, 245, 245))
    for j, (icon, text) in enumerate(((143, "Budget 2023.xls - repaired"), (140, "Sales.xls - working"),
                                      (141, "Stock.xls - queued"), (142, "Old.xls - failed"))):
        small = ico(STATUS_NAMES[icon])[-1].resize((16, 16), Image.LANCZOS)
        win.alpha_composite(small, (x + 6, y + 30 + j * 20))
        put_text(win, (x + 28, y + 43 + j * 20), text, SANS, 11, (0, 0, 0), anchor="ls")
    d.rectangle([10, 100, 22, 112], fill=WHITE, outline=(110, 110, 110))
    put_text(win, (27, 111), "Select All", SANS, 11, (0, 0, 0), anchor="ls")
    x, y, w, h = LABEL_RECT
    for j, line in enumerate(("Tick the workbooks you want to repair, then click Next.",
                              "Repaired copies are saved in the folder you choose;",
                              "the original files are never changed.")):
        put_text(win, (x, y + 11 + j * 13), line, SANS, 11, (0, 0, 0), anchor="ls")
    x, y, w, h = NEXT_RECT
    d.rectangle([x, y, x + w - 1, y + h - 1], fill=(240, 240, 240))
    win.alpha_composite(ico("next_away_138.ico")[0], (x + 8, y + 8))
    sheet_img.alpha_composite(win, (20, 30))
    label((20, 12), "main window 129 + home link 148 + toolbar (2nd shown lit) + mock controls")

    sheet_img.paste(pic("splash_177.bmp"), (840, 30))
    label((840, 12), "splash 177")
    sheet_img.paste(pic("bg_about_154.bmp"), (840, 240))
    label((840, 222), "about 154")
    sheet_img.paste(pic("bg_naming_156.bmp"), (1230, 30))
    label((1230, 12), "naming 156")
    sheet_img.paste(pic("bg_location_157.bmp"), (1230, 240))
    label((1230, 222), "location 157")

    # Toolbar pictures raw (keys visible) and over the header background.
    bg = pic("bg_main_129.bmp")
    x0, y0 = 20, 600
    label((x0, y0 - 18), "toolbar: raw away / raw over / both on the background (2x)")
    for i, (away_id, over_id, _, _) in enumerate(TOOLBAR):
        a, o = pic(TOOLBAR_NAMES[away_id]), pic(TOOLBAR_NAMES[over_id])
        sheet_img.paste(a, (x0 + i * 160, y0))
        sheet_img.paste(o, (x0 + i * 160 + 74, y0))
        for j, (img, key) in enumerate(((a, AWAY_KEY), (o, OVER_KEY))):
            tile = bg.crop((19, 19, 87, 89)).convert("RGBA")
            tile.alpha_composite(unkey(img, key))
            sheet_img.paste(tile.resize((136, 140), Image.NEAREST), (x0 + i * 290 + j * 140, y0 + 80))
    # Icons.
    x0, y0 = 20, 850
    label((x0, y0 - 18), "icons: app 128, back/next 136-139 on a button face, status 140-143 (16/32/48, 48 shrunk to 16)")
    face = Image.new("RGBA", (1620, 120), (240, 240, 240, 255))
    x = 10
    for img in ico("app_128.ico"):
        face.alpha_composite(img, (x, 10))
        if img.size[0] < 48:
            face.alpha_composite(img.resize((img.size[0] * 2,) * 2, Image.NEAREST), (x, 52))
        x += img.size[0] * 2 + 12
    for name in ("back_away_136.ico", "back_over_137.ico", "next_away_138.ico", "next_over_139.ico"):
        img = ico(name)[0]
        face.alpha_composite(img, (x, 10))
        face.alpha_composite(img.resize((64, 64), Image.NEAREST), (x, 50))
        x += 74
    for name in (STATUS_NAMES[k] for k in sorted(STATUS_NAMES)):
        imgs = ico(name)
        for img in imgs:
            face.alpha_composite(img, (x, 10))
            x += img.size[0] + 6
        face.alpha_composite(imgs[-1].resize((16, 16), Image.LANCZOS), (x, 10))
        face.alpha_composite(imgs[-1].resize((16, 16), Image.LANCZOS).resize((48, 48), Image.NEAREST), (x - 100, 64))
        x += 30
    sheet_img.alpha_composite(face, (x0, y0))
    # Menu pictures.
    x0, y0 = 20, 1000
    label((x0, y0 - 18), "menu pictures 165 178 166 167 175 179 147 149 150 151 152 (1x and 4x)")
    for i, (ident, name, _) in enumerate(MENU):
        img = pic(name)
        sheet_img.paste(img, (x0 + i * 90, y0))
        sheet_img.paste(img.resize((64, 64), Image.NEAREST), (x0 + i * 90 + 20, y0))
    sheet_img.convert("RGB").save(CONTACT_SHEET)


def main():
    made = generate()
    self_check(made)
    contact_sheet()
    print("wrote %d pictures to %s; contact sheet %s" % (len(made), os.path.relpath(OUT_DIR, ROOT), CONTACT_SHEET))


if __name__ == "__main__":
    main()
