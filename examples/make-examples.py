#!/usr/bin/env python3
"""Draws the example textures: small 8-bit bitmaps, each with a palette of its own, a true-colour
PNG with a transparent corner, and an 8-bit PCX.

Run from anywhere; writes the .bmp files next to this script. The output is committed, so the
examples work without Python; run it again only to change them.
"""
import math
import os
import struct
import zlib

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


def write_png_rgba(name, width, height, pixel):
    """A true-colour PNG (8-bit RGBA, not interlaced); pixel(x, y) -> (r, g, b, a)."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # filter: none
        for x in range(width):
            raw += bytes(pixel(x, y))
    data = (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)


def write_pcx8(name, width, height, palette, pixel):
    """A 256-colour PCX: one 8-bit plane, run-length coded, the palette after the 0x0C marker."""
    stride = (width + 1) // 2 * 2  # bytes per line are even
    header = struct.pack("<BBBBHHHHHH", 10, 5, 1, 8, 0, 0, width - 1, height - 1, 72, 72)
    header += bytes(48) + struct.pack("<BBHH", 0, 1, stride, 1) + bytes(58)
    data = bytearray()
    for y in range(height):
        row = [pixel(x, y) for x in range(width)] + [0] * (stride - width)
        x = 0
        while x < stride:
            run = 1
            while x + run < stride and run < 63 and row[x + run] == row[x]:
                run += 1
            if run > 1 or row[x] >= 0xC0:
                data += bytes((0xC0 | run, row[x]))
            else:
                data.append(row[x])
            x += run
    table = b"".join(bytes(colour) for colour in palette)
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(header + data + b"\x0c" + table)


def glass(x, y):
    """Stained glass: smooth colours in lead-lined cells, the top-left cell see-through."""
    cell_x, cell_y = x // 32, y // 32
    lead = x % 32 in (0, 31) or y % 32 in (0, 31)
    if lead:
        return (40, 40, 48, 255)
    r = int(128 + 120 * math.sin(x * 0.05 + cell_y))
    g = int(128 + 120 * math.sin(y * 0.07 + cell_x * 2))
    b = int(128 + 120 * math.cos((x + y) * 0.04))
    alpha = 60 if cell_x == 0 and cell_y == 0 else 255
    return (r, g, b, alpha)


def planks(x, y):
    board = x // 16
    grain = int(20 * math.sin(y * 0.2 + board * 1.7) + (y * 13 + board * 29) % 9)
    return 30 if x % 16 == 15 else max(0, min(255, 140 + grain + board * 7))


write_png_rgba("glass.png", 128, 128, glass)
write_pcx8("planks.pcx", 64, 64, ramp((50, 30, 15), (210, 160, 100)), planks)


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
