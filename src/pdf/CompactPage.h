#pragma once

#include "pdf/PdfImage.h"

#include <QImage>
#include <QRect>
#include <QRgb>

// A scanned document page split into layers for a small PDF (mixed raster
// content): the paper and any pictures as a low-resolution background, the text
// and line art as a full-resolution 1-bit stencil, and the text's colour, either
// one colour for the page or a low-resolution picture seen through the stencil.
// The largest picture on the page may keep its own full-resolution image, drawn
// over the background.
struct CompactImage
{
    int width = 0; // the page's pixels at full resolution
    int height = 0;
    double dpiX = 72;
    double dpiY = 72;

    PdfImage background; // RGB JPEG, covering the whole page at a lower resolution

    // CCITT Group 4 of the text mask at full resolution (a set pixel is text);
    // empty when the page has no text.
    QByteArray mask;
    QRgb textColour = qRgb(0, 0, 0);
    // RGB JPEG covering the whole page, painted through the mask; empty when the
    // text is drawn in textColour.
    PdfImage foreground;

    PdfImage picture;  // empty data: none
    QRect pictureRect; // in the page's pixels
};

namespace CompactPage {

// Splits a page. False when the page does not separate cleanly (a photograph, a
// page without light paper, line art that is stored losslessly anyway, a picture
// too small to be a page): it is stored as a whole then. Safe to call from several
// threads at once.
bool encode(const QImage &image, double dpiX, double dpiY, CompactImage &out);

} // namespace CompactPage
