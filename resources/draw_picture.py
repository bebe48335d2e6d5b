#!/usr/bin/python3
"""Draws the tool's picture and writes it as taviron.bmp beside this script.

The picture is 160 x 120 on black: a row of five white-framed colour swatches
from light cyan to near-black, under them the two inequalities that define a
median, and below those the integral from minus infinity to m of the density,
equal to one half, its integral sign drawn large in the middle swatch's blue.

The bitmap is written by hand (32 bits per pixel, BI_RGB, rows bottom-up,
alpha 255 everywhere) so that every header field is under our control.
"""

import os
import struct

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 160, 120
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GREY = (200, 200, 200)
SWATCHES = [(165, 255, 255), (44, 211, 255), (37, 134, 207), (32, 74, 106), (27, 27, 27)]
INTEGRAL_BLUE = SWATCHES[2]

# Swatch geometry; the tests probe the centre of each swatch.
SWATCH_LEFT, SWATCH_TOP = 10, 6
SWATCH_WIDTH, SWATCH_HEIGHT, SWATCH_GAP = 24, 20, 5

FONT_DIR = "/usr/share/fonts/truetype/dejavu"


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def draw_swatches(draw):
    for i, colour in enumerate(SWATCHES):
        left = SWATCH_LEFT + i * (SWATCH_WIDTH + SWATCH_GAP)
        box = (left, SWATCH_TOP, left + SWATCH_WIDTH - 1, SWATCH_TOP + SWATCH_HEIGHT - 1)
        draw.rectangle(box, fill=colour, outline=WHITE, width=1)


def draw_centred(draw, text, y, typeface, fill):
    width = draw.textlength(text, font=typeface)
    draw.text(((WIDTH - width) / 2, y), text, font=typeface, fill=fill)


def draw_inequalities(draw):
    typeface = font("DejaVuSerif-Italic.ttf", 12)
    draw_centred(draw, "P(X \u2264 m) \u2265 1/2", 31, typeface, WHITE)
    draw_centred(draw, "P(X \u2265 m) \u2265 1/2", 46, typeface, WHITE)


def draw_fraction(draw, x, top, typeface):
    """One half stacked over a bar; returns the right edge."""
    width = max(draw.textlength("1", font=typeface), draw.textlength("2", font=typeface))
    bar_y = top + 14
    draw.text((x + 2, top), "1", font=typeface, fill=WHITE)
    draw.line((x, bar_y, x + width + 4, bar_y), fill=WHITE, width=1)
    draw.text((x + 2, bar_y + 2), "2", font=typeface, fill=WHITE)
    return x + width + 4


def draw_integral(draw):
    sign = font("DejaVuMathTeXGyre.ttf", 46)
    limit = font("DejaVuSerif-Italic.ttf", 10)
    body = font("DejaVuSerif-Italic.ttf", 14)
    upright = font("DejaVuSerif.ttf", 14)

    # The sign spans rows 62 to 114; its limits sit at its upper and lower
    # right like a text-style integral's.
    sign_x, sign_y = 20, 64
    draw.text((sign_x, sign_y), "\u222b", font=sign, fill=INTEGRAL_BLUE)
    draw.text((sign_x + 26, 60), "m", font=limit, fill=GREY)
    draw.text((sign_x + 17, 104), "\u2212\u221e", font=limit, fill=GREY)

    x, baseline_top = 64, 80
    for text, typeface in (("f", body), ("(", upright), ("x", body), (")", upright),
                           (" d", upright), ("x", body), (" = ", upright)):
        draw.text((x, baseline_top), text, font=typeface, fill=WHITE)
        x += draw.textlength(text, font=typeface)
    draw_fraction(draw, x + 1, baseline_top - 7, upright)


def draw_picture():
    picture = Image.new("RGB", (WIDTH, HEIGHT), BLACK)
    draw = ImageDraw.Draw(picture)
    draw_swatches(draw)
    draw_inequalities(draw)
    draw_integral(draw)
    return picture


def bmp_bytes(picture):
    """BITMAPFILEHEADER, BITMAPINFOHEADER and BGRA rows from the bottom up."""
    pixels = picture.load()
    rows = bytearray()
    for y in reversed(range(HEIGHT)):
        for x in range(WIDTH):
            red, green, blue = pixels[x, y]
            rows += bytes((blue, green, red, 255))
    info_header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 32, 0, len(rows),
                              2835, 2835, 0, 0)
    offset = 14 + len(info_header)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return file_header + info_header + bytes(rows)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "taviron.bmp"), "wb") as out:
        out.write(bmp_bytes(draw_picture()))


if __name__ == "__main__":
    main()
