#!/usr/bin/env python3
"""Writes pelox.ico: the window icon, a camera drawn pixel by pixel (32x32,
32 bits per pixel). Run it again after changing the drawing."""
import struct
import sys

SIZE = 32


def pixel(x, y):
    """BGRA colour of the pixel at x, y (y grows downwards)."""
    body = 4 <= x <= 27 and 9 <= y <= 25
    hump = 10 <= x <= 17 and 6 <= y <= 8
    dx, dy = x - 16, y - 17
    ring = dx * dx + dy * dy
    if ring <= 9:
        return (200, 120, 40, 255)  # lens glass
    if ring <= 30:
        return (30, 30, 30, 255)  # lens barrel
    if 22 <= x <= 25 and 11 <= y <= 12:
        return (40, 200, 250, 255)  # flash window
    if body or hump:
        return (90, 80, 70, 255)
    return (0, 0, 0, 0)


def icon():
    rows = []
    for y in reversed(range(SIZE)):  # bitmaps run bottom-up
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(SIZE)))
    colours = b"".join(rows)
    mask_row_bytes = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(SIZE)):
        row = bytearray(mask_row_bytes)
        for x in range(SIZE):
            if pixel(x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                       len(colours) + len(mask), 0, 0, 0, 0)
    image = info + colours + bytes(mask)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "pelox.ico"
    with open(out, "wb") as f:
        f.write(icon())
