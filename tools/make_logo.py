#!/usr/bin/env python3
# KVR516_UPDATE, GPL-3.0-or-later.
# Draws the program's 48 x 48 logo (a download arrow into a tray on a rounded
# blue square) and writes it as an 8-bit RGBA PNG. Standard library only.
# Usage: python3 tools/make_logo.py resources/Logo.png
import struct
import sys
import zlib

SIZE = 48
SS = 4  # samples per pixel along each axis


def inside_rounded_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_polygon(x, y, pts):
    hit = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


ARROW = [(20, 8), (28, 8), (28, 22), (35, 22), (24, 33), (13, 22), (20, 22)]
TRAY = [(9, 28), (13, 28), (13, 35), (35, 35), (35, 28), (39, 28), (39, 39), (9, 39)]


def sample(x, y):
    """Colour (r, g, b, a) of one sample point."""
    if not inside_rounded_rect(x, y, 1, 1, 47, 47, 9):
        return (0, 0, 0, 0)
    if inside_polygon(x, y, ARROW) or inside_polygon(x, y, TRAY):
        return (255, 255, 255, 255)
    # Blue, a little lighter towards the top.
    t = y / SIZE
    return (int(38 + 20 * (1 - t)), int(92 + 40 * (1 - t)), int(170 + 40 * (1 - t)), 255)


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter type: none
        for px in range(SIZE):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if acc[3] == 0:
                row += bytes(4)
            else:
                row += bytes([round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                              round(acc[2] / acc[3]), round(alpha)])
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    ihdr = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + \
        chunk(b"IDAT", zlib.compress(render(), 9)) + chunk(b"IEND", b"")
    with open(sys.argv[1], "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
