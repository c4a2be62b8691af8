#!/usr/bin/env python3
"""Draws the demo disc's cover: a dark-blue abstract disc, 600 x 600 pixels, as PNG.

Only the standard library is used, so anyone can redraw it:
    python3 resources/demo/make_cover.py resources/demo/cover.png
"""
import math
import struct
import sys
import zlib

SIZE = 600
CENTRE = SIZE / 2
DISC = 236.0       # outer edge of the disc
LABEL = 74.0       # edge of the centre label
HOLE = 13.0        # spindle hole
ARC = 158.0        # the golden arc


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def edge(distance):
    """Coverage of a pixel by a shape whose edge is `distance` pixels away (inside > 0)."""
    return clamp(distance + 0.5)


def pixel(x, y):
    dx, dy = x + 0.5 - CENTRE, y + 0.5 - CENTRE
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx)

    # Ground: night blue, a little lighter towards the top left, darker in the corners.
    t = clamp((x + y) / (2 * SIZE))
    colour = mix((22, 40, 92), (6, 12, 34), t)
    colour = mix(colour, (3, 6, 18), clamp((r - 250) / 260) * 0.6)

    # The disc: fine grooves and two soft sheens at opposite angles.
    grooves = 0.5 + 0.5 * math.sin(r * 1.7) * math.sin(r * 0.13)
    disc = mix((14, 30, 78), (20, 44, 108), grooves * 0.55)
    sheen = max(math.cos(a + 0.75), 0.0) ** 10 + 0.7 * max(math.cos(a - 2.39), 0.0) ** 14
    sheen *= clamp((r - LABEL) / 60) * clamp((DISC - r) / 30)
    disc = mix(disc, (110, 160, 235), sheen * 0.55)
    colour = mix(colour, disc, edge(DISC - r))

    # A hairline on the rim and one round the label.
    for radius, strength in ((DISC - 1.5, 0.55), (LABEL + 3.0, 0.35)):
        line = clamp(1.0 - abs(r - radius)) * strength
        colour = mix(colour, (150, 190, 255), line)

    # The label: deeper blue with a quiet ring.
    label = mix((10, 22, 60), (28, 58, 130), clamp((LABEL - r) / LABEL))
    colour = mix(colour, label, edge(LABEL - r))
    colour = mix(colour, (70, 110, 190), clamp(1.0 - abs(r - 38.0)) * 0.5 * edge(LABEL - r))

    # A golden arc over the upper right of the grooves, fading at both ends.
    span = (a + math.pi / 2) / 1.9  # 0 .. 1 from straight up to lower right
    if 0.0 < span < 1.0:
        fade = math.sin(span * math.pi) ** 0.8
        width = 1.6 * fade
        colour = mix(colour, (232, 190, 96), clamp(width - abs(r - ARC) + 0.5) * fade)

    # The spindle hole shows the ground.
    ground = mix((22, 40, 92), (6, 12, 34), t)
    colour = mix(colour, ground, edge(HOLE - r))
    return bytes(int(round(clamp(c, 0, 255))) for c in colour)


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_cover.py OUTPUT.png")
    rows = [b"".join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE)]
    with open(sys.argv[1], "wb") as out:
        out.write(png(SIZE, SIZE, rows))


if __name__ == "__main__":
    main()
