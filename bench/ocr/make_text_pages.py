#!/usr/bin/python3
"""Writes A4 pages at 300 dpi (2480 x 3508) full of printed English text in a clear
10-point serif, as grayscale PNG files (pageNN.png), and beside each the words drawn
on it, one line of the page per line (pageNN.txt), to measure recall against.
Usage: make_text_pages.py FOLDER COUNT"""
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


def lines_of(seed, draw, font):
    """The lines of text of a page and where each is drawn; the same for a seed."""
    rnd = random.Random(seed)
    lines = []
    y = 250
    while y < HEIGHT - 250:
        line = ""
        while True:
            word = rnd.choice(WORDS)
            if draw.textlength(line + " " + word, font=font) > WIDTH - 400:
                break
            line = (line + " " + word).strip()
        lines.append((y, line))
        y += 62
    return lines


def page(stem, seed):
    font = ImageFont.truetype(FONT, 42)
    img = Image.new("L", (WIDTH, HEIGHT), 255)
    draw = ImageDraw.Draw(img)
    lines = lines_of(seed, draw, font)
    if not os.path.exists(stem + ".txt"):
        with open(stem + ".txt", "w", encoding="utf-8") as out:
            out.writelines(line + "\n" for _, line in lines)
    if not os.path.exists(stem + ".png"):
        for y, line in lines:
            draw.text((200, y), line, font=font, fill=0)
        img.save(stem + ".png", dpi=(300, 300))


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    for k in range(count):
        page(os.path.join(folder, "page%02d" % k), k)


if __name__ == "__main__":
    main()
