#!/usr/bin/python3
"""Draws the monitor's emblem and writes its three Windows icon files.

The emblem is a deep-blue shield with a light rim and a gold contact chip in
its middle. Every size is drawn from the same shapes, defined in a unit square
(x to the right, y downwards), and anti-aliased by sampling each pixel on an
8x8 grid. The shield's top and sides, its outline and rim, the chip's edges
and its contact lines are moved onto whole pixels so the small sizes stay
crisp. The 4-bit images are drawn in flat colours of the 16-colour palette;
the 8-bit ones use a fixed 256-colour palette that holds the emblem's own
colours.

Files written (the numbers are the resource identifiers in res/resource.h):

  running.ico  (IDI_RUNNING, 107)  one 56x56 image, 32 bits, in colour
  stopped.ico  (IDI_STOPPED, 129)  the same image in greys
  small.ico    (IDI_SMALL, 108)    16 and 32 px at 4 bits; 16, 32 and 48 px at
                                   8 bits; 16, 32 and 48 px at 32 bits

The output is the same byte for byte on every run: nothing depends on the
clock, on randomness or on anything but IEEE double arithmetic and sqrt.

Usage:
  make_icons.py                 write the icons into res/icons/
  make_icons.py --check         exit 1, naming the file, if a file in res/icons/
                                differs from what would be written
  make_icons.py --out DIR       use DIR instead of res/icons/
  make_icons.py --preview DIR   also write enlarged PNG previews into DIR
"""

import argparse
import math
import os
import struct
import sys
import zlib

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEFAULT_OUT = os.path.join(REPO_ROOT, "res", "icons")

SUBSAMPLES = 8  # per axis, so 64 samples a pixel

# ---------------------------------------------------------------------------
# Colours (R, G, B)

class Scheme:
    """The emblem's colours. Gradients are (top, bottom) pairs, running down
    the shield or down the chip."""

    def __init__(self, outline, rim, body_left, body_right, chip, chip_edge, chip_line):
        self.outline = outline
        self.rim = rim
        self.body_left = body_left      # the lit left half of the shield
        self.body_right = body_right    # the shaded right half
        self.chip = chip
        self.chip_edge = chip_edge
        self.chip_line = chip_line


# Full colour, for the 32-bit images and (through the palette built from it)
# the 8-bit ones.
FULL = Scheme(
    outline=(9, 27, 66),
    rim=((214, 230, 248), (128, 164, 206)),
    body_left=((46, 104, 190), (22, 62, 138)),
    body_right=((26, 72, 150), (12, 38, 96)),
    chip=((255, 228, 140), (214, 160, 52)),
    chip_edge=(122, 84, 14),
    chip_line=(150, 104, 26),
)

# Flat colours taken from the standard 16-colour palette, for the 4-bit images:
# a gradient cannot survive 16 colours, so the emblem is drawn flat instead.
FLAT_16 = Scheme(
    outline=(0, 0, 0),
    rim=((192, 192, 192), (192, 192, 192)),
    body_left=((0, 0, 255), (0, 0, 255)),
    body_right=((0, 0, 128), (0, 0, 128)),
    chip=((255, 255, 0), (255, 255, 0)),
    chip_edge=(128, 128, 0),
    chip_line=(128, 128, 0),
)


def mix(a, b, t):
    """Linear blend between colours a and b, t in [0, 1]."""
    t = min(1.0, max(0.0, t))
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


# ---------------------------------------------------------------------------
# Shapes

# Shield, in the unit square: a flat top with rounded corners, straight sides
# down to SIDE_END, then two circular arcs meeting in the point (a heater
# shield). Its top and sides are moved onto whole pixels for each size.
TOP = 0.05
BOTTOM = 0.97
HALF_WIDTH = 0.41
SIDE_END = 0.42
CORNER = 0.09
OUTLINE_WIDTH = 0.022   # dark edge, so the shield stands out on light backgrounds
RIM_WIDTH = 0.055       # light rim, so it stands out on dark ones

# Chip: its edges are moved onto whole pixels too, symmetric about the centre.
CHIP_CENTRE_Y = 0.46
CHIP_WIDTH = 0.46
CHIP_HEIGHT = 0.35
CHIP_CORNER = 0.05
CHIP_LINES_FROM = 24    # smaller chips are a plain gold block


def snap(v, size):
    """v (in the unit square) moved to the nearest pixel boundary."""
    return int(math.floor(v * size + 0.5)) / size


