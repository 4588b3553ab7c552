#!/usr/bin/env python3
"""Draws the wizard's bitmaps into a folder, from code, so the repository holds no binary image:

  side.bmp           bitmap resource 2, the pages' side picture: a vertical blue gradient with
                     the program's mark (a box and a downward arrow) and two soft rings; 8-bit
                     palette, run-length coded (it travels in every installer), sized for
                     86 x 172 dialog units at 96 dots per inch
  image_accept.bmp   bitmap resources 4 to 7, the 10 x 10 button images: a tick, a cross, a
  image_cancel.bmp   folder and two circling arrows, 32-bit with premultiplied alpha on a
  image_browse.bmp   transparent ground
  image_retry.bmp

usage: make_bitmaps.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys

SIDE_WIDTH, SIDE_HEIGHT = 129, 280
TOP = (38, 84, 160)
BOTTOM = (10, 28, 72)
GRADIENT_STEPS = 224


def bitmap_file(info_header, palette, pixels):
    offset = 14 + len(info_header) + len(palette)
    return (b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info_header +
            palette + pixels)


BI_RGB, BI_RLE8 = 0, 1


def info_header(width, height, bits, colours, image_size, compression=BI_RGB):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size, 3780,
                       3780, colours, 0)


def rle8_row(row):
    """One row in BI_RLE8: runs of a repeated index as (count, index); three or more pixels
    without a run as an absolute stretch (0, count, indices, padded to a word); the row's end
    as (0, 0)."""
    out = bytearray()
    literal = bytearray()

    def flush_literal():
        while literal:
            piece, rest = literal[:255], literal[255:]
            if len(piece) < 3:
                for index in piece:
                    out.extend((1, index))
            else:
                out.extend((0, len(piece)))
                out.extend(piece)
                if len(piece) % 2:
                    out.append(0)
            literal[:] = rest

    x = 0
    while x < len(row):
        run = 1
        while x + run < len(row) and run < 255 and row[x + run] == row[x]:
            run += 1
        if run >= 3:
            flush_literal()
            out.extend((run, row[x]))
        else:
            literal.extend(row[x:x + run])
        x += run
    flush_literal()
    out.extend((0, 0))
    return bytes(out)


# ---- Side picture ---------------------------------------------------------------------------

def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def side_palette():
    colours = [mix(TOP, BOTTOM, i / (GRADIENT_STEPS - 1)) for i in range(GRADIENT_STEPS)]
    # Light blends of the gradient for the rings and the mark's edge, then white.
    colours += [mix(TOP, (255, 255, 255), 0.12 + 0.03 * i) for i in range(24)]
    colours += [(255, 255, 255)] * (256 - len(colours))
    return colours


def side_index(x, y):
    """Palette index of the side picture's pixel (x, y), y from the top."""
    w, h = SIDE_WIDTH, SIDE_HEIGHT
    cx, cy = w / 2, h * 0.36
    # The mark: a box outline with an arrow dropping into it, 40 pixels wide.
    fx, fy = (x - cx) / 40 * 32 + 16, (y - cy) / 40 * 32 + 16
    if 17 <= fy <= 27 and 6 <= fx <= 26 and (fy <= 19 or fy >= 25 or fx <= 8 or fx >= 24):
        return 255
    if 3 <= fy <= 13 and 14.5 <= fx <= 17.5:
        return 255
    if 11 <= fy <= 20 and abs(fx - 16) <= (20 - fy) * 0.9:
        return 255
    # Two rings around the mark.
    r = math.hypot(x - cx, y - cy)
    for radius, shade in ((38, 10), (50, 4)):
        if abs(r - radius) < 1.2:
            return GRADIENT_STEPS + shade
    # A few slanting light bands near the bottom.
    band = (x + 2 * y) % 90
    if y > h * 0.62 and band < 3:
        return GRADIENT_STEPS + 1
    return min(GRADIENT_STEPS - 1, y * GRADIENT_STEPS // h)


def side_picture():
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in side_palette())
    rows = []
    for y in range(SIDE_HEIGHT - 1, -1, -1):  # bottom-up
        rows.append(rle8_row(bytes(side_index(x, y) for x in range(SIDE_WIDTH))))
    pixels = b"".join(rows)[:-2] + b"\0\1"  # the last row's end is the bitmap's end
    return bitmap_file(info_header(SIDE_WIDTH, SIDE_HEIGHT, 8, 256, len(pixels), BI_RLE8),
                       palette, pixels)


# ---- Button images --------------------------------------------------------------------------

def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def stroke(segments, width):
    """Coverage (0..1) of a 10 x 10 pixel grid by line segments of the given width."""
    def coverage(x, y):
        hits = 0
        for sx in range(4):
            for sy in range(4):
                px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
                if any(segment_distance(px, py, *s) <= width / 2 for s in segments):
                    hits += 1
        return hits / 16
    return coverage


def arc(cx, cy, radius, start, end, pieces=10):
    points = [(cx + radius * math.cos(math.radians(start + (end - start) * i / pieces)),
               cy - radius * math.sin(math.radians(start + (end - start) * i / pieces)))
              for i in range(pieces + 1)]
    return [(*a, *b) for a, b in zip(points, points[1:])]


def folder(x, y):
    body = 1 <= x <= 8 and 3 <= y <= 8
    tab = 1 <= x <= 4 and 2 <= y <= 3
    if not (body or tab):
        return 0.0, None
    edge = x in (1, 8) or y in (2, 8) or (y == 3 and x >= 4) or (tab and x == 4)
    return 1.0, (140, 100, 20) if edge else (236, 190, 70)


IMAGES = {
    "image_accept.bmp": (stroke([(1.5, 5.5, 4, 8), (4, 8, 8.5, 1.5)], 2.0), (24, 140, 48)),
    "image_cancel.bmp": (stroke([(2, 2, 8, 8), (8, 2, 2, 8)], 2.0), (200, 40, 40)),
    "image_browse.bmp": (folder, None),
    "image_retry.bmp": (stroke(arc(5, 5.3, 3.3, 60, 330) + [(7.6, 2.6, 8.4, 0.6),
                                                            (7.6, 2.6, 5.4, 2.3)], 1.4),
                        (40, 90, 190)),
}


def button_image(shape, colour):
    rows = []
    for y in range(9, -1, -1):  # bottom-up
        row = b""
        for x in range(10):
            result = shape(x, y)
            alpha, own = result if isinstance(result, tuple) else (result, colour)
            a = int(round(alpha * 255))
            r, g, b = own if own else (0, 0, 0)
            # Premultiplied, as the system's alpha blending expects.
            row += struct.pack("BBBB", b * a // 255, g * a // 255, r * a // 255, a)
        rows.append(row)
    pixels = b"".join(rows)
    return bitmap_file(info_header(10, 10, 32, 0, len(pixels)), b"", pixels)


def main(folder_name):
    os.makedirs(folder_name, exist_ok=True)
    outputs = {"side.bmp": side_picture()}
    for name, (shape, colour) in IMAGES.items():
        outputs[name] = button_image(shape, colour)
    for name, data in outputs.items():
        with open(os.path.join(folder_name, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
