#pragma once

#include "imaging/BmpLayout.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads the pixel rows of an uncompressed 24- or 32-bit BMP file one at a time, top
// to bottom, straight from the file. Page export encodes colour working copies this
// way: no decoding into a full-size QImage, one row in memory. Every other BMP
// (palette, line art, compressed) is declined and left to the general image readers.
class BmpRowReader final
{
    Q_DISABLE_COPY_MOVE(BmpRowReader)

public:
    BmpRowReader() = default;
    ~BmpRowReader() = default;

    // False when the file cannot be opened or is not such a BMP; the header is
    // checked against the file size.
    bool open(const QString &path);

    int width() const { return m_layout.width; }
    int height() const { return m_layout.height; }
    int bitsPerPixel() const { return m_layout.bitsPerPixel; } // 24 (B, G, R) or 32 (B, G, R, X)

    // Row y counted from the top of the picture, valid until the next call. When the
    // file cannot be read (it shrank since open) the row is black and failed() is set.
    const uchar *row(int y);
    bool failed() const { return m_failed; }

private:
    QFile m_file;
    QByteArray m_row;
    BmpLayout m_layout;
    bool m_failed = false;
};
