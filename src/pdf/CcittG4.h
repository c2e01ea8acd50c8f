#pragma once

#include <QByteArray>

// CCITT Group 4 (T.6) coding of black-and-white pictures through libtiff's fax
// encoder, in memory: lossless, and for scanned text a few per cent of the raw size.
namespace CcittG4 {

// rows: height rows of (width + 7) / 8 bytes, most significant bit first, a set bit
// black. Returns the code as a PDF CCITTFaxDecode filter with /K -1 reads it
// (0 black, ending in an end-of-block code); empty on failure.
QByteArray encode(const QByteArray &rows, int width, int height);

} // namespace CcittG4
