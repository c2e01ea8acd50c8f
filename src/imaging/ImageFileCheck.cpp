#include "imaging/ImageFileCheck.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QtEndian>

namespace {

constexpr qint64 FileHeaderSize = 14;
constexpr quint32 CoreHeaderSize = 12; // BITMAPCOREHEADER: 16-bit sides, no compression
constexpr quint32 InfoHeaderSize = 40; // BITMAPINFOHEADER and its later versions
enum Compression : quint32
{
    Rgb = 0,
    Rle8 = 1,
    Rle4 = 2,
    BitFields = 3,
    AlphaBitFields = 6
};

QString truncatedText(const QString &path)
{
    return QCoreApplication::translate("PageImages", "The file '%1' is damaged: it ends before "
                                                     "the end of the picture.")
        .arg(path);
}

// The number of bytes a BMP file must have at least for what its header says;
// -1 when the header is not one this check knows (the decoder judges then).
qint64 bmpRequiredSize(const QByteArray &header)
{
    if (header.size() < FileHeaderSize + 4 || !header.startsWith("BM"))
        return -1;
    const auto *data = reinterpret_cast<const uchar *>(header.constData());
    const quint32 pixelOffset = qFromLittleEndian<quint32>(data + 10);
    const uchar *info = data + FileHeaderSize;
    const quint32 infoSize = qFromLittleEndian<quint32>(info);
    // Cut inside the header it announces.
    if (header.size() < FileHeaderSize + qMin(infoSize, InfoHeaderSize))
        return FileHeaderSize + qint64(infoSize);
    qint64 width = 0, rows = 0;
    quint16 bits = 0;
    quint32 compression = Rgb, imageSize = 0;
    if (infoSize == CoreHeaderSize && header.size() >= FileHeaderSize + CoreHeaderSize) {
        width = qFromLittleEndian<quint16>(info + 4);
        rows = qFromLittleEndian<quint16>(info + 6);
        bits = qFromLittleEndian<quint16>(info + 10);
    } else if (infoSize >= InfoHeaderSize && header.size() >= FileHeaderSize + InfoHeaderSize) {
        width = qFromLittleEndian<qint32>(info + 4);
        rows = qAbs(qint64(qFromLittleEndian<qint32>(info + 8)));
        bits = qFromLittleEndian<quint16>(info + 14);
        compression = qFromLittleEndian<quint32>(info + 16);
        imageSize = qFromLittleEndian<quint32>(info + 20);
    } else {
        return -1;
    }
    // Pixels start at the offset, and never inside the headers.
    const qint64 headers = FileHeaderSize + infoSize;
    switch (compression) {
    case Rgb:
    case BitFields:
    case AlphaBitFields: {
        if (width <= 0 || bits == 0 || bits > 32)
            return -1;
        const qint64 stride = ((width * bits + 31) / 32) * 4;
        return qMax<qint64>(headers, pixelOffset) + stride * rows;
    }
    case Rle8:
    case Rle4:
        // Run-length data has no fixed size; the header's image size is all we know.
        return qMax<qint64>(headers, pixelOffset) + qMax<qint64>(imageSize, 1);
    default:
        return -1;
    }
}

} // namespace

namespace ImageFileCheck {

QString problem(QIODevice &file, const QString &path)
{
    const qint64 size = file.size();
    if (size == 0)
        return QCoreApplication::translate("PageImages", "The file '%1' is empty.").arg(path);
    const qint64 required = bmpRequiredSize(file.peek(FileHeaderSize + InfoHeaderSize));
    if (required > size)
        return truncatedText(path);
    return QString();
}

} // namespace ImageFileCheck