def rounded_rect_distance(x, y, x0, y0, x1, y1, radius):
    """Signed distance to a rectangle with rounded corners: negative inside."""
    cx = (x0 + x1) * 0.5
    cy = (y0 + y1) * 0.5
    qx = abs(x - cx) - ((x1 - x0) * 0.5 - radius)
    qy = abs(y - cy) - ((y1 - y0) * 0.5 - radius)
    ox = max(qx, 0.0)
    oy = max(qy, 0.0)
    return math.sqrt(ox * ox + oy * oy) + min(max(qx, qy), 0.0) - radius


class Emblem:
    """The emblem laid out for one pixel size and colour scheme."""

    def __init__(self, size, scheme):
        self.size = size
        self.scheme = scheme
        px = 1.0 / size

        # Shield
        self.top = snap(TOP, size)
        self.half_width = 0.5 - snap(0.5 - HALF_WIDTH, size)
        # The right-hand arc's circle is centred at height SIDE_END and passes
        # through the side's end (half_width, SIDE_END) and the point (0, BOTTOM),
        # x measured from the centre line; the left-hand arc mirrors it.
        drop = BOTTOM - SIDE_END
        self.arc_radius = (self.half_width ** 2 + drop * drop) / (2.0 * self.half_width)
        self.arc_centre_x = self.half_width - self.arc_radius
        self.outline = max(1, int(math.floor(OUTLINE_WIDTH * size + 0.5))) * px
        self.rim = max(1, int(math.floor(RIM_WIDTH * size + 0.5))) * px

        # Chip, in pixels
        left = int(math.floor((0.5 - CHIP_WIDTH / 2) * size + 0.5))
        top = int(math.floor((CHIP_CENTRE_Y - CHIP_HEIGHT / 2) * size + 0.5))
        height = max(3, int(math.floor(CHIP_HEIGHT * size + 0.5)))
        self.chip = (left, top, size - left, top + height)
        self.chip_corner = max(0.75, CHIP_CORNER * size)
        self.chip_lines = self._chip_lines() if size >= CHIP_LINES_FROM else []

    def _chip_lines(self):
        """Contact lines as pixel rectangles (x0, y0, x1, y1): two columns of
        three contacts either side of a middle strip split in two."""
        x0, y0, x1, y1 = self.chip
        w = x1 - x0
        h = y1 - y0
        lw = max(1, int(math.floor(self.size / 40.0 + 0.5)))
        col = int(math.floor(w * 0.34 + 0.5))
        left_col = x0 + col
        right_col = x1 - col - lw
        mid = y0 + (h - lw) // 2
        lines = [
            (left_col, y0, left_col + lw, y1),
            (right_col, y0, right_col + lw, y1),
            (left_col, mid, right_col + lw, mid + lw),
        ]
        for k in (1, 2):
            r = y0 + int(math.floor(h * k / 3.0 + 0.5))
            lines.append((x0, r, left_col, r + lw))
            lines.append((right_col + lw, r, x1, r + lw))
        return lines

    def shield_distance(self, x, y):
        """Signed distance to the shield's outline (unit square): negative inside."""
        ax = abs(x - 0.5)
        corner_x = self.half_width - CORNER
        corner_y = self.top + CORNER
        if ax > corner_x and y < corner_y:
            dx = ax - corner_x
            dy = y - corner_y
            return math.sqrt(dx * dx + dy * dy) - CORNER
        if y <= SIDE_END:
            side = ax - self.half_width
        else:
            dx = ax - self.arc_centre_x
            dy = y - SIDE_END
            side = math.sqrt(dx * dx + dy * dy) - self.arc_radius
        return max(self.top - y, side)

    def colour_at(self, X, Y):
        """Colour of the topmost shape at pixel coordinates (X, Y), or None."""
        scheme = self.scheme
        x = X / self.size
        y = Y / self.size
        d = self.shield_distance(x, y)
        if d >= 0.0:
            return None
        # Chip, on top of everything
        cx0, cy0, cx1, cy1 = self.chip
        if cx0 <= X <= cx1 and cy0 <= Y <= cy1:
            cd = rounded_rect_distance(X, Y, cx0, cy0, cx1, cy1, self.chip_corner)
            if cd < 0.0:
                if cd > -1.0:
                    return scheme.chip_edge
                for (lx0, ly0, lx1, ly1) in self.chip_lines:
                    if lx0 <= X < lx1 and ly0 <= Y < ly1:
                        return scheme.chip_line
                return mix(scheme.chip[0], scheme.chip[1], (Y - cy0) / (cy1 - cy0))
        if d > -self.outline:
            return scheme.outline
        t = (y - self.top) / (BOTTOM - self.top)
        if d > -(self.outline + self.rim):
            return mix(scheme.rim[0], scheme.rim[1], t)
        body = scheme.body_left if x < 0.5 else scheme.body_right
        return mix(body[0], body[1], t)


def to_byte(v):
    """A channel value in [0, 255], rounded half up."""
    return max(0, min(255, int(v + 0.5)))


