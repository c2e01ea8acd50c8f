#include "gallery/Thumbnail.h"

#include "gallery/BoxResampler.h"
#include "gallery/GalleryLog.h"
#include "gallery/GalleryRules.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>
#include <cstring>
#include <limits>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

qint32 readInt32(const uchar *p)
{
    return qFromLittleEndian<qint32>(p);
}

// An uncompressed 24- or 32-bit BMP in a mapped file; anything else (palettes,
// bit fields, RLE, a truncated file) is left to Qt's reader: false then.
bool resampleMappedBmp(const uchar *data, qint64 size, const QSize &target, QImage &scaled)
{
    constexpr qint64 FileHeader = 14;
    constexpr qint64 InfoHeader = 40;
    if (size < FileHeader + InfoHeader || data[0] != 'B' || data[1] != 'M')
        return false;
    const qint64 offBits = quint32(readInt32(data + 10));
    const uchar *info = data + FileHeader;
    const qint32 headerSize = readInt32(info);
    const qint32 width = readInt32(info + 4);
    const qint32 height = readInt32(info + 8);
    const quint16 planes = qFromLittleEndian<quint16>(info + 12);
    const quint16 bitCount = qFromLittleEndian<quint16>(info + 14);
    const qint32 compression = readInt32(info + 16);
    if (headerSize < InfoHeader || planes != 1 || compression != 0 ||
        (bitCount != 24 && bitCount != 32))
        return false;
    if (width <= 0 || height == 0 || height == std::numeric_limits<qint32>::min())
        return false;
    const bool topDown = height < 0;
    const qint64 rows = topDown ? -qint64(height) : height;
    const qint64 stride = ((qint64(width) * bitCount + 31) / 32) * 4;
    if (offBits < FileHeader + headerSize || offBits + stride * rows > size)
        return false;

    const uchar *pixels = data + offBits;
    const auto rowAt = [=](int y) {
        const qint64 fileRow = topDown ? y : rows - 1 - y;
        return pixels + fileRow * stride;
    };
    scaled = BoxResampler::resample(
        width, int(rows),
        bitCount == 24 ? BoxResampler::Layout::Bgr24 : BoxResampler::Layout::Bgrx32, rowAt, target);
    return true;
}

} // namespace

namespace Thumbnail {

QImage cell(const QImage &scaled)
{
    QImage result(GalleryRules::CellWidth, GalleryRules::CellHeight, QImage::Format_RGB32);
    result.fill(Qt::white);
    if (scaled.isNull())
        return result;
    const QImage source = scaled.convertToFormat(QImage::Format_RGB32);
    const QPoint at = GalleryRules::thumbnailOffset(source.size());
    // Copied opaquely, clipped to the cell.
    const int left = qMax(0, at.x());
    const int right = qMin(result.width(), at.x() + source.width());
    const int top = qMax(0, at.y());
    const int bottom = qMin(result.height(), at.y() + source.height());
    if (left >= right)
        return result;
    for (int y = top; y < bottom; ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(source.constScanLine(y - at.y()));
        auto *to = reinterpret_cast<QRgb *>(result.scanLine(y));
        std::memcpy(to + left, from + (left - at.x()), size_t(right - left) * sizeof(QRgb));
    }
    return result;
}

QImage fromImage(const QImage &page, int w, int h)
{
    return cell(BoxResampler::resample(page, GalleryRules::thumbnailSize(w, h)));
}

QImage fromFile(const QString &path, int w, int h, QString *error)
{
    const QSize target = GalleryRules::thumbnailSize(w, h);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Unable to open file '%1'").arg(path));
        return QImage();
    }
    // Mapped, not read: an A4 page at 300 dpi is 26 MB that need no copy. The
    // working copy is the program's own file in its private folder.
    if (uchar *data = file.map(0, file.size())) {
        QImage scaled;
        const bool handled = resampleMappedBmp(data, file.size(), target, scaled);
        file.unmap(data);
        if (handled)
            return cell(scaled);
    }
    file.seek(0);

    qCDebug(lcGallery) << "decoding" << path << "through Qt's reader";
    QImageReader reader(&file);
    QImage page = reader.read();
    if (page.isNull()) {
        setError(error, QStringLiteral("Unable to read the picture in '%1': %2")
                            .arg(path, reader.errorString()));
        return QImage();
    }
    return cell(BoxResampler::resample(page, target));
}

} // namespace Thumbnail
