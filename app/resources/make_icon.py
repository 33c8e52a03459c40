#!/usr/bin/env python3
"""Writes pelox.ico: the window icon, a camera drawn pixel by pixel (32x32,
32 bits per pixel). Run it again after changing the drawing.

With --png SIZE FILE it writes the same drawing as a PNG of SIZE x SIZE for
the desktop's icon theme, each pixel the average of samples of the drawing."""
import struct
import sys
import zlib

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


SAMPLES = 4  # per axis and pixel of the PNG


def png_pixel(x, y, size):
    """RGBA of pixel x, y of a SIZE x SIZE rendering, premultiplied averaging."""
    total = [0, 0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            fx = (x + (sx + 0.5) / SAMPLES) * SIZE / size - 0.5
            fy = (y + (sy + 0.5) / SAMPLES) * SIZE / size - 0.5
            b, g, r, a = pixel(fx, fy)
            total = [total[0] + r * a, total[1] + g * a, total[2] + b * a, total[3] + a]
    alpha = total[3]
    if alpha == 0:
        return bytes(4)
    return bytes([round(total[0] / alpha), round(total[1] / alpha), round(total[2] / alpha),
                  round(alpha / SAMPLES / SAMPLES)])


def png(size):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + b"".join(png_pixel(x, y, size) for x in range(size))
                    for y in range(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__" and len(sys.argv) == 4 and sys.argv[1] == "--png":
    with open(sys.argv[3], "wb") as f:
        f.write(png(int(sys.argv[2])))
elif __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "pelox.ico"
    with open(out, "wb") as f:
        f.write(icon())
