#pragma once

#include <QtGlobal>

// Where the pixel rows of an uncompressed 24- or 32-bit BMP lie in its file: the
// working copies the program writes. Every other BMP (palette, line art, bit
// fields, compression) is declined and left to the general image readers.
struct BmpLayout
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // 24 (B, G, R) or 32 (B, G, R, X)
    bool bottomUp = true;
    qint64 pixelOffset = 0;
    qint64 stride = 0;

    // Offset in the file of row y counted from the top of the picture.
    qint64 rowOffset(int y) const
    {
        return pixelOffset + (bottomUp ? qint64(height) - 1 - y : qint64(y)) * stride;
    }

    // header: the file's first bytes (the 54 of both headers are enough); the
    // rows must fit in fileSize. False for anything else.
    static bool parse(const uchar *header, qint64 headerSize, qint64 fileSize, BmpLayout *layout);

    static constexpr qint64 HeadersSize = 14 + 40;
};
