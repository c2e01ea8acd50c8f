#!/usr/bin/env python3
"""Ten A4 colour document scans at 300 dpi, as JPEG files of quality 85: tinted paper
with uneven shading and sensor noise, dark body text of 9 to 12 pt, a coloured
heading, a logo, and on most pages a photograph; the optics blur everything a
little. Beside each page pNN.txt holds the words printed on it, and pNN.photo the
photograph's box (left top right bottom, in pixels) or nothing.
Usage: make_pages.py FOLDER"""
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

W, H = 2480, 3508
FONTS = "/usr/share/fonts/truetype/dejavu/"
WORDS = ("account address after agreement amount answer before between board budget "
         "business change client committee company contract copy council customer "
         "date delivery department document during early evening every example family "
         "figure final first follow garden general government group history house "
         "important include increase invoice letter local market meeting member money "
         "month morning number office order paper payment people period place plan "
         "please point present price problem project public question receipt record "
         "regard report request result return river school second service signed "
         "society station street student summer support system table thank through "
         "today total training travel under value village water weather window winter "
         "within without works written yearly").split()
PAPERS = [(236, 230, 212), (241, 238, 226), (229, 233, 236), (240, 232, 220), (233, 236, 225)]
HEADINGS = [(20, 50, 140), (150, 25, 25), (20, 100, 60), (90, 30, 120), (170, 80, 10)]


def noise(sigma, seed):
    random.seed(seed)
    return Image.effect_noise((W, H), sigma)


def photo(rnd, w, h):
    """A landscape: sky gradient, hills, a sun, trees, texture, soft focus."""
    img = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        t = y / h
        d.line([(0, y), (w, y)], fill=(int(70 + 120 * t), int(120 + 90 * t), int(200 + 40 * t)))
    d.ellipse([w * 0.65, h * 0.1, w * 0.8, h * 0.1 + w * 0.15], fill=(250, 220, 120))
    for k in range(3):
        top = h * (0.45 + 0.12 * k)
        d.ellipse([-w * 0.3 + rnd.randint(-80, 80), top, w * 1.2, top + h],
                  fill=(40 + 30 * k, 110 + 25 * k, 40 + 10 * k))
    for _ in range(14):
        x, y = rnd.randint(0, w), rnd.randint(int(h * 0.5), h)
        r = rnd.randint(20, 60)
        d.ellipse([x - r, y - 2 * r, x + r, y], fill=(20, rnd.randint(60, 90), 25))
        d.rectangle([x - 5, y, x + 5, y + r], fill=(80, 50, 30))
    tex = Image.effect_noise((w, h), 30).convert("RGB")
    img = Image.blend(img, tex, 0.12)
    return img.filter(ImageFilter.GaussianBlur(1.5))


def page(n, folder):
    rnd = random.Random(n)
    paper = PAPERS[n % len(PAPERS)]
    img = Image.new("RGB", (W, H), paper)
    # Uneven shading across the sheet.
    shade = Image.effect_noise((9, 13), 40).resize((W, H), Image.BICUBIC)
    img = ImageChops.add(img, shade.convert("RGB"), 1.0, -128 + 0)
    img = Image.blend(Image.new("RGB", (W, H), paper), img, 0.35)
    d = ImageDraw.Draw(img)
    words = []
    # Logo: a coloured disc with letters in it, and the company line beside it.
    lx, ly = 1980, 180
    colour = HEADINGS[(n + 2) % len(HEADINGS)]
    d.ellipse([lx, ly, lx + 260, ly + 260], fill=colour)
    d.text((lx + 130, ly + 130), "PG", fill=(250, 250, 250), anchor="mm",
           font=ImageFont.truetype(FONTS + "DejaVuSans-Bold.ttf", 110))
    heading = ImageFont.truetype(FONTS + "DejaVuSans-Bold.ttf", 75)
    title = [rnd.choice(WORDS).capitalize(), rnd.choice(WORDS), rnd.choice(WORDS)]
    d.text((240, 260), " ".join(title), fill=HEADINGS[n % len(HEADINGS)], font=heading)
    words += title
    size = [38, 42, 46, 50][n % 4]  # 9, 10, 11, 12 pt
    ink = (25 + rnd.randint(0, 20), 25 + rnd.randint(0, 15), 30 + rnd.randint(0, 20))
    font = ImageFont.truetype(FONTS + ("DejaVuSerif.ttf" if n % 2 else "DejaVuSans.ttf"), size)
    y = 520
    box = None
    has_photo = n % 5 != 4
    photo_at = 10 if has_photo else 10 ** 6
    line = 0
    while y < H - 300:
        if line == photo_at:
            pw, ph = 1100, 760
            px = 240 + (0 if n % 2 else 900)
            img.paste(photo(rnd, pw, ph), (px, y + 20))
            box = (px, y + 20, px + pw, y + 20 + ph)
            y += ph + 80
        x, row = 240, []
        while True:
            w = rnd.choice(WORDS)
            if n % 3 == 0 and rnd.random() < 0.1:
                w = w.capitalize()
            width = d.textlength(" ".join(row + [w]), font=font)
            if 240 + width > W - 240:
                break
            row.append(w)
        d.text((x, y), " ".join(row), fill=ink, font=font)
        words += row
        y += int(size * 1.5)
        line += 1
    img = img.filter(ImageFilter.GaussianBlur(0.8))
    noisy = Image.merge("RGB", [noise(9, n * 7 + c) for c in range(3)])
    img = ImageChops.add(img, noisy, 1.0, -128)
    name = os.path.join(folder, "p%02d" % n)
    img.save(name + ".jpg", quality=85, dpi=(300, 300))
    with open(name + ".txt", "w") as f:
        f.write(" ".join(words) + "\n")
    with open(name + ".photo", "w") as f:
        f.write("" if box is None else "%d %d %d %d\n" % box)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for n in range(1, 11):
        if not os.path.exists(os.path.join(folder, "p%02d.photo" % n)):
            page(n, folder)


if __name__ == "__main__":
    main()
