#!/usr/bin/env python3
"""Writes the .swl samples of tests/data/family/ byte by byte from the format's layout, with no
code of Texelary's: the tests read them with Texelary's reader and compare every level and field
with what is written here (the pixel formulas are repeated in tests/formats/SwlFormatTest.cpp).

    swl_levels16.swl  16 x 16, every surface field set, levels 1-3 drawn on their own
    swl_water32.swl   32 x 8, animated (names its next frame), levels point-sampled from level 0
    swl_thin.swl      8 x 2, no fields, point-sampled levels; levels 2 and 3 (2 x 0, 1 x 0) have no pixels
"""

import binascii
import pathlib
import struct

HEADER_SIZE = 1236
OUT = pathlib.Path(__file__).resolve().parent.parent / "tests" / "data" / "family"


def palette_colour(i):
    """Entry i of every sample's palette: (i, 255 - i, 7i mod 256)."""
    return (i, 255 - i, (i * 7) % 256)


def own_level_pixel(level, x, y):
    """A level drawn on its own, different at every level and between neighbours."""
    return (x * 13 + y * 101 + level * 50) % 256


def level0_pixel(x, y):
    return (x * 7 + y * 31 + 5) % 256


def text_field(text, size=64):
    raw = text.encode("utf-8")
    assert len(raw) < size
    return raw + bytes(size - len(raw))


def make(width, height, own_levels, fields):
    palette = b"".join(bytes(palette_colour(i)) + b"\0" for i in range(256))
    # CRC-CCITT, first value 0xffff, nothing xored at the end: binascii's crc_hqx.
    checksum = binascii.crc_hqx(palette, 0xFFFF)
    levels, offsets, position = [], [], HEADER_SIZE
    for i in range(4):
        w, h = width >> i, height >> i
        if own_levels:
            pixels = bytes(own_level_pixel(i, x, y) for y in range(h) for x in range(w))
        else:
            pixels = bytes(level0_pixel(x << i, y << i) for y in range(h) for x in range(w))
        offsets.append(position if w and h else 0)
        position += len(pixels)
        levels.append(pixels)
    header = text_field(fields.get("name", ""))
    header += struct.pack("<II", width, height) + palette
    header += struct.pack("<HH", checksum, 0) + struct.pack("<4I", *offsets)
    header += text_field(fields.get("animation", ""))
    header += struct.pack("<IIHH", fields.get("flags", 0), fields.get("contents", 0),
                          fields.get("value", 0), fields.get("direct", 0))
    header += struct.pack("<ff", fields.get("animtime", 0.0), fields.get("nonlit", 0.0))
    header += struct.pack("<HH", fields.get("directangle", 0), fields.get("transangle", 0))
    header += struct.pack("<5f", fields.get("directstyle", 0.0), fields.get("translucence", 0.0),
                          fields.get("friction", 0.0), fields.get("restitution", 0.0),
                          fields.get("transmag", 0.0))
    header += struct.pack("<3f", *fields.get("colour", (0.0, 0.0, 0.0)))
    assert len(header) == HEADER_SIZE
    return header + b"".join(levels)


SAMPLES = {
    "swl_levels16.swl": (16, 16, True, {
        "name": "textures/sin/metal/plate16", "flags": 0x00200401, "contents": 0x08000001,
        "value": 300, "direct": 150, "animtime": 0.25, "nonlit": 0.5, "directangle": 90,
        "transangle": 270, "directstyle": 2.0, "translucence": 0.75, "friction": 1.5,
        "restitution": 0.125, "transmag": 3.5, "colour": (0.25, 0.5, 0.875)}),
    "swl_water32.swl": (32, 8, False, {
        "name": "textures/sin/water/water1", "animation": "textures/sin/water/water2",
        "flags": 0x00800008, "contents": 0x20, "value": 65535, "direct": 7,
        "animtime": 0.1875, "nonlit": 1.0, "directangle": 65535, "transangle": 1,
        "directstyle": 0.0, "translucence": 0.5, "friction": 0.0625, "restitution": 1.0,
        "transmag": 0.0, "colour": (0.0, 0.375, 1.0)}),
    "swl_thin.swl": (8, 2, False, {}),
}

if __name__ == "__main__":
    for name, (width, height, own_levels, fields) in SAMPLES.items():
        (OUT / name).write_bytes(make(width, height, own_levels, fields))
        print(name, width, "x", height)
