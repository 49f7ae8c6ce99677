#!/usr/bin/env python3
"""Draws the program's icons: two lists side by side with a check mark, as
16-colour Windows icon files (src/ui/dorvex.ico with 32x32 and 16x16 images,
src/ui/small.ico with 16x16). Run from the repository root."""

import struct

# The standard 16-colour palette, as (blue, green, red, 0).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, WHITE, RED, GREY, TEAL = 0, 4, 15, 9, 8, 6
CLEAR = None


def draw(size):
    """Returns rows (top first) of palette indices or CLEAR."""
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    # Two sheets: the source list on the left, the setting list on the right.
    for left, ink in ((1, NAVY), (17, TEAL)):
        rect(left, 3, left + 14, 29, BLACK)
        rect(left + 1, 4, left + 13, 28, WHITE)
        for row in range(7, 26, 4):
            rect(left + 3, row, left + 11, row + 2, ink)
    # A check mark across both sheets.
    for i in range(6):
        rect(9 + i, 18 + i, 11 + i, 21 + i, RED)
    for i in range(12):
        rect(15 + i, 23 - 2 * i, 17 + i, 26 - 2 * i, RED)
    return px


def icon_image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(px):
        line = bytearray()
        for x in range(0, size, 2):
            hi = row[x] if row[x] is not CLEAR else 0
            lo = row[x + 1] if row[x + 1] is not CLEAR else 0
            line.append((hi << 4) | lo)
        xor += line + bytes((-len(line)) % 4)
        bits = bytearray(mask_stride)
        for x, colour in enumerate(row):
            if colour is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def write_icon(path, sizes):
    images = [icon_image(size) for size in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    write_icon('src/ui/dorvex.ico', [32, 16])
    write_icon('src/ui/small.ico', [16])
