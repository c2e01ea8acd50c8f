#!/usr/bin/env bash
# The archival checks tests/pdf/tst_pdfa.cpp makes, on one document: header and
# binary comment, every stream's data ending in a line feed, no interpolation and
# no encryption, a file identifier, the catalog's output intent and metadata, the
# XMP identification as PDF/A-2b, every font embedded, and Ghostscript silent.
# Usage: pdfa_checks.sh DOCUMENT.pdf
set -uo pipefail
pdf="$1"
fail=0
check() { if eval "$2"; then echo "  PDF/A: $1"; else echo "  PDF/A FAILED: $1"; fail=1; fi; }
check "header %PDF-1.7 and a binary comment" \
  '/usr/bin/python3 -c "import sys; d = open(sys.argv[1], \"rb\").read(); c = d[9:d.index(b\"\\n\", 9)]; sys.exit(not (d.startswith(b\"%PDF-1.7\\n%\") and len(c) >= 5 and all(b >= 128 for b in c[1:])))" "$pdf"'
check "every stream's data ends in a line feed" \
  '/usr/bin/python3 -c "import sys; d = open(sys.argv[1], \"rb\").read(); sys.exit(d.count(b\"endstream\") != d.count(b\"\\nendstream\"))" "$pdf"'
check "no /Interpolate true, no /Encrypt" '! LC_ALL=C grep -aq -e "/Interpolate true" -e "/Encrypt" "$pdf"'
check "trailer /ID" 'qpdf --show-object=trailer "$pdf" | grep -Eq "/ID \[ <[0-9a-fA-F]{32}> <[0-9a-fA-F]{32}> \]"'
check "output intent GTS_PDFA1 with its profile, metadata" \
  'qpdf --show-object=1 "$pdf" | grep -q "/S /GTS_PDFA1" && qpdf --show-object=1 "$pdf" | grep -q "/DestOutputProfile" && qpdf --show-object=1 "$pdf" | grep -q "/Metadata"'
check "XMP pdfaid part 2, conformance B" \
  'pdfinfo -meta "$pdf" | grep -q "<pdfaid:part>2</pdfaid:part>" && pdfinfo -meta "$pdf" | grep -q "<pdfaid:conformance>B</pdfaid:conformance>"'
check "every font embedded" '! pdffonts "$pdf" | tail -n +3 | awk "{ print \$(NF-4) }" | grep -qv yes'
check "Ghostscript renders every page without a word" \
  '[[ -z "$(gs -q -dNOPAUSE -dBATCH -dPDFSTOPONERROR -sDEVICE=nullpage "$pdf" 2>&1)" ]]'
check "qpdf --check clean" 'qpdf --check "$pdf" >/dev/null 2>&1'
exit $fail
