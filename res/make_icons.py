#!/usr/bin/env python3
"""Draws the program's icons and writes them as 256-colour .ico files.

Run by hand after changing the drawing; the .ico files it writes are kept in the
repository, so a build needs no Python:

    python3 res/make_icons.py
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def inside_rounded_square(x, y, radius):
    # x, y in 0..1; a square with rounded corners filling the icon
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1 = side((px, py), a, b)
    d2 = side((px, py), b, c)
    d3 = side((px, py), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def arrow_head(angle, r_mid, width, clockwise):
    """A triangle at the end of an arc, pointing along the circle."""
    px, py = 0.5 + r_mid * math.cos(angle), 0.5 + r_mid * math.sin(angle)
    tx, ty = -math.sin(angle), math.cos(angle)   # tangent (direction of increasing angle)
    if not clockwise:
        tx, ty = -tx, -ty
    nx, ny = math.cos(angle), math.sin(angle)    # outward normal
    a = (px + nx * width, py + ny * width)
    b = (px - nx * width, py - ny * width)
    c = (px + tx * width * 1.3, py + ty * width * 1.3)
    return a, b, c


def pixel(x, y):
    """Colour (r, g, b) or None (transparent) at x, y in 0..1."""
    if not inside_rounded_square(x, y, 0.22):
        return None
    colour = lerp((58, 132, 216), (22, 64, 142), y)
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    angle = math.atan2(dy, dx) % (2 * math.pi)
    r_in, r_out = 0.21, 0.33
    r_mid, half = (r_in + r_out) / 2, (r_out - r_in) / 2
    # two arcs, each a little less than half a circle, chasing each other
    for start in (0.0, math.pi):
        a0, a1 = start + 0.35, start + math.pi - 0.45
        if r_in <= r <= r_out and a0 <= (angle - 0) % (2 * math.pi) <= a1:
            return (255, 255, 255)
        head = arrow_head(a1, r_mid, half * 2.1, True)
        if in_triangle(x, y, *head):
            return (255, 255, 255)
    # a small document in the middle: the files being kept equal
    if 0.42 <= x <= 0.58 and 0.38 <= y <= 0.62:
        return (255, 196, 64)
    return colour


def render(size, samples=4):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = pixel((px + (sx + 0.5) / samples) / size,
                              (py + (sy + 0.5) / samples) / size)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits * 2 < samples * samples:
                row.append(None)
            else:
                row.append(tuple(round(v / hits) for v in acc))
        rows.append(row)
    return rows


def quantised(pixels):
    """Rounds colours in ever coarser steps until 255 of them are enough."""
    step = 1
    while True:
        rounded = [[None if c is None else tuple(min(255, round(v / step) * step) for v in c)
                    for c in row] for row in pixels]
        colours = {c for row in rounded for c in row if c is not None}
        if len(colours) <= 255:
            return rounded, sorted(colours)
        step *= 2


def icon_image(size):
    pixels, colours = quantised(render(size))
    palette = [(0, 0, 0)] + colours
    lookup = {c: i + 1 for i, c in enumerate(colours)}
    indexes = [[0 if c is None else lookup[c] for c in row] for row in pixels]
    palette += [(0, 0, 0)] * (256 - len(palette))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    colours = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in palette)
    xor = b''.join(bytes(indexes[y]) for y in reversed(range(size)))  # rows are 4-byte aligned
    mask_row = ((size + 31) // 32) * 4
    mask = b''
    for y in reversed(range(size)):
        bits = 0
        row = bytearray(mask_row)
        for x in range(size):
            if pixels[y][x] is None:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    return header + colours + xor + mask


def write_icon(name, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    out += b''.join(images)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    write_icon('program.ico', [32, 16])
    write_icon('window.ico', [16])
    write_icon('large.ico', [32])
