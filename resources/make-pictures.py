#!/usr/bin/python3
"""Draws the about picture, the splash picture and the program icon into this directory.

about.bmp   213 x 97, 24 bits per pixel, no palette
splash.bmp  213 x 97, 8 bits per pixel with a 256-colour palette, uncompressed
texelary.png 64 x 64 program icon
texelary.ico the same icon for Windows, at 16, 32, 48, 64 and 256 pixels
Needs python3-pil. Run it again after changing a picture: python3 resources/make-pictures.py
"""
import os

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT = 213, 97


def texel_tile(draw, left, top, size, cells, base):
    """A small square of coloured texels, standing for a 256-colour texture."""
    cell = size // cells
    for row in range(cells):
        for col in range(cells):
            shade = (row * 37 + col * 53) % 96
            colour = tuple(max(0, min(255, c + shade - 48)) for c in base)
            draw.rectangle([left + col * cell, top + row * cell,
                            left + (col + 1) * cell - 1, top + (row + 1) * cell - 1], fill=colour)
    draw.rectangle([left - 1, top - 1, left + cells * cell, top + cells * cell], outline=(20, 20, 30))


def mip_chain(draw, left, top, base):
    """A texture and three smaller copies of itself, the way mip levels shrink."""
    size = 32
    x = left
    for level in range(4):
        texel_tile(draw, x, top + (32 - size), size, max(1, 8 >> level), base)
        x += size + 4
        size //= 2


def background(image):
    draw = ImageDraw.Draw(image)
    for y in range(HEIGHT):
        shade = int(40 + 60 * y / HEIGHT)
        draw.line([(0, y), (WIDTH - 1, y)], fill=(shade // 2, shade // 2, shade + 40))
    return draw


def title(draw, text, top, colour):
    font = ImageFont.load_default()
    box = draw.textbbox((0, 0), text, font=font)
    draw.text(((WIDTH - (box[2] - box[0])) // 2, top), text, font=font, fill=colour)


def about_picture():
    image = Image.new("RGB", (WIDTH, HEIGHT))
    draw = background(image)
    mip_chain(draw, 14, 12, (170, 110, 60))
    mip_chain(draw, 118, 12, (70, 140, 90))
    title(draw, "TEXELARY", 58, (250, 230, 160))
    title(draw, ".bmp .png .tga .pcx .m8 .wal", 74, (200, 210, 230))
    image.save(os.path.join(HERE, "about.bmp"), "BMP")


def splash_picture():
    image = Image.new("RGB", (WIDTH, HEIGHT))
    draw = background(image)
    mip_chain(draw, 66, 10, (190, 120, 50))
    title(draw, "TEXELARY", 54, (255, 235, 150))
    title(draw, "Loading...", 72, (210, 220, 240))
    # A palette of exactly 256 colours, the way the program's own textures are stored.
    indexed = image.quantize(colors=256, method=Image.Quantize.MEDIANCUT)
    palette = indexed.getpalette()[:768]
    palette += [0] * (768 - len(palette))
    indexed.putpalette(palette)
    indexed.save(os.path.join(HERE, "splash.bmp"), "BMP")


def icon_picture():
    size = 64
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    draw.rounded_rectangle([2, 2, size - 3, size - 3], radius=8, fill=(40, 44, 80, 255))
    texel_tile(draw, 8, 8, 32, 8, (190, 120, 50))
    texel_tile(draw, 44, 8, 16, 4, (190, 120, 50))
    texel_tile(draw, 44, 28, 8, 2, (190, 120, 50))
    texel_tile(draw, 8, 44, 12, 3, (70, 150, 100))
    texel_tile(draw, 24, 44, 12, 3, (80, 110, 180))
    draw.polygon([(42, 46), (52, 46), (52, 42), (60, 50), (52, 58), (52, 54), (42, 54)],
                 fill=(250, 230, 160, 255))
    image.save(os.path.join(HERE, "texelary.png"), "PNG")
    # Windows shows the program, its shortcut and its project files with this. The drawing is
    # made of whole texels, so 256 pixels is it blown up four times; the smaller sizes are that
    # scaled down, and 64 pixels is the drawing itself.
    large = image.resize((256, 256), Image.Resampling.NEAREST)
    large.save(os.path.join(HERE, "texelary.ico"), "ICO", append_images=[image],
               sizes=[(16, 16), (32, 32), (48, 48), (64, 64), (256, 256)])


if __name__ == "__main__":
    about_picture()
    splash_picture()
    icon_picture()
