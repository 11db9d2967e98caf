#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws Sortilex's own pictures: the banner bitmap (552 x 63, 24-bit) and the program icon, from
one vector drawing: resources/icons/sortilex.svg, the desktop's PNGs at 16 to 256 pixels
(resources/icons/sortilex-N.png) and the Windows icon (32 x 32 and 16 x 16, 16 colours,
resources/sortilex.ico). Plain Python, no imaging library; run it to rebuild them."""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources")

# 5 x 7 block letters for the banner's name.
FONT = {
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    " ": ["00000"] * 7,
}


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def plane_mask(x, y, cx, cy, s):
    """A small aircraft seen from above, nose to the right, centred at (cx, cy), size s."""
    u, v = (x - cx) / s, (y - cy) / s
    fuselage = abs(v) < 0.09 and -1.0 < u < 1.0
    nose = 1.0 <= u < 1.15 and abs(v) < 0.09 * (1.15 - u) / 0.15
    wing = -0.15 < u < 0.2 and abs(v) < 0.95 and (u - 0.2) > -0.35 - 0.2 * abs(v) * 0
    wing = wing and u < 0.2 - 0.25 * abs(v)
    tail = -1.0 < u < -0.75 and abs(v) < 0.38 and u < -0.75 - 0.3 * abs(v) + 0.1
    return fuselage or nose or wing or tail


def banner():
    w, h = 552, 63
    sky_top, sky_low = (18, 38, 92), (120, 170, 220)
    ground_near, ground_far = (46, 70, 40), (98, 120, 78)
    horizon = 48
    px = [[(0, 0, 0)] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if y < horizon:
                c = lerp(sky_top, sky_low, y / horizon)
                # a faint sun glow on the right
                d = math.hypot(x - 470, y - 40)
                if d < 60:
                    c = lerp(c, (250, 222, 160), (1 - d / 60) ** 2 * 0.8)
            else:
                t = (y - horizon) / (h - horizon)
                c = lerp(ground_far, ground_near, t)
                if (x // 23 + y // 3) % 7 == 0:
                    c = lerp(c, (70, 96, 58), 0.5)
            px[y][x] = c
    # three aircraft in formation
    for cx, cy, s in ((400, 22, 13), (372, 12, 9), (372, 33, 9)):
        for y in range(h):
            for x in range(w):
                if plane_mask(x, y, cx, cy, s):
                    px[y][x] = (235, 235, 240)
                elif plane_mask(x - 1, y - 1, cx, cy, s):
                    px[y][x] = lerp(px[y][x], (10, 20, 40), 0.5)
    # the name, in block letters with a shadow
    text, scale, x0, y0 = "SORTILEX", 5, 16, 10
    for dx, dy, colour in ((2, 2, (8, 16, 40)), (0, 0, (250, 214, 90))):
        x = x0
        for ch in text:
            glyph = FONT[ch]
            for gy, row in enumerate(glyph):
                for gx, bit in enumerate(row):
                    if bit == "1":
                        for yy in range(scale):
                            for xx in range(scale):
                                X, Y = x + gx * scale + xx + dx, y0 + gy * scale + yy + dy
                                if 0 <= X < w and 0 <= Y < h:
                                    px[Y][X] = colour
            x += 6 * scale
    # the subtitle in small letters
    text, scale, x, y0 = "MISSION MANAGER", 2, 18, 50
    for ch in text:
        for gy, row in enumerate(FONT[ch]):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for yy in range(scale):
                        for xx in range(scale):
                            px[y0 + gy * scale + yy - 1][x + gx * scale + xx] = (230, 230, 210)
        x += 6 * scale
    row_size = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for r, g, b in px[y]:
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        data += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


ICON_SIZES = (16, 32, 48, 64, 128, 256)

# The standard 16-colour palette.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


# The program icon, drawn once as vector shapes on a 1 x 1 square (y down): a round sky badge
# with a gold rim and a white aircraft climbing. Every icon file comes from this drawing: the
# SVG as it stands, the PNGs rasterised from it with antialiasing, and the Windows icon sampled
# from it into the 16-colour palette (each shape names its palette colour).
def _plane(cx, cy, s):
    """The aircraft's outline polygons, nose up, centred at (cx, cy), wingspan about 1.9 s."""
    parts = [
        [(-1, -0.09), (1, -0.09), (1.15, 0), (1, 0.09), (-1, 0.09)],                        # fuselage
        [(-0.15, -0.95), (-0.0375, -0.95), (0.2, 0), (-0.0375, 0.95), (-0.15, 0.95)],      # wing
        [(-1, -0.38), (-0.764, -0.38), (-0.65, 0), (-0.764, 0.38), (-1, 0.38)],            # tail
    ]
    return [[(cx + v * s, cy - u * s) for u, v in part] for part in parts]


