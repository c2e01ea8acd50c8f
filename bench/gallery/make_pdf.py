#!/usr/bin/python3
"""Writes a PDF of A4 colour pages at 300 dpi that look like scans (the pages of
bench/pdf/make_pages.py, a few distinct ones repeated), each an embedded JPEG as
a scanner's PDF holds it. Usage: make_pdf.py FILE PAGES"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pdf"))
import make_pages  # noqa: E402


def main():
    path, count = sys.argv[1], int(sys.argv[2])
    distinct = [make_pages.page(seed).convert("RGB") for seed in range(min(count, 4))]
    pages = [distinct[i % len(distinct)] for i in range(count)]
    pages[0].save(path, "PDF", save_all=True, append_images=pages[1:], resolution=300.0,
                  quality=85)


if __name__ == "__main__":
    main()
