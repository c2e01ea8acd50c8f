#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12. Idempotent:
# when every package is present it only asks dpkg and returns.
set -euo pipefail

build_pkgs=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-qpa-plugins libgl-dev qt6-translations-l10n
  qt6-svg-dev qt6-pdf-dev
  libsane-dev libsane1 sane-utils
  sane-airscan
  librsvg2-bin
  dpkg-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libtiff-dev
  fonts-dejavu-core
  libtesseract-dev libleptonica-dev
  tesseract-ocr-eng tesseract-ocr-rus tesseract-ocr-osd
)
test_pkgs=(
  xvfb xauth
  cups cups-client cups-bsd printer-driver-cups-pdf
  qpdf poppler-utils ghostscript
  ocrmypdf
  libjpeg-turbo-progs libtiff-tools
  clang libclang-rt-14-dev
  libbenchmark-dev python3-pil
  imagemagick tesseract-ocr
  desktop-file-utils appstream file man-db
  qt6-base-private-dev
)

pkgs=("${build_pkgs[@]}")
if [[ "${1:-}" == "--test" ]]; then
  pkgs+=("${test_pkgs[@]}")
else
  pkgs+=(xvfb xauth)
fi

missing=()
for p in "${pkgs[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
