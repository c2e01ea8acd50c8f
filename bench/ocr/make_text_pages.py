#!/usr/bin/python3
"""Writes A4 pages at 300 dpi (2480 x 3508) full of printed English text in a clear
10-point serif, as grayscale PNG files. Usage: make_text_pages.py FOLDER COUNT"""
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 2480, 3508
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"
WORDS = (
    "the of and to in is that for it as was with be by on not he this are or his from "
    "at which but have an they you were her she there been one all we their has would "
    "when if so no will more can out up about into document scanner page paper office "
    "letter invoice report search archive folder printer system window copy"
).split()


def page(path, seed):
    rnd = random.Random(seed)
    font = ImageFont.truetype(FONT, 42)
    img = Image.new("L", (WIDTH, HEIGHT), 255)
    draw = ImageDraw.Draw(img)
    y = 250
    while y < HEIGHT - 250:
        line = ""
        while True:
            word = rnd.choice(WORDS)
            if draw.textlength(line + " " + word, font=font) > WIDTH - 400:
                break
            line = (line + " " + word).strip()
        draw.text((200, y), line, font=font, fill=0)
        y += 62
    img.save(path, dpi=(300, 300))


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    for k in range(count):
        path = os.path.join(folder, "page%02d.png" % k)
        if not os.path.exists(path):
            page(path, k)


if __name__ == "__main__":
    main()
