#!/usr/bin/python3
"""Per page of a searchable PDF made from make_fed_pages.py's pages: the share of the
page's words that pdftotext finds on it, the shape of the page image, and the skew
left in it (projection profiles, independent of the program measured).
Usage: measure.py OUTPUT.pdf PAGE.png..."""
import collections
import os
import re
import subprocess
import sys
import tempfile

from PIL import Image


def words_of(text):
    return [w for w in re.findall(r"\w+", text.lower()) if w]


def found_share(pdf, number, truth):
    if not truth:
        return None
    text = subprocess.run(["pdftotext", "-f", str(number), "-l", str(number), pdf, "-"],
                          capture_output=True, text=True, check=True).stdout
    have = collections.Counter(words_of(text))
    want = collections.Counter(words_of(" ".join(truth)))
    hit = sum(min(n, have[w]) for w, n in want.items())
    return hit / sum(want.values())


def page_image(pdf, number, folder):
    subprocess.run(["pdfimages", "-png", "-f", str(number), "-l", str(number), pdf,
                    os.path.join(folder, "p%03d" % number)], check=True)
    name = sorted(f for f in os.listdir(folder) if f.startswith("p%03d" % number))[0]
    return Image.open(os.path.join(folder, name)).convert("L")


def sharpness(img, degrees):
    rows = img.rotate(degrees, resample=Image.Resampling.BILINEAR, fillcolor=255)
    w, h = rows.size
    data = rows.tobytes()
    sums = [w * 255 - sum(data[y * w:(y + 1) * w]) for y in range(h)]
    return sum((sums[i + 1] - sums[i]) ** 2 for i in range(h - 1))


def skew(img):
    """Clockwise degrees of the text lines: the counter-clockwise turn that lines
    the rows up best, searched over +-6 degrees in half degrees, then refined to
    about 0.02."""
    small = img.resize((img.width // 2, img.height // 2))
    small = small.point(lambda v: 0 if v < 160 else 255)
    best, step, span = 0.0, 0.5, 6.0
    while step >= 0.02:
        candidates = [best + step * k for k in range(-int(span / step), int(span / step) + 1)]
        best = max(candidates, key=lambda a: sharpness(small, a))
        span, step = step, step / 2.5
    return best


def main():
    pdf, pages = sys.argv[1], sys.argv[2:]
    with tempfile.TemporaryDirectory() as folder:
        for number, png in enumerate(pages, start=1):
            with open(png[:-4] + ".txt", encoding="utf-8") as f:
                truth = f.read().split()
            share = found_share(pdf, number, truth)
            img = page_image(pdf, number, folder)
            left = skew(img) if truth else 0.0
            print("%-28s words found %6s   image %4d x %4d   skew left %+.2f deg" % (
                os.path.basename(png), "-" if share is None else "%.1f %%" % (100 * share),
                img.width, img.height, left))


if __name__ == "__main__":
    main()