def render(size, scheme):
    """The emblem as size x size straight-alpha (R, G, B, A) tuples, rows top-down."""
    emblem = Emblem(size, scheme)
    n = SUBSAMPLES
    offsets = [(k + 0.5) / n for k in range(n)]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = 0.0
            hits = 0
            for oy in offsets:
                for ox in offsets:
                    c = emblem.colour_at(px + ox, py + oy)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        hits += 1
            if hits == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((to_byte(r / hits), to_byte(g / hits), to_byte(b / hits),
                            to_byte(255.0 * hits / (n * n))))
        rows.append(row)
    return rows


# The stopped emblem's greys span only this range: lighter and flatter than
# the colour one, so it reads as switched off.
GREY_DARKEST = 92
GREY_LIGHTEST = 232


def to_grey(rows):
    """The 'off' look: luminance, lifted and flattened; alpha unchanged."""
    out = []
    for row in rows:
        new = []
        for (r, g, b, a) in row:
            if a == 0:
                new.append((0, 0, 0, 0))
                continue
            luma = (299 * r + 587 * g + 114 * b + 500) // 1000
            v = GREY_DARKEST + (luma * (GREY_LIGHTEST - GREY_DARKEST) + 127) // 255
            new.append((v, v, v, a))
        out.append(new)
    return out


# ---------------------------------------------------------------------------
# Palettes for the 4- and 8-bit images

# The standard 16-colour Windows palette.
PALETTE_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def _palette_256():
    """A 6x6x6 colour cube (black first), then 40 colours of the emblem itself:
    seven steps down each of its gradients, its three line colours, five
    blends of the outline into the rim (the shield's anti-aliased lower edge)
    and four greys between the cube's."""
    levels = [0, 51, 102, 153, 204, 255]
    pal = [(r, g, b) for r in levels for g in levels for b in levels]
    for top, bottom in (FULL.rim, FULL.body_left, FULL.body_right, FULL.chip):
        for k in range(7):
            pal.append(tuple(to_byte(c) for c in mix(top, bottom, k / 6.0)))
    pal += [FULL.outline, FULL.chip_edge, FULL.chip_line]
    for k in range(1, 6):
        pal.append(tuple(to_byte(c) for c in mix(FULL.outline, FULL.rim[1], k / 6.0)))
    for v in (34, 68, 187, 221):
        pal.append((v, v, v))
    assert len(pal) == 256
    return pal


PALETTE_256 = _palette_256()


def nearest(palette, colour, cache):
    """Index of the palette colour closest to colour (weighted RGB distance)."""
    idx = cache.get(colour)
    if idx is None:
        r, g, b = colour
        best = None
        for i, (pr, pg, pb) in enumerate(palette):
            d = 2 * (r - pr) ** 2 + 4 * (g - pg) ** 2 + 3 * (b - pb) ** 2
            if best is None or d < best:
                best = d
                idx = i
        cache[colour] = idx
    return idx


# ---------------------------------------------------------------------------
# Icon images and the .ico container

class IconImage:
    """One image of an icon file: pixels as (R, G, B, A) plus its bit depth.

    Palette images have no alpha: a pixel at least half covered shows the
    palette colour nearest to it (alpha 255 here), the rest are masked out
    and held as (0, 0, 0, 0).
    """

    def __init__(self, rows, bits):
        self.size = len(rows)
        self.bits = bits
        self.palette = None
        self.indices = None
        if bits == 32:
            self.rows = rows
            return
        self.palette = PALETTE_16 if bits == 4 else PALETTE_256
        cache = {}
        self.indices = []
        self.rows = []
        for row in rows:
            irow = []
            prow = []
            for (r, g, b, a) in row:
                if a < 128:
                    irow.append(0)  # black under a set mask bit leaves the screen as is
                    prow.append((0, 0, 0, 0))
                else:
                    i = nearest(self.palette, (r, g, b), cache)
                    irow.append(i)
                    prow.append(self.palette[i] + (255,))
            self.indices.append(irow)
            self.rows.append(prow)

    def dib(self):
        """BITMAPINFOHEADER, palette, colour rows and AND mask, as in an .ico."""
        size = self.size
        bits = self.bits
        xor_stride = (size * bits + 31) // 32 * 4
        and_stride = (size + 31) // 32 * 4
        xor = bytearray()
        mask = bytearray()
        for y in range(size - 1, -1, -1):  # bottom-up
            line = bytearray()
            if bits == 32:
                for (r, g, b, a) in self.rows[y]:
                    line += bytes((b, g, r, a))
            elif bits == 8:
                line += bytes(self.indices[y])
            else:
                idx = self.indices[y]
                for x in range(0, size, 2):
                    hi = idx[x]
                    lo = idx[x + 1] if x + 1 < size else 0
                    line.append(hi << 4 | lo)
            line += b"\0" * (xor_stride - len(line))
            xor += line
            bitsrow = bytearray(and_stride)
            for x, (_, _, _, a) in enumerate(self.rows[y]):
                if a == 0:
                    bitsrow[x >> 3] |= 0x80 >> (x & 7)
            mask += bitsrow
        palette = b""
        if self.palette is not None:
            palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in self.palette)
        header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                             len(xor) + len(mask), 0, 0, 0, 0)
        return header + palette + bytes(xor) + bytes(mask)


