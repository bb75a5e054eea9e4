#!/usr/bin/env python3
"""Draws the track bar's slider images into this folder (run it here).

Pixels are either fully opaque or fully transparent, so the images draw
crisply at any position. A slider's position falls on column 8 of its image.
"""
import struct
import zlib
from pathlib import Path


def png(path, width, height, pixel):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    rows = b"".join(
        b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))
    Path(path).write_bytes(
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(rows, 9))
        + chunk(b"IEND", b""))


def rgba(hex_colour):
    return tuple(int(hex_colour[i:i + 2], 16) for i in (0, 2, 4)) + (255,)


def shaded(inside, width, height, fill, outline):
    """Fills the shape given by inside(x, y), with a 1-pixel outline."""
    def pixel(x, y):
        if not inside(x, y):
            return (0, 0, 0, 0)
        edge = any(not (0 <= nx < width and 0 <= ny < height and inside(nx, ny))
                   for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)))
        return rgba(outline if edge else fill)
    return pixel


def pointer_down(x, y):
    """16 x 16: a square body over a tip that ends on columns 7 and 8."""
    inset = 0 if y <= 5 else (y - 4) // 2
    return 2 + inset <= x <= 13 - inset


def upright_bar(x, y):
    """18 x 18: a bar on columns 5..11 with rounded corners."""
    if not 5 <= x <= 11:
        return False
    corner = y in (0, 17) and x in (5, 11)
    return not corner


IMAGES = {
    "slider_main.png": (16, pointer_down, "5b8fd6", "2d4a73"),
    "slider_main_highlight.png": (16, pointer_down, "bcd6f5", "5b8fd6"),
    "slider1.png": (18, upright_bar, "3c9a4a", "1f5c28"),
    "slider1_highlight.png": (18, upright_bar, "a8e6b0", "3c9a4a"),
    "slider2.png": (18, upright_bar, "c8483c", "7a221a"),
    "slider2_highlight.png": (18, upright_bar, "f4b0a8", "c8483c"),
}

if __name__ == "__main__":
    for name, (size, shape, fill, outline) in IMAGES.items():
        png(name, size, size, shaded(shape, size, size, fill, outline))
