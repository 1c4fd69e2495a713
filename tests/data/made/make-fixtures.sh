#!/bin/sh
# Regenerates the PNG, TGA and PCX files in this folder as two common programs save them, from the
# bitmaps of ../bmp/made/ (a 16 x 8 picture of 24 colours, described in that folder's script).
# The tests compare every file with the bitmap it was made from: a palette file must give the
# bitmap's indices and colours exactly, a true-colour file the bitmap's colours.
#   From ../bmp/made/pillow.bmp, by Pillow:
#     pillow.png             8-bit palette, 24-entry PLTE
#     pillow.tga             colour-mapped, 24-bit map, uncompressed, top row first
#     pillow-rle.tga         the same, run-length coded
#     pillow.pcx             8 bits, one plane, run-length, 256-colour palette at the end
#     pillow-rgb.tga         24-bit true colour, bottom row first
#     pillow-rgb.pcx         8 bits in 3 planes
#     pillow-rgba.png        RGBA, alpha 100 where (x + y) % 3 == 0, 255 elsewhere
#     pillow-grey.png, pillow-grey.tga, pillow-grey.bmp
#                            the picture in grey (Pillow's "L"), 8-bit grey PNG and TGA, and as
#                            an 8-bit bitmap with a grey table to compare them with
#     pillow16.bmp, pillow16-4bit.png
#                            indices taken modulo 16 (16 colours): an 8-bit bitmap, and a 4-bit
#                            palette PNG
#     pillow2.bmp, pillow2.pcx
#                            indices modulo 2, black and white: an 8-bit bitmap, and a 1-bit PCX
#   From ../bmp/made/imagemagick.bmp, by ImageMagick 6:
#     imagemagick.png        8-bit palette; ImageMagick orders a PNG's palette its own way, so
#                            imagemagick-png.bmp, the bitmap that it makes of that file, is the
#                            one to compare with; imagemagick-interlaced-palette.png is that
#                            file interlaced
#     imagemagick.tga        colour-mapped, uncompressed, top row first; imagemagick-rle.tga run-
#                            length coded (ImageMagick 6 writes the rows in the order that the
#                            picture's orientation setting names, but only TopLeft puts them that
#                            way round, hence -orient TopLeft)
#     imagemagick.pcx        8 bits, one plane, 256-colour palette at the end
#     imagemagick-rgb16.png  16-bit RGB; imagemagick-interlaced.png 8-bit RGB, interlaced
#     imagemagick-rgb-rle.tga 24-bit, run-length coded
#     imagemagick-rgb.pcx    8 bits in 3 planes
#     imagemagick-rgba-rle.tga 32-bit with alpha, run-length coded, from pillow-rgba.png
# Needs ImageMagick's `convert` and Python 3 with Pillow (PYTHON names another interpreter).
set -eu
cd "$(dirname "$0")"
PYTHON=${PYTHON:-python3}

"$PYTHON" - <<'PY'
from PIL import Image

image = Image.open("../bmp/made/pillow.bmp")
image.save("pillow.png")
image.save("pillow.tga")
image.save("pillow-rle.tga", compression="tga_rle")
image.save("pillow.pcx")
rgb = image.convert("RGB")
rgb.save("pillow-rgb.tga")
rgb.save("pillow-rgb.pcx")
rgba = image.convert("RGBA")
width, height = image.size
rgba.putalpha(Image.frombytes("L", image.size, bytes(
    100 if (x + y) % 3 == 0 else 255 for y in range(height) for x in range(width))))
rgba.save("pillow-rgba.png")
grey = image.convert("L")
grey.save("pillow-grey.png")
grey.save("pillow-grey.tga")
grey.save("pillow-grey.bmp")

def reduced(modulo, palette):
    picture = Image.new("P", image.size)
    picture.putpalette(palette)
    picture.putdata([p % modulo for p in image.getdata()])
    return picture

reduced(16, image.getpalette()[:48]).save("pillow16.bmp")
reduced(16, image.getpalette()[:48]).save("pillow16-4bit.png", bits=4)
reduced(2, [0, 0, 0, 255, 255, 255]).save("pillow2.bmp")
reduced(2, [0, 0, 0, 255, 255, 255]).convert("1").save("pillow2.pcx")
PY

source=../bmp/made/imagemagick.bmp
convert "$source" -type Palette imagemagick.png
convert imagemagick.png -type Palette -compress None imagemagick-png.bmp
convert imagemagick.png -interlace PNG imagemagick-interlaced-palette.png
convert "$source" -orient TopLeft -type Palette -compress None imagemagick.tga
convert "$source" -orient TopLeft -type Palette -compress RLE imagemagick-rle.tga
convert "$source" -type Palette imagemagick.pcx
convert "$source" -depth 16 PNG48:imagemagick-rgb16.png
convert "$source" -interlace PNG PNG24:imagemagick-interlaced.png
convert "$source" -orient TopLeft -type TrueColor -compress RLE imagemagick-rgb-rle.tga
convert "$source" -type TrueColor imagemagick-rgb.pcx
convert pillow-rgba.png -orient TopLeft -type TrueColorAlpha -compress RLE \
    imagemagick-rgba-rle.tga
