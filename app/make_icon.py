#!/usr/bin/env python3
"""Draws the unpacker's icon (32 x 32, 32 bits per pixel) and writes it as an .ico file.

The picture: a blue archive box with a white arrow pointing down out of it (unpacking) and a
gold padlock (encryption). Edges are smoothed by sampling each pixel 4 x 4 times.
Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

SIZE = 32
SAMPLES = 4


def rounded_box(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_arrow(x, y):
    shaft = 13.5 <= x <= 18.5 and 3 <= y <= 16
    head = 16 <= y <= 23 and abs(x - 16) <= (23 - y) * 1.1
    return shaft or head


def in_lock(x, y):
    body = rounded_box(x, y, 19, 20, 30, 30, 1.5)
    distance = (x - 24.5) ** 2 + (y - 20) ** 2
    ring = 2.5 ** 2 <= distance <= 4 ** 2 and y <= 20
    return body or ring


def colour(x, y):
    """Colour (r, g, b, a) of one sample point, front layer first."""
    if in_lock(x, y):
        keyhole = (x - 24.5) ** 2 + (y - 24.5) ** 2 <= 1.6 or (24 <= x <= 25 and 24.5 <= y <= 28)
        return (90, 60, 0, 255) if keyhole else (235, 180, 40, 255)
    if in_arrow(x, y):
        return (255, 255, 255, 255)
    if rounded_box(x, y, 2, 9, 29, 30, 3):
        shade = int(60 * (y - 9) / 21)
        return (40, 110 - shade // 2, 200 - shade, 255)
    if rounded_box(x, y, 1, 6, 30, 12, 2):
        return (70, 140, 230, 255)
    return (0, 0, 0, 0)


def pixel(px, py):
    total = [0, 0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            r, g, b, a = colour(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            total[0] += r * a
            total[1] += g * a
            total[2] += b * a
            total[3] += a
    n = SAMPLES * SAMPLES
    alpha = total[3] // n
    if alpha == 0:
        return (0, 0, 0, 0)
    return tuple(min(255, t // total[3]) for t in total[:3]) + (alpha,)


def icon_bytes():
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        bits = 0
        for x, (r, g, b, a) in enumerate(row):
            xor += bytes((b, g, r, a))
            if a == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as out:
        out.write(icon_bytes())


if __name__ == "__main__":
    main()
