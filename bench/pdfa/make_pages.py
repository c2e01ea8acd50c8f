#!/usr/bin/env python3
"""Ten A4 pages at 300 dpi as a scanner delivers them: four black-and-white text pages
(1-bit TIFF and PNG), three gray scans with paper noise, a colour photograph, a colour
drawing and a colour scan of a form, in the formats a scan folder holds; beside
them letter.tif, a typical scanned letter in black and white.
Usage: make_pages.py FOLDER"""
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

W, H = 2480, 3508
DPI = (300, 300)
WORDS = ("the archive keeps every signed copy of the contract for ten years and "
         "each page is scanned at three hundred dots per inch before it is stored").split()


def text_page(seed, lines=34, mode="1", ink=0, paper=255):
    rnd = random.Random(seed)
    page = Image.new(mode, (W, H), paper)
    draw = ImageDraw.Draw(page)
    font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 42)
    draw.text((240, 220), "Reference %d" % seed, fill=ink, font=font)
    for row in range(lines):
        words = " ".join(rnd.choice(WORDS) for _ in range(11))
        draw.text((240, 400 + row * 86), words.capitalize() + ".", fill=ink, font=font)
    return page


def scanned_letter(seed, lines=28):
    """A letter of 11 pt text (46 px at 300 dpi) at one and a half line spacing, as a
    scanner's line-art mode delivers it: blurred by the optics, thresholded with sensor
    noise (ragged edges), with dust specks."""
    rnd = random.Random(seed)
    page = Image.new("L", (W, H), 255)
    draw = ImageDraw.Draw(page)
    font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", 46)
    for row in range(lines):
        words = " ".join(rnd.choice(WORDS) for _ in range(10))
        draw.text((295, 350 + row * 100), words.capitalize() + ".", fill=0, font=font)
    page = page.filter(ImageFilter.GaussianBlur(1.2))
    noise = Image.effect_noise((W, H), 18).point(lambda v: v - 128).convert("L")
    page = Image.blend(page, noise, 0.15).point(lambda v: 0 if v < 128 else 255)
    pixels = page.load()
    for _ in range(600):
        pixels[rnd.randrange(W), rnd.randrange(H)] = 0
    return page.convert("1", dither=Image.NONE)


def noisy(page, amount, seed):
    noise = Image.effect_noise(page.size, amount).point(lambda v: v - 128)
    return Image.eval(Image.blend(page, noise.convert(page.mode), 0.08), lambda v: v)


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for i in range(4):
        page = text_page(i + 1)
        if i % 2 == 0:
            page.save(os.path.join(folder, "p%02d_lineart.tif" % i), dpi=DPI,
                      compression="group4")
        else:
            page.save(os.path.join(folder, "p%02d_lineart.png" % i), dpi=DPI)
    for i in range(4, 7):
        page = text_page(i + 1, mode="L", ink=40, paper=235).filter(ImageFilter.BLUR)
        page = noisy(page, 40, i)
        page.save(os.path.join(folder, "p%02d_gray.png" % i), dpi=DPI)
    # A photograph: smooth colour with grain, as a JPEG file from the scanner.
    photo = Image.radial_gradient("L").resize((W, H))
    grain = Image.effect_noise((W, H), 25)
    photo = Image.merge("RGB", (photo, Image.linear_gradient("L").resize((W, H)), grain))
    photo.filter(ImageFilter.GaussianBlur(2)).save(
        os.path.join(folder, "p07_photo.jpg"), quality=85, dpi=DPI)
    # A drawing in a few colours.
    drawing = Image.new("RGB", (W, H), "white")
    draw = ImageDraw.Draw(drawing)
    rnd = random.Random(8)
    for _ in range(40):
        x, y = rnd.randrange(W - 600), rnd.randrange(H - 600)
        draw.rectangle((x, y, x + rnd.randrange(100, 600), y + rnd.randrange(100, 600)),
                       outline=rnd.choice(["navy", "firebrick", "darkgreen"]), width=6)
    drawing.save(os.path.join(folder, "p08_drawing.png"), dpi=DPI)
    # A colour scan of a printed form: text on tinted paper, with noise.
    form = text_page(10, mode="RGB", ink=(20, 20, 90), paper=(250, 245, 225))
    form = noisy(form.filter(ImageFilter.BLUR), 30, 10)
    form.save(os.path.join(folder, "p09_form.jpg"), quality=85, dpi=DPI)
    # Not one of the ten: a typical scanned letter, measured alone.
    scanned_letter(11).save(os.path.join(folder, "letter.tif"), dpi=DPI, compression="group4")


if __name__ == "__main__":
    main(sys.argv[1])
