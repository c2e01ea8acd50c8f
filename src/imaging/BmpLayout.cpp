#include "imaging/BmpLayout.h"

#include <QtEndian>
#include <limits>

namespace {
constexpr qint64 FileHeaderSize = 14;
constexpr qint64 InfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr quint32 CompressionNone = 0; // BI_RGB
} // namespace

bool BmpLayout::parse(const uchar *data, qint64 headerSize, qint64 fileSize, BmpLayout *layout)
{
    if (headerSize < HeadersSize || data[0] != 'B' || data[1] != 'M')
        return false;
    const quint32 pixelOffset = qFromLittleEndian<quint32>(data + 10);
    const uchar *info = data + FileHeaderSize;
    const quint32 infoSize = qFromLittleEndian<quint32>(info);
    const qint32 width = qFromLittleEndian<qint32>(info + 4);
    const qint32 height = qFromLittleEndian<qint32>(info + 8);
    const quint16 planes = qFromLittleEndian<quint16>(info + 12);
    const quint16 bits = qFromLittleEndian<quint16>(info + 14);
    const quint32 compression = qFromLittleEndian<quint32>(info + 16);

    // BITMAPINFOHEADER and its later versions; the old core header has no
    // compression field.
    if (infoSize < InfoHeaderSize || planes != 1 || (bits != 24 && bits != 32) ||
        compression != CompressionNone)
        return false;
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    if (width <= 0 || rows == 0 || rows > std::numeric_limits<qint32>::max())
        return false;
    const qint64 stride = ((qint64(width) * bits + 31) / 32) * 4;
    if (pixelOffset < FileHeaderSize + infoSize || qint64(pixelOffset) + stride * rows > fileSize)
        return false;

    layout->width = width;
    layout->height = int(rows);
    layout->bitsPerPixel = bits;
    layout->bottomUp = height > 0;
    layout->pixelOffset = pixelOffset;
    layout->stride = stride;
    return true;
}
