#pragma once

#include <QRect>

// Where a copied page goes on the printed sheet: at the top-left of the
// printable area, as large as fits while keeping its proportions. Sizes in
// pixels; the output size multiplies first and then divides, truncating.
// A page or printable area without size gives an empty rectangle.
QRect printRectangle(int imageWidth, int imageHeight, int printableWidth, int printableHeight);
