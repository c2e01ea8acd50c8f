#!/usr/bin/python3
"""Word recall of recognised text against the words make_text_pages.py drew: the
share of the true words found on their own page, each found word counted once
(a multiset match), case-sensitive. Pages of the recognised text are separated by
form feeds, as pdftotext writes them.
Usage: recall.py TEXT TRUTH.txt...   prints: recall found_words true_words"""
import collections
import sys


def main():
    text_path, truths = sys.argv[1], sys.argv[2:]
    with open(text_path, encoding="utf-8", errors="replace") as f:
        pages = f.read().split("\f")
    found_total = hits = true_total = 0
    for k, truth_path in enumerate(truths):
        with open(truth_path, encoding="utf-8") as f:
            truth = collections.Counter(f.read().split())
        found = collections.Counter(pages[k].split()) if k < len(pages) else collections.Counter()
        hits += sum((truth & found).values())
        true_total += sum(truth.values())
        found_total += sum(found.values())
    print("%.4f %d %d" % (hits / true_total if true_total else 0.0, found_total, true_total))


if __name__ == "__main__":
    main()
