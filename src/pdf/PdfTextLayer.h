#pragma once

#include "ocr/PdfWord.h"

#include <QByteArray>
#include <QSize>

// The content-stream operators of a page's invisible text layer: one text object in
// render mode 3 with one run per word, placed on the word's box and scaled
// horizontally to its width, so that viewers find, select and copy the word where
// it stands on the image. Units are image pixels, as the page's are.
namespace PdfTextLayer {

// Words with no printable text or no box on the page are left out; empty when no
// word remains. font names the font resource of the page.
QByteArray operators(const PdfWords &words, const QSize &page, const QByteArray &font);

// A word's text as two-byte codes for the glyph-less font: UTF-16BE in hex.
QByteArray hexCodes(const QString &text);

} // namespace PdfTextLayer
