#!/usr/bin/env python3
"""Paints the bitmaps of vellum.exe's main window as 256-colour BMP files:
the picture buttons' faces (124 x 22; "1" resting, "2" pressed; the window
writes the caption over them in its own font) and the logo (58 x 59), a
sheet of vellum under a lens on the window's blue.
  win32_bitmaps.py OUT_DIR"""
import math
import os
import struct
import sys

BLUE = (206, 236, 252)
INK = (26, 64, 120)
PARCHMENT = (250, 240, 214)
PARCHMENT_EDGE = (176, 146, 92)
ACCENTS = {"SEARCH": (40, 110, 190), "RESTORE": (40, 140, 90), "CLOSE": (150, 90, 60)}


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def lighter(c, t):
    return mix(c, (255, 255, 255), t)


def darker(c, t):
    return mix(c, (0, 0, 0), t)


class Picture:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def ring(self, cx, cy, radius, thickness, colour, inside=None):
        for y in range(self.height):
            for x in range(self.width):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if d <= radius - thickness and inside:
                    self.put(x, y, inside)
                elif d <= radius:
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, thickness, colour):
        for y in range(self.height):
            for x in range(self.width):
                px, py = x + 0.5 - x0, y + 0.5 - y0
                dx, dy = x1 - x0, y1 - y0
                t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
                if math.hypot(px - t * dx, py - t * dy) <= thickness / 2:
                    self.put(x, y, colour)

    def bmp(self):
        palette = sorted({c for row in self.pixels for c in row})
        if len(palette) > 256:
            raise SystemExit("more than 256 colours")
        index = {c: i for i, c in enumerate(palette)}
        stride = (self.width + 3) & ~3
        rows = b"".join(bytes(index[c] for c in row) + b"\0" * (stride - self.width)
                        for row in reversed(self.pixels))
        colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette) + b"\0" * 4 * (256 - len(palette))
        offset = 14 + 40 + len(colours)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
        return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + info + colours + rows


def lens(p, x, y, size, colour):
    d = size * 0.62
    p.ring(x + d / 2, y + d / 2, d / 2, max(1.2, size / 9), colour, lighter(colour, 0.8))
    k = d * 0.85
    p.line(x + k, y + k, x + size - 1, y + size - 1, max(1.6, size / 6), colour)


def button(accent, pressed):
    p = Picture(124, 22, BLUE)
    top = lighter(accent, 0.3) if pressed else (255, 255, 255)
    bottom = darker(accent, 0.15) if pressed else lighter(accent, 0.6)
    edge = darker(accent, 0.25)
    for y in range(22):
        shade = mix(top, bottom, y / 21)
        for x in range(124):
            # Rounded corners of radius 3.
            cx = 3 if x < 3 else 120 if x > 120 else x
            cy = 3 if y < 3 else 18 if y > 18 else y
            d = math.hypot(x - cx, y - cy)
            if d > 3.4:
                continue
            p.put(x, y, edge if d > 2.4 or x in (0, 123) or y in (0, 21) else shade)
    shift = 1 if pressed else 0
    lens(p, 5 + shift, 4 + shift, 13, (255, 255, 255) if pressed else accent)
    return p


def logo():
    p = Picture(58, 59, BLUE)
    left, right, top, bottom, fold = 7, 46, 3, 54, 12
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x - (right - fold) > y - top:
                continue  # the folded corner
            border = x in (left, right) or y in (top, bottom) or x - (right - fold) == y - top
            p.put(x, y, PARCHMENT_EDGE if border else PARCHMENT)
    for x in range(right - fold, right + 1):
        for y in range(top, top + fold + 1):
            if x - (right - fold) <= y - top and y - top <= fold and x >= right - fold:
                if x == right - fold or y == top + fold:
                    p.put(x, y, PARCHMENT_EDGE)
                elif x - (right - fold) < y - top:
                    p.put(x, y, lighter(PARCHMENT_EDGE, 0.5))
    for line in range(4):
        y = 18 + 7 * line
        for x in range(left + 6, right - 8 - (6 if line == 3 else 0)):
            p.put(x, y, lighter(PARCHMENT_EDGE, 0.35))
    lens(p, 24, 26, 31, INK)
    return p


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    pictures = {"LOGO": logo()}
    for name, accent in ACCENTS.items():
        pictures[name + "1"] = button(accent, False)
        pictures[name + "2"] = button(accent, True)
    for name, picture in pictures.items():
        with open(os.path.join(out, name.lower() + ".bmp"), "wb") as f:
            f.write(picture.bmp())


if __name__ == "__main__":
    main()
