#pragma once

#include <QtGlobal>

// The largest page the program can scan, and what follows from it for every reader
// of page images: the program, pagora-pdf and the tests share these bounds, so a
// page the scanner delivered can always be read back, and an input that no scan
// could have produced is refused before it is read.
namespace PageLimits {

// The scanner refuses a page whose pixels would need more than this (24-bit colour,
// 8-bit gray or line art as delivered): an A3 page in colour at 1200 dpi fits, as
// does a Legal page in colour at 600 dpi (5100 x 8400, 128 MB).
constexpr qint64 LargestScanBytes = qint64(1) << 30;

// Decoders widen colour to 32-bit pixels: the largest scan then needs a third more.
constexpr qint64 LargestDecodedBytes = LargestScanBytes / 3 * 4;

// Qt's image readers refuse images above an allocation limit (128 MB by default,
// less than a colour A4 page at 600 dpi); raised to LargestDecodedBytes, in MB.
constexpr int QtAllocationLimitMb = int((LargestDecodedBytes + (1 << 20) - 1) >> 20);

// The largest page file of the largest scan: an uncompressed BMP or TIFF with its
// headers and row padding, with room to spare for PNG's framing. A larger input
// is not a page.
constexpr qint64 LargestFileBytes = LargestScanBytes + LargestScanBytes / 8;

// Whether a decoded picture of width x height with bytesPerPixel bytes a pixel stays
// within LargestDecodedBytes.
bool fits(qint64 width, qint64 height, int bytesPerPixel);

// Sets Qt's allocation limit, once: when the application object is created in
// every program that links the readers, and by the readers themselves before
// they use Qt's, for a program without one. From any thread.
void applyToQt();

} // namespace PageLimits
