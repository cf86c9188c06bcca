#!/usr/bin/env python3
"""Draw the program's icon, resources/setup.ico: a touch pad with its two buttons.

Usage: make_icon.py <out.ico>

Writes 16x16 and 32x32 images, 32 bits per pixel with alpha (plus the AND mask
that older Windows versions use), drawn at 8x8 samples per pixel for smooth
edges. The output is deterministic; the icon in the tree was made with it and is
only remade when the drawing changes.
"""

import struct
import sys

SIZES = (16, 32)
SAMPLES = 8

FRAME = (0x3A, 0x41, 0x4A)     # dark slate edge
SURFACE_TOP = (0x9C, 0xA8, 0xB6)
SURFACE_BOTTOM = (0x6E, 0x7A, 0x88)
BUTTONS = (0x52, 0x5C, 0x68)
ACCENT = (0x2F, 0x8F, 0xE0)    # a finger spot on the pad


def inside_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def sample(x, y):
    """Colour at a point of the unit square (y down), or None for transparent."""
    if not inside_rounded(x, y, 0.06, 0.14, 0.94, 0.86, 0.12):
        return None
    if not inside_rounded(x, y, 0.11, 0.19, 0.89, 0.81, 0.08):
        return FRAME
    if y >= 0.62:  # the button strip, split in two
        if y < 0.655 or abs(x - 0.5) < 0.02:
            return FRAME
        return BUTTONS
    if (x - 0.62) ** 2 + (y - 0.38) ** 2 <= 0.085 ** 2:
        return ACCENT
    t = (y - 0.19) / (0.62 - 0.19)
    return tuple(round(a + (b - a) * t) for a, b in zip(SURFACE_TOP, SURFACE_BOTTOM))


def render(size):
    """Rows top to bottom of (r, g, b, a)."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = sample((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                rgb = [round(c / covered) for c in total]
                row.append((rgb[0], rgb[1], rgb[2], round(255 * covered / SAMPLES ** 2)))
        rows.append(row)
    return rows


def image_bytes(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(xor) + bytes(mask)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py <out.ico>\n")
        return 2
    images = [image_bytes(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(argv[1], "wb") as f:
        f.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
