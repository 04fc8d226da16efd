#!/usr/bin/env python3
"""Draws the five preset replacement pictures and writes them as GIF files.

The pictures are part of the program's data directory; this script is how they were made, so that
anyone can check or change them. Plain Python 3, no modules beyond the standard library: the GIF
and LZW writing is done here. The output is byte-for-byte the same on every run.

Usage: make-pictures.py [output directory]   (default: the directory of this script)
"""

import os
import struct
import sys

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GRAY = (192, 192, 192)
# The product's colours: the frame and the X of the mark on a deep purple.
MARK_GREY = (97, 97, 97)
MARK_LIGHT = (173, 173, 173)
MARK_PURPLE = (40, 2, 98)

BANNER_WIDTH = 468
BANNER_HEIGHT = 60

# A 5 x 7 pixel alphabet, just the letters the banners need.
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "C": [".####", "#....", "#....", "#....", "#....", "#....", ".####"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "&": [".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"],
}


class Canvas:
    """Palette indices, row by row."""

    def __init__(self, width, height, palette, background=0):
        self.width = width
        self.height = height
        self.palette = palette
        self.pixels = [background] * (width * height)

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = colour

    def fill(self, left, top, width, height, colour):
        for y in range(top, top + height):
            for x in range(left, left + width):
                self.put(x, y, colour)

    def frame(self, left, top, width, height, thickness, colour):
        self.fill(left, top, width, thickness, colour)
        self.fill(left, top + height - thickness, width, thickness, colour)
        self.fill(left, top, thickness, height, colour)
        self.fill(left + width - thickness, top, thickness, height, colour)

    def cross(self, left, top, size, thickness, colour):
        """Both diagonals of a square."""
        for i in range(size):
            for t in range(thickness):
                offset = t - thickness // 2
                self.put(left + i + offset, top + i, colour)
                self.put(left + size - 1 - i + offset, top + i, colour)

    def text(self, left, top, string, scale, colour):
        for n, letter in enumerate(string):
            rows = GLYPHS[letter]
            x0 = left + n * 6 * scale
            for row, bits in enumerate(rows):
                for column, bit in enumerate(bits):
                    if bit == "#":
                        self.fill(x0 + column * scale, top + row * scale, scale, scale, colour)


def text_width(string, scale):
    return (len(string) * 6 - 1) * scale


class BitWriter:
    """Variable-length codes packed least significant bit first, as GIF wants them."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def write(self, code, size):
        self.acc |= code << self.bits
        self.bits += size
        while self.bits >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.bits -= 8

    def finish(self):
        if self.bits > 0:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


def lzw(indices, min_size):
    clear = 1 << min_size
    end = clear + 1
    writer = BitWriter()
    size = min_size + 1
    table = {}
    next_code = end + 1
    writer.write(clear, size)
    prefix = indices[0]
    for index in indices[1:]:
        key = (prefix, index)
        if key in table:
            prefix = table[key]
            continue
        writer.write(prefix, size)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            # The reader widens its codes once it has assigned the next power of two.
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            writer.write(clear, size)
            table = {}
            next_code = end + 1
            size = min_size + 1
        prefix = index
    writer.write(prefix, size)
    writer.write(end, size)
    return writer.finish()


def sub_blocks(data):
    out = bytearray()
    for start in range(0, len(data), 255):
        chunk = data[start : start + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def gif(canvas):
    table_bits = max(1, (len(canvas.palette) - 1).bit_length())
    colours = list(canvas.palette) + [BLACK] * ((1 << table_bits) - len(canvas.palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", canvas.width, canvas.height, 0x80 | (table_bits - 1) << 4 |
                       (table_bits - 1), 0, 0)
    for colour in colours:
        out += bytes(colour)
    out += struct.pack("<BHHHHB", 0x2C, 0, 0, canvas.width, canvas.height, 0)
    min_size = max(2, table_bits)
    out.append(min_size)
    out += sub_blocks(lzw(canvas.pixels, min_size))
    out.append(0x3B)
    return bytes(out)


def plain(colour):
    return Canvas(1, 1, [colour])


def tessel_banner():
    """The product's mark, a framed X, with its name and a band of the same tiles."""
    purple, black, grey, light = range(4)
    c = Canvas(BANNER_WIDTH, BANNER_HEIGHT, [MARK_PURPLE, BLACK, MARK_GREY, MARK_LIGHT])
    c.frame(0, 0, BANNER_WIDTH, BANNER_HEIGHT, 2, black)
    c.frame(2, 2, BANNER_WIDTH - 4, BANNER_HEIGHT - 4, 2, grey)
    c.fill(10, 8, 44, 44, black)
    c.frame(10, 8, 44, 44, 3, light)
    c.cross(13, 11, 38, 4, light)
    c.text(72, 13, "TESSEL", 5, grey)
    c.text(70, 11, "TESSEL", 5, light)
    left = 72 + text_width("TESSEL", 5) + 24
    for column, x in enumerate(range(left, BANNER_WIDTH - 24, 16)):
        for row, y in enumerate(range(8, BANNER_HEIGHT - 16, 16)):
            colour = light if (row + column) % 2 == 0 else grey
            c.frame(x, y, 12, 12, 1, colour)
            c.cross(x + 2, y + 2, 8, 1, colour)
    return c


def rav_banner():
    """A&CO: diagonal bands behind a framed panel with the name."""
    dark, mid, pale, ink = range(4)
    c = Canvas(BANNER_WIDTH, BANNER_HEIGHT, [(22, 58, 74), (38, 92, 110), (224, 232, 236),
                                             (12, 28, 36)])
    for y in range(BANNER_HEIGHT):
        for x in range(BANNER_WIDTH):
            c.put(x, y, dark if (x + y) // 10 % 2 == 0 else mid)
    name = "A&CO"
    panel_width = text_width(name, 5) + 40
    panel_left = (BANNER_WIDTH - panel_width) // 2
    c.fill(panel_left, 6, panel_width, BANNER_HEIGHT - 12, pale)
    c.frame(panel_left, 6, panel_width, BANNER_HEIGHT - 12, 2, ink)
    c.text(panel_left + 20, 13, name, 5, ink)
    c.frame(0, 0, BANNER_WIDTH, BANNER_HEIGHT, 1, ink)
    return c


PICTURES = {
    "black.gif": lambda: plain(BLACK),
    "white.gif": lambda: plain(WHITE),
    "gray.gif": lambda: plain(GRAY),
    "Tessel.gif": tessel_banner,
    "rav.gif": rav_banner,
}


def main(argv):
    directory = argv[1] if len(argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, draw in PICTURES.items():
        data = gif(draw())
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
