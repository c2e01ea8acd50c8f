#!/usr/bin/python3
"""Writes A4 pages at 300 dpi (2480 x 3508) of English and Russian text in a clear
10-point sans, as a scanner would deliver them when fed turned or tilted, as
grayscale PNG files, with the words of each page in a .txt file beside it.
Usage: make_fed_pages.py FOLDER"""
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 2480, 3508
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
ENGLISH = (
    "the of and to in is that for it as was with be by on not this are from at which "
    "have they were there been one all their has would when will more can out about "
    "document scanner page paper office letter invoice report search archive folder "
    "printer system window copy"
).split()
RUSSIAN = (
    "документ страница бумага письмо счёт отчёт поиск архив папка принтер система окно "
    "копия сканер текст работа время город человек вопрос жизнь рука день слово место "
    "дом сторона страна мир случай голова ребёнок сила конец вид"
).split()
# Clockwise degrees each page is fed at; "blank" is a page without text.
PAGES = [("upright", 0.0), ("right", 90.0), ("upside_down", 180.0), ("left", 270.0),
         ("right_tilted", 91.5), ("tilted_p4.5", 4.5), ("tilted_m4.5", -4.5),
         ("tilted_p2", 2.0), ("tilted_m1", -1.0), ("blank", None)]


def upright(seed):
    rnd = random.Random(seed)
    font = ImageFont.truetype(FONT, 42)
    img = Image.new("L", (WIDTH, HEIGHT), 255)
    draw = ImageDraw.Draw(img)
    words = []
    y = 250
    while y < HEIGHT - 250:
        vocabulary = ENGLISH if (y // 62) % 2 == 0 else RUSSIAN
        line = ""
        while True:
            word = rnd.choice(vocabulary)
            if draw.textlength(line + " " + word, font=font) > WIDTH - 400:
                break
            line = (line + " " + word).strip()
        draw.text((200, y), line, font=font, fill=0)
        words += line.split()
        y += 62
    return img, words


def fed(img, degrees):
    quarter = int(round(degrees / 90.0)) % 4
    rest = degrees - 90.0 * round(degrees / 90.0)
    # PIL turns counter-clockwise.
    turned = {0: img, 1: img.transpose(Image.Transpose.ROTATE_270),
              2: img.transpose(Image.Transpose.ROTATE_180),
              3: img.transpose(Image.Transpose.ROTATE_90)}[quarter]
    if abs(rest) > 1e-9:
        turned = turned.rotate(-rest, resample=Image.Resampling.BICUBIC, fillcolor=255)
    return turned


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for k, (name, degrees) in enumerate(PAGES):
        path = os.path.join(folder, "page%02d_%s.png" % (k, name))
        if os.path.exists(path):
            continue
        if degrees is None:
            img, words = Image.new("L", (WIDTH, HEIGHT), 255), []
        else:
            img, words = upright(k)
            img = fed(img, degrees)
        img.save(path, dpi=(300, 300))
        with open(path[:-4] + ".txt", "w", encoding="utf-8") as out:
            out.write(" ".join(words) + "\n")


if __name__ == "__main__":
    main()
