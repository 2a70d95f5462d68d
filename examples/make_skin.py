#!/usr/bin/env python3
"""Draws the sample skin of the splash plug-in: the background, the picture, the six button
images and "qvonsplash.ini". The background's corners are painted in the key colour, so the same
file serves the region tool as its mask.

usage: make_skin.py OUTPUT-DIRECTORY
"""
import os
import struct
import sys

KEY = (255, 0, 255)  # outside the window's shape
SIZE = (401, 231)
PICTURE = (160, 90)
PICTURE_AT = (24, 20)
BUTTON = (120, 28)
BUTTONS = [  # file stem, ini section, label, colour, position
    ("qvonsplok", "OK", "OK", (46, 139, 87), (265, 122)),
    ("qvonsplvo", "VO", "VIEW ONLY", (52, 101, 164), (265, 156)),
    ("qvonsplno", "NO", "CANCEL", (178, 58, 52), (265, 190)),
]
# Stepped corners: rows 0-3 lose 12 pixels at each end, rows 4-7 lose 8, rows 8-11 lose 4.
CORNER_STEPS = [(4, 12), (4, 8), (4, 4)]

# 5 x 7 glyphs, one string of five characters per row, "#" is ink.
GLYPHS = {
    " ": ["     "] * 7,
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "C": [" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "I": [" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "K": ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "W": ["#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"],
    "Y": ["#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "],
}


class Image:
    def __init__(self, width, height, colour=(0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def fill(self, left, top, right, bottom, colour):
        for y in range(max(top, 0), min(bottom, self.height)):
            row = self.pixels[y]
            for x in range(max(left, 0), min(right, self.width)):
                row[x] = colour

    def text(self, label, scale, colour):
        """Draws label centred."""
        width = (len(label) * 6 - 1) * scale
        left = (self.width - width) // 2
        top = (self.height - 7 * scale) // 2
        for i, ch in enumerate(label):
            for gy, line in enumerate(GLYPHS[ch]):
                for gx, cell in enumerate(line):
                    if cell == "#":
                        x = left + (i * 6 + gx) * scale
                        y = top + gy * scale
                        self.fill(x, y, x + scale, y + scale, colour)


def write_bmp(path, image):
    """24-bit, bottom-up, rows padded to four bytes: what LoadImage reads as a DIB section."""
    stride = (image.width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(image.pixels):
        for r, g, b in row:
            pixels += bytes((b, g, r))
        pixels += b"\0" * (stride - image.width * 3)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, image.width, image.height, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def read_bmp(path):
    """Reads a 24-bit bottom-up BMP as written above; returns an Image."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24 or height <= 0:
        raise ValueError(f"{path}: {bits}-bit, height {height} (expected 24-bit, bottom-up)")
    stride = (width * 3 + 3) & ~3
    image = Image(width, height)
    for y in range(height):
        row = offset + (height - 1 - y) * stride
        image.pixels[y] = [(data[row + 3 * x + 2], data[row + 3 * x + 1], data[row + 3 * x])
                           for x in range(width)]
    return image


def corner_cut(y, height):
    """How many pixels row y loses at each end."""
    edge = min(y, height - 1 - y)
    top = 0
    for rows, cut in CORNER_STEPS:
        if edge < top + rows:
            return cut
        top += rows
    return 0


def background():
    w, h = SIZE
    image = Image(w, h)
    for y in range(h):
        for x in range(w):
            image.pixels[y][x] = (20 + 40 * x // w, 40 + 60 * y // h, 90 + 80 * (x + y) // (w + h))
    image.fill(0, 0, w, 2, (200, 210, 230))
    image.fill(0, h - 2, w, h, (200, 210, 230))
    image.fill(0, 0, 2, h, (200, 210, 230))
    image.fill(w - 2, 0, w, h, (200, 210, 230))
    for y in range(h):
        cut = corner_cut(y, h)
        image.fill(0, y, cut, y + 1, KEY)
        image.fill(w - cut, y, w, y + 1, KEY)
    return image


def picture():
    w, h = PICTURE
    image = Image(w, h, (250, 244, 230))
    image.fill(0, 0, w, 3, (230, 120, 30))
    image.fill(0, h - 3, w, h, (230, 120, 30))
    for i in range(0, w, 12):
        image.fill(i, 8, i + 6, 14, (230, 120, 30))
    image.text("QUORVANE", 2, (40, 40, 60))
    return image


def button(label, colour, pressed):
    w, h = BUTTON
    light = tuple(min(255, c + 70) for c in colour)
    dark = tuple(c // 2 for c in colour)
    image = Image(w, h, dark if pressed else colour)
    top_left, bottom_right = (dark, light) if pressed else (light, dark)
    image.fill(0, 0, w, 2, top_left)
    image.fill(0, 0, 2, h, top_left)
    image.fill(0, h - 2, w, h, bottom_right)
    image.fill(w - 2, 0, w, h, bottom_right)
    image.text(label, 2, (255, 255, 255) if not pressed else (255, 235, 120))
    return image


def settings():
    lines = ["[SP]", f"X={PICTURE_AT[0]}", f"Y={PICTURE_AT[1]}"]
    for _, section, _, _, (x, y) in BUTTONS:
        lines += [f"[{section}]", f"X={x}", f"Y={y}"]
    return "\r\n".join(lines) + "\r\n"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "qvonsplskn.bmp"), background())
    write_bmp(os.path.join(out, "qvonsplash.bmp"), picture())
    for stem, _, label, colour, _ in BUTTONS:
        write_bmp(os.path.join(out, stem + "1.bmp"), button(label, colour, False))
        write_bmp(os.path.join(out, stem + "2.bmp"), button(label, colour, True))
    with open(os.path.join(out, "qvonsplash.ini"), "w", newline="") as f:
        f.write(settings())


if __name__ == "__main__":
    main()
