#!/usr/bin/env python3
"""Draws Sortilex's own pictures: the banner bitmap (552 x 63, 24-bit) and the program icon
(32 x 32 and 16 x 16, 16 colours, and as PNG for the desktop). Plain Python, no imaging library; run it to rebuild
resources/banner.bmp, resources/sortilex.ico and resources/sortilex-16.png, -32.png."""
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


# The standard 16-colour palette.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def icon_image(n):
    """A round sky badge with a white aircraft and a yellow rim; colour indices and a mask."""
    pix = [[0] * n for _ in range(n)]
    mask = [[1] * n for _ in range(n)]
    c = (n - 1) / 2
    r = n / 2 - 0.5
    for y in range(n):
        for x in range(n):
            d = math.hypot(x - c, y - c)
            if d <= r:
                mask[y][x] = 0
                pix[y][x] = 11 if d > r - max(1.5, n / 16) else (12 if y < c + n / 8 else 4)
    s = n * 0.36
    for y in range(n):
        for x in range(n):
            if mask[y][x] == 0 and plane_mask(y, n - 1 - x, c, c, s):  # nose up
                pix[y][x] = 15
    return pix, mask


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
    """The icon as an RGBA PNG, for desktop environments."""
    pix, mask = icon_image(n)
    raw = bytearray()
    for y in range(n):
        raw.append(0)
        for x in range(n):
            r, g, b = PALETTE[pix[y][x]]
            raw += bytes((r, g, b, 0 if mask[y][x] else 255))

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
    for n in (16, 32):
        with open(os.path.join(OUT, "sortilex-%d.png" % n), "wb") as f:
            f.write(png(n))
    return 0


if __name__ == "__main__":
    sys.exit(main())
