#!/usr/bin/env python3
"""Draws the editor's logo, Korvalen49_Test/logo.bmp: the word KORVALEN in blocky letters on
the dark background of the controller picture, 157 x 51 pixels, 24-bit uncompressed BMP.

    tools/make_logo.py [OUTPUT]
"""

import os
import struct
import sys

WIDTH, HEIGHT = 157, 51
BACKGROUND = (29, 30, 34)
INK = (235, 235, 235)
ACCENT = (230, 200, 40)

# 5 x 7 letters, one string per row, '#' is ink.
GLYPHS = {
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
}


def draw(word="KORVALEN", scale=3):
    pixels = [[BACKGROUND] * WIDTH for _ in range(HEIGHT)]
    text_w = (len(word) * 6 - 1) * scale
    left = (WIDTH - text_w) // 2
    top = 10
    for i, ch in enumerate(word):
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit != "#":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        pixels[top + row * scale + dy][left + (i * 6 + col) * scale + dx] = INK
    # A thin line under the word, in the colour of a checked layer button.
    for x in range(left, left + text_w):
        pixels[top + 7 * scale + 5][x] = ACCENT
    return pixels


def bmp_bytes(pixels):
    row_size = (WIDTH * 3 + 3) & ~3
    image_size = row_size * HEIGHT
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + image_size, 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    body = bytearray()
    for row in reversed(pixels):  # bottom-up rows
        for r, g, b in row:
            body += bytes((b, g, r))
        body += b"\0" * (row_size - WIDTH * 3)
    return header + info + bytes(body)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, os.pardir, "Korvalen49_Test",
                                                             "logo.bmp")
    with open(out, "wb") as f:
        f.write(bmp_bytes(draw()))
    print(os.path.normpath(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
