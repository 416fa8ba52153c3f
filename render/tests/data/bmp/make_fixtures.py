#!/usr/bin/python3
"""Writes the BMP fixtures of the surface tests with Pillow, and for every image that must draw a
text file of the expected 15-bit colours (first line: width height; then one line of hex values
per row from the top). Malformed files are derived from the good ones by patching bytes.

Run once from this directory; the outputs are committed."""

import struct
from PIL import Image


def rgb15(r, g, b):
    return (r >> 3) | (g >> 3) << 5 | (b >> 3) << 10


def save_expected(name, img):
    rgb = img.convert("RGB")
    w, h = rgb.size
    with open(name + ".txt", "w") as f:
        f.write(f"{w} {h}\n")
        for y in range(h):
            f.write(" ".join(f"{rgb15(*rgb.getpixel((x, y))):04x}" for x in range(w)) + "\n")


def save(name, img, expected=True):
    img.save(name + ".bmp", format="BMP")
    if expected:
        save_expected(name, img)
    with open(name + ".bmp", "rb") as f:
        return bytearray(f.read())


def patch(name, data):
    with open(name + ".bmp", "wb") as f:
        f.write(bytes(data))


# 24 bits, 2 x 2: rows of 6 pixel bytes and 2 filler bytes.
img = Image.new("RGB", (2, 2))
img.putdata([(200, 100, 50), (8, 16, 248), (255, 255, 255), (0, 128, 7)])
rgb2x2 = save("rgb24_2x2", img)

# 24 bits, 5 x 3: 15 pixel bytes and 1 filler byte per row.
img = Image.new("RGB", (5, 3))
img.putdata([((x * 53) % 256, (y * 97 + 11) % 256, (x * y * 31 + 200) % 256)
             for y in range(3) for x in range(5)])
rgb5x3 = save("rgb24_5x3", img)

# 8 bits with a palette of 4 colours, 3 x 3 (1 filler byte per row).
img = Image.new("P", (3, 3))
img.putpalette([0, 0, 0, 255, 0, 0, 0, 255, 0, 31, 63, 255])
img.putdata([0, 1, 2, 3, 2, 1, 1, 3, 0])
pal3x3 = save("pal8_3x3", img)

# 8 bits grey (Pillow writes a 256-entry grey palette), 7 x 2.
img = Image.new("L", (7, 2))
img.putdata([i * 18 for i in range(14)])
save("gray8_7x2", img)

# Top-down copy of the 5 x 3 image: negative height, rows stored from the top.
offset = struct.unpack_from("<I", rgb5x3, 10)[0]
stride = 16
rows = [rgb5x3[offset + r * stride: offset + (r + 1) * stride] for r in range(3)]
topdown = bytearray(rgb5x3[:offset]) + b"".join(reversed(rows))
struct.pack_into("<i", topdown, 22, -3)
patch("rgb24_5x3_topdown", topdown)

# Depths that are not drawn.
img = Image.new("1", (8, 2))
save("mono1_8x2", img, expected=False)
img = Image.new("RGBA", (2, 2), (10, 20, 30, 255))
save("rgba32_2x2", img, expected=False)
four = bytearray(pal3x3)
struct.pack_into("<H", four, 28, 4)
patch("bad_4bit", four)

# Malformed files.
patch("bad_truncated_pixels", rgb5x3[:-5])
patch("bad_truncated_header", rgb5x3[:30])
lying = bytearray(rgb2x2)
struct.pack_into("<i", lying, 18, 4000)
patch("bad_width", lying)
lying = bytearray(rgb2x2)
struct.pack_into("<i", lying, 22, 4000)
patch("bad_height", lying)
lying = bytearray(rgb2x2)
struct.pack_into("<I", lying, 10, len(rgb2x2) - 4)
patch("bad_offset", lying)
lying = bytearray(rgb2x2)
struct.pack_into("<I", lying, 10, 0xFFFFFFF0)
patch("bad_offset_wrap", lying)
lying = bytearray(rgb2x2)
struct.pack_into("<I", lying, 14, 0x7FFFFFFF)
patch("bad_header_size", lying)
lying = bytearray(rgb2x2)
struct.pack_into("<i", lying, 18, -2)
patch("bad_negative_width", lying)
lying = bytearray(pal3x3)
struct.pack_into("<I", lying, 46, 100000)
patch("bad_palette_count", lying)
lying = bytearray(pal3x3)
struct.pack_into("<I", lying, 46, 2)
patch("bad_palette_index", lying)
lying = bytearray(pal3x3)
struct.pack_into("<I", lying, 30, 1)
patch("bad_rle8", lying)
lying = bytearray(rgb2x2)
lying[0:2] = b"XY"
patch("bad_signature", lying)
