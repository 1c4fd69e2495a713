#!/usr/bin/env python3
"""Draws the example textures: small 8-bit bitmaps, each with a palette of its own.

Run from anywhere; writes the .bmp files next to this script. The output is committed, so the
examples work without Python; run it again only to change them.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write_bmp8(name, width, height, palette, pixel):
    """palette: 256 (r, g, b); pixel(x, y) -> index, y = 0 the top row."""
    stride = (width + 3) // 4 * 4
    offset = 14 + 40 + 256 * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up, as bitmaps store rows
        row = bytes(pixel(x, y) for x in range(width))
        data += row + bytes(stride - width)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    table = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(header + info + table + data)


def ramp(start, end):
    return [tuple(int(s + (e - s) * i / 255) for s, e in zip(start, end)) for i in range(256)]


def brick(x, y):
    row = y // 16
    shift = 16 if row % 2 else 0
    mortar = y % 16 == 15 or (x + shift) % 32 == 31
    noise = (x * 7 + y * 13 + (x * y) % 11) % 40
    return 20 + noise if mortar else 120 + noise + (row * 9) % 30


def checker(x, y):
    return 40 if (x // 8 + y // 8) % 2 else 220


def stone(x, y):
    v = math.sin(x * 0.3) * math.cos(y * 0.23) + math.sin((x + y) * 0.11)
    return max(0, min(255, int(128 + v * 60 + (x * 31 + y * 17) % 23)))


def water(x, y):
    v = math.sin(x * 0.2 + math.sin(y * 0.15) * 2.0)
    return max(0, min(255, int(128 + v * 110)))


write_bmp8("brick.bmp", 64, 64, ramp((60, 30, 20), (200, 110, 80)), brick)
write_bmp8("checker.bmp", 32, 32, ramp((0, 0, 0), (255, 255, 255)), checker)
write_bmp8("stone.bmp", 64, 64, ramp((40, 40, 45), (190, 185, 170)), stone)
write_bmp8("water.bmp", 128, 64, ramp((0, 20, 60), (120, 200, 255)), water)


def field(text, size):
    raw = text.encode("utf-8")[: size - 1]
    return raw + bytes(size - len(raw))


def write_project(name, input_dir, output_dir, conv_from, conv_to, files):
    """A project file: signature, version, count, the two directories, convert-to before
    convert-from, then one 128-byte field per file name."""
    data = field("Texelary", 32) + field("1.00", 8) + struct.pack("<i", len(files))
    data += field(input_dir, 128) + field(output_dir, 128)
    data += struct.pack("<ii", conv_to, conv_from)
    for file_name in files:
        data += field(file_name, 128)
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)


# Bitmaps to .m8, written to converted/ beside the examples (paths relative to this folder).
write_project("examples.mm", ".", "converted", 0, 0,
              ["brick.bmp", "checker.bmp", "stone.bmp", "water.bmp"])
