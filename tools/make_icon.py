#!/usr/bin/env python3
"""Draws the editor's application icon: a small controller seen from above (dark body, four
encoders, two pads in the accent colour of the logo, a keyboard). One list of shapes gives both
the scalable SVG and the PNG sizes of the hicolor theme, so they always match.

    tools/make_icon.py [OUTDIR]      default: packaging/icons

Writes OUTDIR/scalable/ID.svg and OUTDIR/NxN/ID.png for the sizes below.
"""

import os
import struct
import sys
import zlib

APP_ID = "org.korvalen.Korvalen25Editor"
SIZES = (16, 24, 32, 48, 64, 128, 256)
CANVAS = 256  # the shapes are given on a 256 x 256 canvas

BODY = (29, 30, 34)  # the background of the controller picture and the logo
PANEL = (52, 54, 60)
KNOB = (200, 200, 204)
ACCENT = (230, 200, 40)  # the logo's underline
WHITE_KEY = (240, 240, 240)
BLACK_KEY = (20, 20, 22)


def shapes():
    """(kind, colour, geometry) in painting order, on the 256 canvas."""
    s = [("rrect", BODY, (8, 40, 240, 184, 24)), ("rrect", PANEL, (20, 52, 216, 70, 10))]
    for i in range(4):  # four encoders with their marks
        cx = 50 + i * 52
        s.append(("circle", KNOB, (cx, 87, 22)))
        s.append(("rect", BODY, (cx - 3, 67, 6, 18)))
    s.append(("rrect", ACCENT, (20, 130, 50, 24, 5)))  # two pads
    s.append(("rrect", ACCENT, (78, 130, 50, 24, 5)))
    s.append(("rrect", KNOB, (140, 138, 96, 8, 4)))  # the slider with its cap
    s.append(("rrect", WHITE_KEY, (196, 130, 16, 24, 3)))
    s.append(("rect", WHITE_KEY, (20, 162, 216, 52)))  # the keyboard
    for i in range(1, 9):
        s.append(("rect", BODY, (20 + i * 24 - 1, 162, 2, 52)))
    for i in (0, 1, 3, 4, 5, 7):
        s.append(("rect", BLACK_KEY, (20 + i * 24 + 16, 162, 16, 30)))
    return s


def svg():
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{CANVAS}" height="{CANVAS}" '
           f'viewBox="0 0 {CANVAS} {CANVAS}">']
    for kind, (r, g, b), geo in shapes():
        fill = f'fill="#{r:02x}{g:02x}{b:02x}"'
        if kind == "rrect":
            x, y, w, h, rad = geo
            out.append(f'  <rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{rad}" {fill}/>')
        elif kind == "rect":
            x, y, w, h = geo
            out.append(f'  <rect x="{x}" y="{y}" width="{w}" height="{h}" {fill}/>')
        else:
            cx, cy, rad = geo
            out.append(f'  <circle cx="{cx}" cy="{cy}" r="{rad}" {fill}/>')
    out.append("</svg>")
    return "\n".join(out) + "\n"


def inside(kind, geo, x, y):
    if kind == "circle":
        cx, cy, rad = geo
        return (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad
    if kind == "rect":
        rx, ry, w, h = geo
        return rx <= x < rx + w and ry <= y < ry + h
    rx, ry, w, h, rad = geo
    if not (rx <= x < rx + w and ry <= y < ry + h):
        return False
    # Distance from the nearest corner centre, for points in a corner square.
    nx = min(max(x, rx + rad), rx + w - rad)
    ny = min(max(y, ry + rad), ry + h - rad)
    return (x - nx) ** 2 + (y - ny) ** 2 <= rad * rad


def render(size, samples=4):
    """RGBA rows; each pixel is the mean of samples x samples points (transparent outside)."""
    scale = CANVAS / size
    shape_list = shapes()
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = None
                    for kind, c, geo in shape_list:
                        if inside(kind, geo, x, y):
                            colour = c
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = samples * samples
            covered = acc[3]
            if covered:
                row += bytes((acc[0] // covered, acc[1] // covered, acc[2] // covered,
                              round(255 * covered / n)))
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, os.pardir, "packaging", "icons")
    os.makedirs(os.path.join(out, "scalable"), exist_ok=True)
    with open(os.path.join(out, "scalable", APP_ID + ".svg"), "w") as f:
        f.write(svg())
    for size in SIZES:
        folder = os.path.join(out, f"{size}x{size}")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, APP_ID + ".png"), "wb") as f:
            f.write(png(size, render(size)))
    print(os.path.normpath(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
