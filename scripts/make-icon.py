#!/usr/bin/env python3
"""Draws the plug-in's icon, resources/quillmax.ico: a 32x32 true-colour
image of a quill's nib over a speech bubble. Run once when the drawing
changes; the .ico is committed so the build needs no Python."""
import math
import struct
import sys

SIZE = 32


def pixel(x, y):
    """Returns (b, g, r, a) for the pixel centre (x + .5, y + .5)."""
    cx, cy = x + 0.5, y + 0.5
    # Speech bubble: a rounded rectangle with a tail at the lower left.
    inside_box = 3 <= cx <= 29 and 4 <= cy <= 22
    corner = min(abs(cx - 3), abs(cx - 29)) < 4 and min(abs(cy - 4), abs(cy - 22)) < 4
    if corner:
        ccx = 7 if cx < 16 else 25
        ccy = 8 if cy < 13 else 18
        inside_box = inside_box and math.hypot(cx - ccx, cy - ccy) <= 4
    tail = 6 <= cx <= 12 and 22 <= cy <= 28 and (cx - 6) >= (cy - 22) * 0.9
    # Quill: a white diagonal stroke with a dark nib.
    d = abs((cx - 9) - (23 - cy)) / math.sqrt(2)
    along = ((cx - 9) + (23 - cy)) / math.sqrt(2)
    quill = d <= 2.2 - along * 0.08 and 0 <= along <= 22
    nib = quill and along < 4
    if nib:
        return (40, 40, 40, 255)
    if quill:
        return (250, 250, 250, 255)
    if inside_box or tail:
        return (200, 120, 30, 255)  # blue in BGR
    return (0, 0, 0, 0)


def main(path):
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up, as DIBs are stored
        rows.append(b"".join(struct.pack("4B", *pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    mask_row = (SIZE + 31) // 32 * 4
    and_mask = bytearray()
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if pixel(x, y)[3] == 0:
                bits |= 1 << (SIZE - 1 - x)
        and_mask += bits.to_bytes(4, "big") + bytes(mask_row - 4)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + bytes(and_mask)
    icon = struct.pack("<HHH", 0, 1, 1)
    icon += struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(icon + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/quillmax.ico")
