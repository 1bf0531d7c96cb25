#!/usr/bin/env python3
"""Draws the Corvalin icon: four white corner brackets (the fullscreen sign) on a
blue square, at 16x16 and 32x32, each in 8-bit and 32-bit colour; writes an .ico."""
import struct
import sys

BLUE = (0x1F, 0x5F, 0xAF)
DARK = (0x10, 0x30, 0x60)
WHITE = (0xFF, 0xFF, 0xFF)


def pixel(size, x, y):
    """Colour of (x, y), y counted from the top; None outside the rounded square."""
    edge = size - 1
    corner = size // 8
    if (x < corner or x > edge - corner) and (y < corner or y > edge - corner):
        dx = min(x, edge - x) - corner
        dy = min(y, edge - y) - corner
        if dx * dx + dy * dy > corner * corner:
            return None
    if x in (0, edge) or y in (0, edge):
        return DARK
    inset, arm, width = size // 5, size * 3 // 10, max(1, size // 11)
    near = lambda v: inset <= v < inset + width or edge - inset - width < v <= edge - inset
    along = lambda v: inset <= v < inset + arm or edge - inset - arm < v <= edge - inset
    if (near(x) and along(y)) or (near(y) and along(x)):
        return WHITE
    return BLUE


def mask_rows(size):
    row_bytes = ((size + 31) // 32) * 4
    rows = b""
    for y in reversed(range(size)):
        bits = bytearray(row_bytes)
        for x in range(size):
            if pixel(size, x, y) is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows += bytes(bits)
    return rows


def header(size, bits, colours):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, colours, 0)


def image_32(size):
    data = b""
    for y in reversed(range(size)):
        for x in range(size):
            c = pixel(size, x, y)
            data += struct.pack("BBBB", *(reversed(c) if c else (0, 0, 0)), 255 if c else 0)
    return header(size, 32, 0) + data + mask_rows(size)


def image_8(size):
    palette = [(0, 0, 0), DARK, BLUE, WHITE] + [(0, 0, 0)] * 252
    index = {c: i for i, c in enumerate(palette[:4])}
    table = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    data = b""
    for y in reversed(range(size)):
        row = bytes(index[pixel(size, x, y)] if pixel(size, x, y) else 0 for x in range(size))
        data += row + b"\0" * ((4 - size % 4) % 4)
    return header(size, 8, 256) + table + data + mask_rows(size)


def main(path):
    images = [(16, 8, image_8(16)), (16, 32, image_32(16)), (32, 8, image_8(32)), (32, 32, image_32(32))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "corvalin.ico")
