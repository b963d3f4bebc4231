#!/usr/bin/env python3
"""Draws the copy-progress dialog's animation clip, "FILECOPY_16.AVI".

    make_filecopy_avi.py OUTPUT.avi

A page lifts out of one folder, flies over in an arc and drops into the
other; the animation control plays it in a loop. The control accepts only
silent clips with uncompressed or RLE8 frames; these are 8-bit RLE8 (the
page and two folders on a flat background compress to a few hundred bytes
a frame). With ACS_TRANSPARENT the control takes the first frame's top-left
pixel as the transparent colour, so the background is one palette entry of
its own that nothing else uses, close to the dialog's face colour in case a
control draws it as it is.

The file is a plain RIFF AVI: hdrl (avih, one strl with strh and strf),
movi with one '00dc' chunk a frame, and idx1. The output is the same byte
for byte on every run. Python's standard library only.
"""
import math
import struct
import sys

WIDTH, HEIGHT = 240, 48
MOVING_FRAMES = 14
RESTING_FRAMES = 2  # the page has gone in; the loop starts again
MICROSECONDS_PER_FRAME = 80000

# Palette entries.
BACKGROUND, FOLDER_BACK, FOLDER_FRONT, FOLDER_EDGE, PAGE, PAGE_EDGE, PAGE_LINE, FOLDER_LIGHT = range(8)
PALETTE = [
    (240, 240, 240),  # BACKGROUND: the transparent colour
    (214, 160, 52),  # FOLDER_BACK
    (246, 200, 90),  # FOLDER_FRONT
    (150, 104, 28),  # FOLDER_EDGE
    (255, 255, 255),  # PAGE
    (96, 108, 124),  # PAGE_EDGE
    (150, 170, 200),  # PAGE_LINE
    (255, 226, 148),  # FOLDER_LIGHT
]

LEFT_FOLDER_X, RIGHT_FOLDER_X = 14, 178
FOLDER_WIDTH = 48
PAGE_WIDTH, PAGE_HEIGHT = 14, 18
PAGE_REST_Y = 28  # the page's centre while it stands in a folder
ARC_HEIGHT = 18


class Frame:
    def __init__(self):
        self.rows = [bytearray([BACKGROUND]) * WIDTH for _ in range(HEIGHT)]

    def rect(self, left, top, right, bottom, index):
        """Fills [left, right) x [top, bottom), clipped to the frame."""
        for y in range(max(0, top), min(HEIGHT, bottom)):
            row = self.rows[y]
            for x in range(max(0, left), min(WIDTH, right)):
                row[x] = index

    def outlined(self, left, top, right, bottom, fill, edge):
        self.rect(left, top, right, bottom, edge)
        self.rect(left + 1, top + 1, right - 1, bottom - 1, fill)


def folder_back(frame, x):
    frame.outlined(x, 10, x + 18, 16, FOLDER_BACK, FOLDER_EDGE)  # the tab
    frame.outlined(x, 14, x + FOLDER_WIDTH, 44, FOLDER_BACK, FOLDER_EDGE)


def folder_front(frame, x):
    frame.outlined(x, 25, x + FOLDER_WIDTH, 44, FOLDER_FRONT, FOLDER_EDGE)
    frame.rect(x + 1, 26, x + FOLDER_WIDTH - 1, 27, FOLDER_LIGHT)


def page(frame, centre_x, centre_y):
    left = round(centre_x - PAGE_WIDTH / 2)
    top = round(centre_y - PAGE_HEIGHT / 2)
    frame.outlined(left, top, left + PAGE_WIDTH, top + PAGE_HEIGHT, PAGE, PAGE_EDGE)
    for number, y in enumerate(range(top + 4, top + PAGE_HEIGHT - 3, 3)):
        right = left + PAGE_WIDTH - (6 if number % 2 else 3)
        frame.rect(left + 3, y, right, y + 1, PAGE_LINE)


def draw_frame(step):
    """Frame `step` of the loop; the page is in flight for the first
    MOVING_FRAMES steps."""
    frame = Frame()
    folder_back(frame, LEFT_FOLDER_X)
    folder_back(frame, RIGHT_FOLDER_X)
    if step < MOVING_FRAMES:
        t = step / (MOVING_FRAMES - 1)
        start = LEFT_FOLDER_X + FOLDER_WIDTH / 2
        end = RIGHT_FOLDER_X + FOLDER_WIDTH / 2
        page(frame, start + (end - start) * t, PAGE_REST_Y - ARC_HEIGHT * math.sin(math.pi * t))
    folder_front(frame, LEFT_FOLDER_X)
    folder_front(frame, RIGHT_FOLDER_X)
    return frame


def rle8(frame):
    """Encoded-mode runs only: (count, index) pairs, an end of line after
    each row and an end of bitmap after the last; rows bottom-up."""
    data = bytearray()
    for y in range(HEIGHT - 1, -1, -1):
        row = frame.rows[y]
        x = 0
        while x < WIDTH:
            run = 1
            while x + run < WIDTH and run < 255 and row[x + run] == row[x]:
                run += 1
            data += bytes((run, row[x]))
            x += run
        data += b"\x00\x00"
    data[-2:] = b"\x00\x01"
    return bytes(data)


def chunk(fourcc, payload):
    padding = b"\x00" if len(payload) % 2 else b""
    return fourcc + struct.pack("<I", len(payload)) + payload + padding


def riff_list(kind, fourcc, payload):
    return kind + struct.pack("<I", len(payload) + 4) + fourcc + payload


def avi(frames):
    largest = max(len(f) for f in frames)
    count = len(frames)
    AVIF_HASINDEX = 0x10
    AVIIF_KEYFRAME = 0x10
    BI_RLE8 = 1

    main_header = struct.pack(
        "<IIIIIIIIII4I",
        MICROSECONDS_PER_FRAME,
        largest * 1000000 // MICROSECONDS_PER_FRAME,
        0,
        AVIF_HASINDEX,
        count,
        0,
        1,
        largest,
        WIDTH,
        HEIGHT,
        0, 0, 0, 0,
    )
    # No handler: the frames' own format (BI_RLE8) says how to draw them.
    stream_header = struct.pack(
        "<4s4sIHHIIIIIIIIhhhh",
        b"vids",
        b"\x00\x00\x00\x00",
        0,
        0,
        0,
        0,
        MICROSECONDS_PER_FRAME,
        1000000,
        0,
        count,
        largest,
        0xFFFFFFFF,
        0,
        0, 0, WIDTH, HEIGHT,
    )
    bitmap_header = struct.pack(
        "<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, BI_RLE8, largest, 0, 0, len(PALETTE), len(PALETTE)
    )
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    stream_list = riff_list(b"LIST", b"strl", chunk(b"strh", stream_header) + chunk(b"strf", bitmap_header + palette))
    header_list = riff_list(b"LIST", b"hdrl", chunk(b"avih", main_header) + stream_list)

    movie = bytearray()
    index = bytearray()
    for data in frames:
        # Offsets count from the 'movi' type code.
        index += struct.pack("<4sIII", b"00dc", AVIIF_KEYFRAME, 4 + len(movie), len(data))
        movie += chunk(b"00dc", data)
    movie_list = riff_list(b"LIST", b"movi", bytes(movie))
    return riff_list(b"RIFF", b"AVI ", header_list + movie_list + chunk(b"idx1", bytes(index)))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_filecopy_avi.py OUTPUT.avi")
    frames = [rle8(draw_frame(step)) for step in range(MOVING_FRAMES + RESTING_FRAMES)]
    with open(sys.argv[1], "wb") as output:
        output.write(avi(frames))


if __name__ == "__main__":
    main()