def ico_bytes(images):
    """An .ico file holding the images in the order given."""
    dibs = [im.dib() for im in images]
    offset = 6 + 16 * len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    for im, data in zip(images, dibs):
        dim = im.size if im.size < 256 else 0
        colours = 16 if im.bits == 4 else 0
        out += struct.pack("<BBBBHHII", dim, dim, colours, 0, 1, im.bits, len(data), offset)
        offset += len(data)
    for data in dibs:
        out += data
    return bytes(out)


# ---------------------------------------------------------------------------
# What gets written

RUNNING_SIZE = 56
SMALL_IMAGES = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8), (16, 32), (32, 32), (48, 32)]


def build():
    """Every icon file, as a list of (file name, [IconImage]) in a fixed order."""
    colour = render(RUNNING_SIZE, FULL)
    running = [IconImage(colour, 32)]
    stopped = [IconImage(to_grey(colour), 32)]
    small = [IconImage(render(size, FLAT_16 if bits == 4 else FULL), bits)
             for size, bits in SMALL_IMAGES]
    return [("running.ico", running), ("stopped.ico", stopped), ("small.ico", small)]


# ---------------------------------------------------------------------------
# PNG previews

def png_bytes(width, height, rgb_rows):
    """A plain 8-bit RGB PNG."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rgb_rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


PREVIEW_BACKGROUNDS = [(255, 255, 255), (210, 214, 220), (32, 32, 36)]


def preview_rows(rows, scale):
    """The image over light, mid and dark backgrounds, enlarged, side by side,
    with a strip at actual size underneath."""
    size = len(rows)
    gap = 8
    panel = size * scale
    width = len(PREVIEW_BACKGROUNDS) * (panel + gap) + gap
    height = panel + 3 * gap + size
    canvas = [[(128, 128, 128)] * width for _ in range(height)]

    def over(px, bg):
        r, g, b, a = px
        return tuple((c * a + k * (255 - a) + 127) // 255 for c, k in zip((r, g, b), bg))

    for n, bg in enumerate(PREVIEW_BACKGROUNDS):
        left = gap + n * (panel + gap)
        for y in range(size):
            line = [over(p, bg) for p in rows[y]]
            for sy in range(scale):
                dst = canvas[gap + y * scale + sy]
                for x, c in enumerate(line):
                    for sx in range(scale):
                        dst[left + x * scale + sx] = c
            canvas[2 * gap + panel + y][left:left + size] = line
    return width, height, canvas


def write_previews(files, directory):
    os.makedirs(directory, exist_ok=True)
    for name, images in files:
        stem = name[:-4]
        for im in images:
            scale = max(1, 224 // im.size)
            w, h, canvas = preview_rows(im.rows, scale)
            path = os.path.join(directory, "%s-%d-%dbit.png" % (stem, im.size, im.bits))
            with open(path, "wb") as f:
                f.write(png_bytes(w, h, canvas))


# ---------------------------------------------------------------------------

def main(argv=None):
    parser = argparse.ArgumentParser(description="Draw the monitor's icons.")
    parser.add_argument("--out", default=DEFAULT_OUT, help="icon folder (default res/icons)")
    parser.add_argument("--check", action="store_true",
                        help="compare the icon folder with what would be written")
    parser.add_argument("--preview", metavar="DIR", help="write enlarged PNG previews into DIR")
    args = parser.parse_args(argv)

    files = build()
    if args.preview:
        write_previews(files, args.preview)

    if args.check:
        stale = []
        for name, images in files:
            path = os.path.join(args.out, name)
            try:
                with open(path, "rb") as f:
                    current = f.read()
            except OSError:
                current = None
            if current != ico_bytes(images):
                stale.append(path)
        for path in stale:
            print("%s differs from what tools/icons/make_icons.py writes; run it and commit"
                  % path, file=sys.stderr)
        return 1 if stale else 0

    os.makedirs(args.out, exist_ok=True)
    for name, images in files:
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(ico_bytes(images))
    return 0


if __name__ == "__main__":
    sys.exit(main())
