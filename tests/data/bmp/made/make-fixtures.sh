#!/bin/sh
# Regenerates the bitmaps in this folder as two common programs save an 8-bit picture:
#   imagemagick.bmp      ImageMagick 6, `-type Palette -compress None`: 124-byte header
#   imagemagick-rle.bmp  ImageMagick 6, `-type Palette -compress RLE`: 124-byte header, RLE8
#   pillow.bmp           Pillow, mode "P" with a 24-colour palette: 40-byte header, 24 entries
# Needs ImageMagick's `convert` and Python 3 with Pillow (PYTHON names another interpreter).
# All three show the same 16 x 8 picture with 24 colours; BmpFormatTest.cpp holds the same
# picture and colours (FixtureIndex, FixtureColour) and checks every pixel of every file. The
# programs may reorder the colour table, so the test compares colours, not indices.
set -eu
cd "$(dirname "$0")"
PYTHON=${PYTHON:-python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$PYTHON" - "$work/pattern.png" <<'PY'
import sys
from PIL import Image

WIDTH, HEIGHT, COLOURS = 16, 8, 24

def index(x, y):
    # Runs of four in the top half (run-length coding has runs to find), every colour in turn
    # in the bottom half (and literal runs there).
    return (x // 4 + y) % COLOURS if y < 4 else (x + 3 * y) % COLOURS

def colour(k):
    return ((k * 37) % 256, (k * 91 + 40) % 256, (255 - k * 10) % 256)

image = Image.new("P", (WIDTH, HEIGHT))
image.putpalette([c for k in range(COLOURS) for c in colour(k)])
image.putdata([index(x, y) for y in range(HEIGHT) for x in range(WIDTH)])
image.save(sys.argv[1])
image.save("pillow.bmp")
PY

convert "$work/pattern.png" -type Palette -compress None imagemagick.bmp
convert "$work/pattern.png" -type Palette -compress RLE imagemagick-rle.bmp