ICON_SHAPES = [
    # (kind, geometry, RGB, palette index)
    ("circle", (0.5, 0.5, 0.5), (122, 92, 10), 3),          # dark edge of the rim
    ("circle", (0.5, 0.5, 0.47), (236, 190, 40), 11),       # gold rim
    ("circle", (0.5, 0.5, 0.41), (28, 62, 140), 4),         # sky, low
    ("clip-circle", ((0.5, 0.5, 0.41), (0, 0, 1, 0.62)), (54, 112, 214), 12),  # sky, high
] + [("polygon", part, (255, 255, 255), 15) for part in _plane(0.5, 0.5, 0.36)]


def _inside_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def _shape_at(x, y):
    """The index of the topmost shape at (x, y) of the unit square, or None."""
    hit = None
    for i, (kind, g, _, _) in enumerate(ICON_SHAPES):
        if kind == "circle":
            cx, cy, r = g
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                hit = i
        elif kind == "clip-circle":
            (cx, cy, r), (x0, y0, x1, y1) = g
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1:
                hit = i
        elif _inside_polygon(x, y, g):
            hit = i
    return hit


def icon_rgba(n, samples=4):
    """The icon at n x n pixels, antialiased: rows of (r, g, b, a)."""
    rows = []
    for py in range(n):
        row = []
        for px in range(n):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    hit = _shape_at((px + (sx + 0.5) / samples) / n, (py + (sy + 0.5) / samples) / n)
                    if hit is not None:
                        cr, cg, cb = ICON_SHAPES[hit][2]
                        r, g, b, a = r + cr, g + cg, b + cb, a + 1
            row.append((r // a, g // a, b // a, 255 * a // (samples * samples)) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_image(n):
    """The icon at n x n pixels in the 16-colour palette: colour indices and a mask."""
    pix = [[0] * n for _ in range(n)]
    mask = [[1] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            hit = _shape_at((x + 0.5) / n, (y + 0.5) / n)
            if hit is not None:
                mask[y][x] = 0
                pix[y][x] = ICON_SHAPES[hit][3]
    return pix, mask


def svg():
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 1 1">',
           '  <title>Sortilex</title>',
           '  <defs><clipPath id="high"><rect x="0" y="0" width="1" height="0.62"/></clipPath></defs>']
    for kind, g, (r, gr, b), _ in ICON_SHAPES:
        fill = "#%02x%02x%02x" % (r, gr, b)
        if kind == "circle":
            out.append('  <circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (g + (fill,)))
        elif kind == "clip-circle":
            (cx, cy, rad), _ = g
            out.append('  <circle cx="%g" cy="%g" r="%g" fill="%s" clip-path="url(#high)"/>'
                       % (cx, cy, rad, fill))
        else:
            pts = " ".join("%.4f,%.4f" % p for p in g)
            out.append('  <polygon points="%s" fill="%s"/>' % (pts, fill))
    out.append("</svg>")
    return "\n".join(out) + "\n"


def ico():
    images = []
    for n in (32, 16):
        pix, mask = icon_image(n)
        xor_row = ((n * 4 + 31) // 32) * 4
        and_row = ((n + 31) // 32) * 4
        xor = bytearray()
        andm = bytearray()
        for y in range(n - 1, -1, -1):
            row = bytearray()
            for x in range(0, n, 2):
                row.append((pix[y][x] << 4) | pix[y][x + 1])
            xor += row + b"\0" * (xor_row - len(row))
            bits = bytearray(and_row)
            for x in range(n):
                if mask[y][x]:
                    bits[x // 8] |= 0x80 >> (x % 8)
            andm += bits
        info = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 4, 0, len(xor) + len(andm), 0, 0, 16, 0)
        pal = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
        images.append((n, info + pal + bytes(xor) + bytes(andm)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return out


def png(n):
    """The icon as an antialiased RGBA PNG, for desktop environments."""
    raw = bytearray()
    for row in icon_rgba(n):
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def main():
    with open(os.path.join(OUT, "banner.bmp"), "wb") as f:
        f.write(banner())
    with open(os.path.join(OUT, "sortilex.ico"), "wb") as f:
        f.write(ico())
    for n in ICON_SIZES:
        with open(os.path.join(OUT, "icons", "sortilex-%d.png" % n), "wb") as f:
            f.write(png(n))
    with open(os.path.join(OUT, "icons", "sortilex.svg"), "w") as f:
        f.write(svg())
    return 0


if __name__ == "__main__":
    sys.exit(main())
