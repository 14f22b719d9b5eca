#!/usr/bin/env python3
"""Draws the program's artwork: the application icon at 32, 48, 128 and 256
pixels (PNG; the 32-pixel one without alpha) and the hand cursor HAND-M.CUR
(Windows cursor format, 32 x 32 at 32 bits). Standard library only.
Run from anywhere: resources/draw_artwork.py"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(path, width, height, rows, alpha):
    """rows: list of rows of (r, g, b, a) tuples."""
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a) if alpha else (r, g, b))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                  + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def rounded_box(x, y, x0, y0, x1, y1, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius
    dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(dx, 0), max(dy, 0))
    return outside + min(max(dx, dy), 0) - radius


def segment(x, y, ax, ay, bx, by, thickness):
    px, py, vx, vy = x - ax, y - ay, bx - ax, by - ay
    t = max(0.0, min(1.0, (px * vx + py * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - vx * t, py - vy * t) - thickness / 2


def icon_sample(x, y):
    """Colour at a point of the unit square: a teal tile, three list lines
    on the left, an amber chevron, one joined line with commas on the right."""
    tile = rounded_box(x, y, 0.05, 0.05, 0.95, 0.95, 0.2)
    if tile > 0:
        return None
    top, bottom = (38, 139, 150), (20, 84, 98)
    shade = [int(t + (b - t) * y) for t, b in zip(top, bottom)]
    white, amber = (250, 250, 246), (255, 183, 64)
    lines = min(segment(x, y, 0.2, yy, 0.4, yy, 0.075) for yy in (0.33, 0.5, 0.67))
    if lines < 0:
        return white
    chevron = min(segment(x, y, 0.47, 0.38, 0.56, 0.5, 0.07), segment(x, y, 0.56, 0.5, 0.47, 0.62, 0.07))
    if chevron < 0:
        return amber
    joined = segment(x, y, 0.63, 0.5, 0.82, 0.5, 0.075)
    commas = min(math.hypot(x - cx, y - 0.6) - 0.03 for cx in (0.69, 0.76))
    if commas < 0:
        return amber
    if joined < 0:
        return white
    return tuple(shade)


def draw_icon(size, alpha):
    steps = 4 if size <= 128 else 3
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total, count = [0, 0, 0], 0
            for sy in range(steps):
                for sx in range(steps):
                    colour = icon_sample((px + (sx + 0.5) / steps) / size, (py + (sy + 0.5) / steps) / size)
                    if colour is not None:
                        total = [t + c for t, c in zip(total, colour)]
                        count += 1
            coverage = count / (steps * steps)
            if count == 0:
                row.append((255, 255, 255, 0))
            else:
                r, g, b = (round(t / count) for t in total)
                if not alpha:  # blend onto white
                    r, g, b = (round(c * coverage + 255 * (1 - coverage)) for c in (r, g, b))
                row.append((r, g, b, round(255 * coverage)))
        rows.append(row)
    return rows


# The hand: X outline, o fill, . transparent. The fingertip is the hot spot.
HAND = [
    "......XX........................",
    ".....XooX.......................",
    ".....XooX.......................",
    ".....XooX.......................",
    ".....XooX.......................",
    ".....XooXXX.....................",
    ".....XooXooXXX..................",
    ".....XooXooXooXX................",
    ".....XooXooXooXoX...............",
    "..XX.XooXooXooXooX..............",
    "..XoXXooooooooXooX..............",
    "..XooXoooooooooooX..............",
    "...XoXoooooooooooX..............",
    "...XooooooooooooooX.............",
    "....XoooooooooooooX.............",
    "....XooooooooooooX..............",
    ".....XoooooooooooX..............",
    ".....XooooooooooX...............",
    "......XoooooooooX...............",
    "......XoooooooooX...............",
    "......XXXXXXXXXXX...............",
] + ["." * 32] * 11
HOT_SPOT = (6, 0)


def draw_cursor(path):
    size = 32
    colours = {"X": (0, 0, 0, 255), "o": (255, 255, 255, 255), ".": (0, 0, 0, 0)}
    pixels = bytearray()
    mask = bytearray()
    for line in reversed(HAND):  # bitmaps are stored bottom-up
        bits = 0
        for ch in line:
            b_, g_, r_, a_ = colours[ch][2], colours[ch][1], colours[ch][0], colours[ch][3]
            pixels += bytes((b_, g_, r_, a_))
            bits = (bits << 1) | (1 if ch == "." else 0)
        mask += struct.pack(">I", bits)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = info + pixels + mask
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, HOT_SPOT[0], HOT_SPOT[1], len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(header + entry + image)


if __name__ == "__main__":
    for size in (32, 48, 128, 256):
        png(os.path.join(HERE, "icons", f"kestrava-{size}.png"), size, size, draw_icon(size, size != 32), size != 32)
    draw_cursor(os.path.join(HERE, "HAND-M.CUR"))
