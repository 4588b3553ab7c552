#!/usr/bin/env python3
"""Draws the program icon (icon resource 1) as a .ico with 16, 32 and 48 pixel images.

The picture is a blue rounded square with a white box outline and a downward arrow: an
installer's mark, drawn from code so the repository holds no binary image.
"""
import struct
import sys


def pixel(x, y, size):
    s = size / 32.0
    fx, fy = x / s, y / s
    inside = 1.5 <= fx <= 30.5 and 1.5 <= fy <= 30.5
    corner = min(fx - 1.5, 30.5 - fx, fy - 1.5, 30.5 - fy)
    if not inside:
        return (0, 0, 0, 0)
    if corner < 3:
        cx = min(max(fx, 4.5), 27.5)
        cy = min(max(fy, 4.5), 27.5)
        if (fx - cx) ** 2 + (fy - cy) ** 2 > 9:
            return (0, 0, 0, 0)
    white = (255, 255, 255, 255)
    # Box outline in the lower half.
    if 17 <= fy <= 27 and 6 <= fx <= 26 and (fy <= 18.5 or fy >= 25.5 or fx <= 7.5 or fx >= 24.5):
        return white
    # Arrow: shaft and head.
    if 5 <= fy <= 14 and 14.5 <= fx <= 17.5:
        return white
    if 12 <= fy <= 20 and abs(fx - 16) <= (20 - fy):
        return white
    shade = int(160 + 60 * (1 - fy / 32))
    return (40, 90, shade, 255)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b"".join(struct.pack("BBBB", b, g, r, a)
                       for (r, g, b, a) in (pixel(x, y, size) for x in range(size)))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\x00" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    return header + xor + and_mask


def main(out):
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
