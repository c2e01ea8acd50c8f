#!/usr/bin/python3
"""Writes A4 colour pages at 300 dpi (2480 x 3508) as 24-bit BMP files that look
like scans: paper-white background with scanner noise, lines of dark "text" and a
colour photograph. Usage: make_pages.py FOLDER COUNT"""
import io
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw

WIDTH, HEIGHT = 2480, 3508


def page(seed):
    rnd = random.Random(seed)
    img = Image.new("RGB", (WIDTH, HEIGHT), (250, 249, 245))
    draw = ImageDraw.Draw(img)
    y = 250
    while y < HEIGHT - 250:
        if 1200 < y < 2500:  # the photograph's band
            y = 2550
        x = 200
        while x < WIDTH - 300:
            # One word: a few letter-sized marks.
            for _ in range(rnd.randint(2, 9)):
                w = rnd.randint(12, 24)
                top = y + rnd.choice((0, 0, 8))
                shade = rnd.randint(10, 60)
                draw.rectangle([x, top, x + w, y + 30], fill=(shade, shade, shade + 10))
                x += w + rnd.randint(3, 6)
            x += rnd.randint(18, 30)
        y += 58
    # Photograph: two gradients mixed with coarse noise.
    pw, ph = 1900, 1250
    red = Image.linear_gradient("L").resize((pw, ph))
    green = Image.radial_gradient("L").resize((pw, ph))
    blue = Image.effect_noise((pw // 8, ph // 8), 80).resize((pw, ph), Image.BICUBIC)
    photo = Image.merge("RGB", (red, green, blue)).rotate(
        rnd.randint(0, 359), fillcolor=(250, 249, 245))
    img.paste(photo, (290, 1250))
    # Scanner noise over the whole page.
    noise = Image.effect_noise((WIDTH, HEIGHT), 6).convert("RGB")
    img = ImageChops.subtract(img, noise, 1.0, 128)
    return img


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        path = os.path.join(folder, "page%02d.bmp" % (i + 1))
        if not os.path.exists(path):
            # In blocks of 1 MiB, as the program writes its pages: the file system
            # keeps the file in pieces of the size it was written in, and smaller
            # pieces cost every later read more.
            data = io.BytesIO()
            page(i).save(data, "BMP")
            data = data.getvalue()
            with open(path, "wb") as f:
                for at in range(0, len(data), 1 << 20):
                    f.write(data[at:at + (1 << 20)])


if __name__ == "__main__":
    main()
