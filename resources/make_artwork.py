#!/usr/bin/env python3
"""Draws the finish screen's side picture (bitmap resource 107).

    make_artwork.py OUTPUT.bmp

A 236 x 438 pixel, 24 bits per pixel, uncompressed Windows bitmap: a calm
blue gradient with a printer that has just put out a page. The finish
screen stretches it into the left third of its window, four fifths of the
height, so the picture keeps its interest in the upper part.

The drawing is plain arithmetic: each shape answers, for a pixel centre,
how far inside or outside its edge the centre lies (a signed distance), and
half a pixel either side of the edge blends into the background. The
output is the same byte for byte on every run. Python's standard library
only.
"""
import math
import struct
import sys

WIDTH, HEIGHT = 236, 438

# Colours as (red, green, blue), 0..255.
SKY_TOP = (18, 57, 112)
SKY_BOTTOM = (118, 172, 222)
WHITE = (255, 255, 255)
SHADOW = (8, 28, 60)
BODY = (236, 240, 245)
BODY_LOWER = (196, 206, 218)
SLOT = (62, 74, 90)
PANEL = (88, 104, 124)
LED = (60, 200, 110)
PAPER_LINE = (178, 194, 212)
PAPER_TITLE = (52, 104, 170)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def clamp(value, low=0.0, high=1.0):
    return low if value < low else high if value > high else value


def rounded_rect(left, top, right, bottom, radius):
    """Signed distance to a rectangle with rounded corners."""
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius

    def distance(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        inside = min(max(qx, qy), 0.0)
        return outside + inside - radius

    return distance, (left - 1, top - 1, right + 1, bottom + 1)


def ellipse(cx, cy, rx, ry):
    """An approximate signed distance, good enough for soft shapes."""

    def distance(x, y):
        nx, ny = (x - cx) / rx, (y - cy) / ry
        return (math.hypot(nx, ny) - 1.0) * min(rx, ry)

    return distance, (cx - rx - 1, cy - ry - 1, cx + rx + 1, cy + ry + 1)


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[(0.0, 0.0, 0.0)] * width for _ in range(height)]

    def gradient(self, top, bottom):
        for y in range(self.height):
            t = y / (self.height - 1)
            # A little ease, so the light gathers towards the bottom.
            colour = mix(top, bottom, t * t * (3 - 2 * t))
            self.pixels[y] = [colour] * self.width

    def fill(self, shape, colour, opacity=1.0, softness=1.0):
        """Blends the colour into every pixel the shape covers; softness
        widens the edge (in pixels) for shadows and glows."""
        distance, (left, top, right, bottom) = shape
        pad = int(softness) + 1
        for y in range(max(0, int(top) - pad), min(self.height, int(bottom) + pad + 1)):
            row = self.pixels[y]
            for x in range(max(0, int(left) - pad), min(self.width, int(right) + pad + 1)):
                coverage = clamp(0.5 - distance(x + 0.5, y + 0.5) / softness) * opacity
                if coverage > 0.0:
                    row[x] = mix(row[x], colour, coverage)

    def bmp_bytes(self):
        """The canvas as a BMP file: bottom-up rows of blue, green, red."""
        row_bytes = (self.width * 3 + 3) & ~3
        image = bytearray()
        for y in range(self.height - 1, -1, -1):
            row = bytearray()
            for r, g, b in self.pixels[y]:
                row += bytes((round(b), round(g), round(r)))
            row += bytes(row_bytes - len(row))
            image += row
        header_size = 14 + 40
        file_header = struct.pack("<2sIHHI", b"BM", header_size + len(image), 0, 0, header_size)
        # 2835 pixels a metre is 72 dots an inch.
        info_header = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
        return file_header + info_header + bytes(image)


def draw(canvas):
    canvas.gradient(SKY_TOP, SKY_BOTTOM)

    # Soft light in the background.
    canvas.fill(ellipse(40, 70, 90, 90), WHITE, opacity=0.06, softness=30)
    canvas.fill(ellipse(210, 330, 110, 110), WHITE, opacity=0.07, softness=40)
    canvas.fill(ellipse(170, 120, 36, 36), WHITE, opacity=0.05, softness=12)

    # The printer stands on its shadow.
    canvas.fill(ellipse(118, 308, 74, 9), SHADOW, opacity=0.35, softness=9)

    # The sheet waiting at the back.
    canvas.fill(rounded_rect(80, 138, 156, 200, 2), WHITE, opacity=0.92)
    canvas.fill(rounded_rect(80, 138, 156, 141, 1), PAPER_LINE, opacity=0.6)

    # Body, lower band, highlight, control panel and its light.
    canvas.fill(rounded_rect(50, 184, 186, 262, 12), SHADOW, opacity=0.25, softness=4)
    canvas.fill(rounded_rect(48, 180, 188, 260, 12), BODY)
    canvas.fill(rounded_rect(48, 228, 188, 260, 12), BODY_LOWER)
    canvas.fill(rounded_rect(48, 228, 188, 236, 0), BODY_LOWER)
    canvas.fill(rounded_rect(60, 186, 176, 188, 1), WHITE, opacity=0.8)
    canvas.fill(rounded_rect(146, 196, 178, 210, 4), PANEL)
    canvas.fill(ellipse(170, 203, 3, 3), LED)
    canvas.fill(ellipse(170, 203, 7, 7), LED, opacity=0.25, softness=4)
    canvas.fill(rounded_rect(60, 198, 112, 202, 2), BODY_LOWER)

    # The output slot and the printed page coming out of it.
    canvas.fill(rounded_rect(68, 236, 168, 243, 3), SLOT)
    canvas.fill(rounded_rect(80, 240, 156, 302, 2), SHADOW, opacity=0.2, softness=3)
    canvas.fill(rounded_rect(78, 239, 158, 300, 2), WHITE)
    canvas.fill(rounded_rect(88, 250, 126, 255, 2), PAPER_TITLE)
    for number, y in enumerate(range(262, 296, 7)):
        right = 148 if number % 3 != 2 else 126
        canvas.fill(rounded_rect(88, y, right, y + 2.5, 1.2), PAPER_LINE)
    # The slot's lip over the top of the page.
    canvas.fill(rounded_rect(68, 236, 168, 240, 2), SLOT)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_artwork.py OUTPUT.bmp")
    canvas = Canvas(WIDTH, HEIGHT)
    draw(canvas)
    with open(sys.argv[1], "wb") as output:
        output.write(canvas.bmp_bytes())


if __name__ == "__main__":
    main()
