#!/usr/bin/env bash
# Installs the build into a throw-away prefix and checks what a desktop and a
# packager find there: the programs (and that they answer --version and --help without
# a display), the desktop entry and AppStream file as their validators judge them,
# the icon in every size the entry's Icon= names, the manual pages, the package's
# copyright and changelog (compressed as Debian's checker wants them), and that the
# installed program finds its translations.
#
#   check-install.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
id=com.veldmark.PagoraPro

prefix=$(mktemp -d "${TMPDIR:-/tmp}/pagora-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
  cat "$prefix.log"
  rm -f "$prefix.log"
  echo "FAIL: cmake --install"
  exit 1
fi
rm -f "$prefix.log"

desktop=share/applications/$id.desktop
metainfo=share/metainfo/$id.metainfo.xml
doc=share/doc/pagora-pro
manpages=(share/man/man1/pagora-pro.1.gz share/man/man1/pagora-pdf.1.gz)
expected=(bin/pagora-pro bin/pagora-pdf libexec/pagora-pro/pagora-ocr
  libexec/pagora-pro/pagora-tesseract.so "$desktop" "$metainfo"
  share/icons/hicolor/scalable/apps/$id.svg "${manpages[@]}" "$doc/copyright" "$doc/changelog.gz")
for size in 48 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for f in "${expected[@]}"; do
  [[ -f "$prefix/$f" ]] || fail "not installed: $f"
done

for size in 48 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [[ -f "$png" ]] && ! file "$png" | grep -q "PNG image data, $size x $size" &&
    fail "$png is not a ${size} x ${size} PNG: $(file -b "$png")"
done

if [[ -f "$prefix/$desktop" ]]; then
  out=$(desktop-file-validate "$prefix/$desktop" 2>&1) || fail "desktop-file-validate: $out"
  [[ -z "$out" ]] || echo "desktop-file-validate says: $out"
  grep -qx "Icon=$id" "$prefix/$desktop" || fail "Icon= does not name the installed icon $id"
  grep -qx "Exec=pagora-pro" "$prefix/$desktop" || fail "Exec= does not run pagora-pro"
  grep -q "^Name\[ru\]=" "$prefix/$desktop" || fail "no Russian name"
  grep -q "^Comment\[ru\]=" "$prefix/$desktop" || fail "no Russian comment"
fi
if [[ -f "$prefix/$metainfo" ]]; then
  out=$(appstreamcli validate --no-net "$prefix/$metainfo" 2>&1) ||
    fail "appstreamcli validate: $out"
  grep -q "<release version=\"$version\"" "$prefix/$metainfo" ||
    fail "the metainfo's release is not $version"
fi
for page in "${manpages[@]}"; do
  [[ -f "$prefix/$page" ]] || continue
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/$page" 2>&1 >/dev/null)
  [[ -z "$warnings" ]] || fail "$page has warnings: $warnings"
done
# Debian's checker refuses a gzip file that is not at the highest level or that keeps
# the file's name and time (the package would differ from build to build).
for f in "${manpages[@]}" "$doc/changelog.gz"; do
  [[ -f "$prefix/$f" ]] || continue
  kind=$(file -b "$prefix/$f")
  [[ "$kind" == "gzip compressed data, max compression,"* ]] ||
    fail "$f is not gzip at the highest level without name and time: $kind"
done
if [[ -f "$prefix/$doc/changelog.gz" ]]; then
  out=$(dpkg-parsechangelog -l "$prefix/$doc/changelog.gz" -S Version 2>&1)
  [[ "$out" == "$version" ]] || fail "the changelog's latest entry is not $version: $out"
fi
if [[ -f "$prefix/$doc/copyright" ]]; then
  head -n1 "$prefix/$doc/copyright" |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in the machine-readable format"
  # Every file paragraph names its holders and a licence.
  bad=$(awk -v RS= '/^Files:/ && !(/\nCopyright:/ && /\nLicense:/) { print $2 }' "$prefix/$doc/copyright")
  [[ -z "$bad" ]] || fail "copyright paragraphs without Copyright or License: $bad"
fi

# No display: the answers must not need one.
for program in pagora-pro pagora-pdf; do
  [[ -x "$prefix/bin/$program" ]] || continue
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version 2>&1)
  [[ "$out" == "$program $version" ]] || fail "$program --version said: $out"
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --help 2>&1)
  [[ "$out" == "Usage: $program"* ]] || fail "$program --help said: $out"
done
# Straightening loads Tesseract from its installed module, not from the build tree.
if [[ -x "$prefix/bin/pagora-pdf" ]]; then
  /usr/bin/python3 - "$prefix/page.bmp" <<'PAGE'
import struct, sys
width, height = 64, 64
pixels = b"\xff" * (width * 3 * height)
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 11811, 11811, 0, 0)
with open(sys.argv[1], "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) + info + pixels)
PAGE
  out=$(env -u DISPLAY "$prefix/bin/pagora-pdf" --deskew "$prefix/page.pdf" "$prefix/page.bmp" 2>&1)
  [[ $? -eq 0 && -z "$out" && -s "$prefix/page.pdf" ]] ||
    fail "the installed pagora-pdf cannot straighten a page: $out"
fi
# The translations are built into the program: an installed copy finds them.
if [[ -x "$prefix/bin/pagora-pro" ]]; then
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=ru_RU.UTF-8 "$prefix/bin/pagora-pro" --help 2>&1)
  [[ "$out" == "Использование: pagora-pro"* ]] || fail "no Russian help under a Russian locale: $out"
fi

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "install tree complete and valid"
