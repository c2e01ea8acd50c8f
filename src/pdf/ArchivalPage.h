#pragma once

#include "pdf/PdfImage.h"

#include <QImage>
#include <QString>

// The pictures of an archival PDF, each stored in the smallest faithful way:
// black-and-white pictures losslessly as CCITT Group 4, gray ones with one
// component, JPEG files with their own coefficients (the same pixels; Huffman
// tables made for them), and the rest as whichever is smaller of the
// page-quality JPEG and a lossless Flate stream. Pure functions of their input,
// safe to call from several threads at once.
namespace ArchivalPage {

// A decoded picture; transparent parts are laid on white. An empty result with
// *error on failure.
PdfImage encode(QImage image, QString *error = nullptr);

// The page of an image file (frame: the page of a multi-page TIFF) with the
// resolution the file records. With decoded, the picture is returned as well, for
// text recognition. False with the reason, naming the file, when the file cannot
// be read or is damaged.
bool fromFile(const QString &path, int frame, PdfImage &page, QImage *decoded = nullptr,
              QString *error = nullptr);

} // namespace ArchivalPage
