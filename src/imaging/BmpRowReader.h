#pragma once

#include "imaging/BmpLayout.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads the pixel rows of an uncompressed 24- or 32-bit BMP file top to bottom,
// straight from the file. Page export encodes colour working copies this way: no
// decoding into a full-size QImage, only a band of rows in memory, fetched with one
// read each (a read per row cost the export more than the encoding). Every other
// BMP (palette, line art, compressed) is declined and left to the general image
// readers.
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

    // Row y counted from the top of the picture, valid until the next call. Rows are
    // cheapest asked for in order. When the file cannot be read (it shrank since
    // open) the row is black and failed() is set.
    const uchar *row(int y);
    bool failed() const { return m_failed; }

private:
    bool readBand(int first);

    QFile m_file;
    QByteArray m_band;
    int m_bandRows = 0;   // rows a band holds
    int m_bandFirst = -1; // the band's top row, counted from the top; -1: none read
    BmpLayout m_layout;
    bool m_failed = false;
};
