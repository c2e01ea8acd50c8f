#include "pages/Thumbnail.h"

#include "files/TempFolder.h"
#include "imaging/BmpLayout.h"
#include "imaging/PageLimits.h"
#include "imaging/TiffReader.h"
#include "pages/BoxResampler.h"
#include "pages/GalleryLog.h"
#include "pages/GalleryRules.h"

#include <QFile>
#include <QImageReader>
#include <cstring>
#include <limits>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// An uncompressed 24- or 32-bit BMP in a mapped file; anything else (palettes,
// bit fields, RLE, a truncated file) is left to Qt's reader: false then.
bool resampleMappedBmp(const uchar *data, qint64 size, const QSize &target, QImage &scaled)
{
    BmpLayout layout;
    if (!BmpLayout::parse(data, size, size, &layout))
        return false;
    const auto rowAt = [&layout, data](int y) { return data + layout.rowOffset(y); };
    scaled = BoxResampler::resample(layout.width, layout.height,
                                    layout.bitsPerPixel == 24 ? BoxResampler::Layout::Bgr24
                                                              : BoxResampler::Layout::Bgrx32,
                                    rowAt, target);
    return true;
}

} // namespace

namespace Thumbnail {

QSize defaultCell()
{
    return QSize(GalleryRules::CellWidth, GalleryRules::CellHeight);
}

QList<QSize> cellSteps()
{
    // Up to four times the usual cell: a page's layout is readable there.
    return {defaultCell(), QSize(160, 120), QSize(200, 150), QSize(300, 225), QSize(400, 300)};
}

QSize cellForWidth(int width)
{
    const QList<QSize> steps = cellSteps();
    QSize best = steps.first();
    for (const QSize &s : steps) {
        if (qAbs(s.width() - width) < qAbs(best.width() - width))
            best = s;
    }
    return best;
}

QSize zoomed(const QSize &cell, int steps)
{
    const QList<QSize> all = cellSteps();
    const int at = int(all.indexOf(cellForWidth(cell.width())));
    return all.at(qBound(0, at + steps, int(all.size()) - 1));
}

QSize devicePixels(const QSize &cell, qreal pixelRatio)
{
    if (pixelRatio <= 0)
        return cell;
    return QSize(qRound(cell.width() * pixelRatio), qRound(cell.height() * pixelRatio));
}

QImage cell(const QImage &scaled, const QSize &cellSize)
{
    QImage result(cellSize, QImage::Format_RGB32);
    result.fill(Qt::white);
    if (scaled.isNull())
        return result;
    const QImage source = scaled.convertToFormat(QImage::Format_RGB32);
    const QPoint at = GalleryRules::thumbnailOffset(source.size(), cellSize);
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

QImage fromImage(const QImage &page, int w, int h, const QSize &cellSize)
{
    return cell(BoxResampler::resample(page, GalleryRules::thumbnailSize(w, h, cellSize)),
                cellSize);
}

bool readable(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Unable to open file '%1'").arg(path));
        return false;
    }
    const QByteArray header = file.read(BmpLayout::HeadersSize);
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    BmpLayout layout;
    if (BmpLayout::parse(bytes, header.size(), file.size(), &layout))
        return true;
    if (BmpLayout::parse(bytes, header.size(), std::numeric_limits<qint64>::max(), &layout)) {
        setError(error, QStringLiteral("The picture in '%1' is damaged: the file ends "
                                       "before its last row")
                            .arg(path));
        return false;
    }
    // A compressed working copy: libtiff reads its first directory, not its pixels.
    if (header.startsWith(QByteArrayLiteral("II*\0")) ||
        header.startsWith(QByteArrayLiteral("MM\0*"))) {
        if (TiffReader::frameCount(path) > 0)
            return true;
        setError(error, QStringLiteral("Unable to read the picture in '%1'").arg(path));
        return false;
    }
    file.seek(0);
    QImageReader reader(&file);
    if (!reader.canRead() || !reader.size().isValid()) {
        setError(error, QStringLiteral("Unable to read the picture in '%1': %2")
                            .arg(path, reader.errorString()));
        return false;
    }
    return true;
}

QImage fromFile(const QString &path, int w, int h, QString *error, const QSize &cellSize)
{
    const QSize target = GalleryRules::thumbnailSize(w, h, cellSize);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Unable to open file '%1'").arg(path));
        return QImage();
    }
    // Mapped, not read: an A4 page at 300 dpi is 26 MB that need no copy. Only
    // the program's own files in its private folder: a user's file (an added
    // picture) cut short while mapped would end the program.
    QByteArray read;
    uchar *data = nullptr;
    if (TempFolder::holds(path)) {
        data = file.map(0, file.size());
    } else if (file.peek(2) == QByteArrayLiteral("BM")) {
        read = file.readAll();
        data = reinterpret_cast<uchar *>(read.data());
    }
    if (data) {
        const qint64 size = read.isNull() ? file.size() : read.size();
        QImage scaled;
        const bool handled = resampleMappedBmp(data, size, target, scaled);
        // A header whose rows would fit a longer file: the file was cut short.
        BmpLayout layout;
        const bool truncated =
            !handled && BmpLayout::parse(data, size, std::numeric_limits<qint64>::max(), &layout);
        if (read.isNull())
            file.unmap(data);
        if (handled)
            return cell(scaled, cellSize);
        if (truncated) {
            setError(error, QStringLiteral("The picture in '%1' is damaged: the file ends "
                                           "before its last row")
                                .arg(path));
            return QImage();
        }
    }
    file.seek(0);

    // The compressed working copies of added PDF pages and TIFF frames: Qt has no
    // TIFF reader of its own here.
    const QByteArray magic = file.peek(4);
    if (magic == QByteArrayLiteral("II*\0") || magic == QByteArrayLiteral("MM\0*")) {
        file.close();
        QString why;
        const QImage page = TiffReader::read(path, &why);
        if (page.isNull()) {
            setError(error,
                     QStringLiteral("Unable to read the picture in '%1': %2").arg(path, why));
            return QImage();
        }
        return cell(BoxResampler::resample(page, target), cellSize);
    }

    qCDebug(lcGallery) << "decoding" << path << "through Qt's reader";
    PageLimits::applyToQt();
    QImageReader reader(&file);
    QImage page = reader.read();
    if (page.isNull()) {
        setError(error, QStringLiteral("Unable to read the picture in '%1': %2")
                            .arg(path, reader.errorString()));
        return QImage();
    }
    return cell(BoxResampler::resample(page, target), cellSize);
}

} // namespace Thumbnail
