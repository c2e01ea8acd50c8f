#include "pages/FreeSpace.h"

#include "pages/PageImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStorageInfo>
#include <cmath>

namespace FreeSpace {

namespace {

int bitsPerPixel(int pixelType)
{
    return pixelType == 0 ? 1 : pixelType == 1 ? 8 : 24;
}

// An uncompressed BMP as the page writer makes it: rows padded to four bytes,
// headers and a palette for gray and line art.
qint64 bmpBytes(const QSize &pixels, int pixelType)
{
    const qint64 row = (qint64(pixels.width()) * bitsPerPixel(pixelType) + 31) / 32 * 4;
    const qint64 palette = pixelType == 0 ? 8 : pixelType == 1 ? 1024 : 0;
    return 54 + palette + row * pixels.height();
}

struct Room
{
    QString folder;
    QStorageInfo storage;
    qint64 needed = 0;
};

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1);
}

} // namespace

qint64 pageFileBytes(const QSize &pixels, int pixelType, const QString &extension)
{
    const QString ext = extension.toLower();
    const qint64 area = qint64(pixels.width()) * pixels.height();
    // A scanned page at quality 85 rarely needs more than two bits a pixel in
    // colour, one in gray.
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return 1024 + (pixelType == 2 ? area / 4 : area / 8);
    // Lossless compression of a scan's noise gains little: counted whole.
    if (ext == QLatin1String("tif") || ext == QLatin1String("tiff"))
        return 1024 + area * bitsPerPixel(pixelType) / 8;
    return bmpBytes(pixels, pixelType);
}

qint64 workingCopyBytes(const QSize &pixels, int pixelType)
{
    return bmpBytes(pixels, pixelType);
}

QSize pixelsOf(double widthInches, double heightInches, int dpi)
{
    return QSize(int(std::ceil(widthInches * dpi)), int(std::ceil(heightInches * dpi)));
}

qint64 compressedCopyBytes(const QSize &pixels)
{
    return 1024 + bmpBytes(pixels, 2) * 2 / 3;
}

qint64 importBytes(const QStringList &files, int pages)
{
    qint64 bytes = 0;
    for (const QString &file : files) {
        if (pages <= 0)
            break;
        const QByteArray format = PageImport::formatOf(file);
        if (format.isEmpty())
            continue; // refused later, with its own reason
        --pages;
        if (format != "pdf" && format != "tiff" && format != "jpeg")
            continue; // its own working copy
        // Counted as A4 at 300 dpi: the importer checks each file's own size again.
        bytes += compressedCopyBytes(pixelsOf(8.27, 11.69, 300));
    }
    return bytes;
}

QString shortfall(const QString &destination, qint64 pageFile, const QString &tempFolder,
                  qint64 workingCopy, int pages)
{
    QList<Room> rooms;
    const auto need = [&rooms](const QString &folder, qint64 bytes) {
        if (folder.isEmpty() || bytes <= 0)
            return;
        const QStorageInfo storage(folder);
        for (Room &room : rooms) {
            if (storage.isValid() && room.storage.isValid() &&
                storage.rootPath() == room.storage.rootPath() &&
                storage.device() == room.storage.device()) {
                room.needed += bytes;
                return;
            }
        }
        rooms.append({folder, storage, bytes});
    };
    need(destination, pageFile * pages);
    need(tempFolder, workingCopy * pages);
    for (const Room &room : std::as_const(rooms)) {
        const qint64 free =
            room.storage.isValid() && room.storage.isReady() ? room.storage.bytesAvailable() : -1;
        if (free < 0 || free >= room.needed)
            continue;
        return QCoreApplication::translate(
                   "FreeSpace",
                   "There is not enough free space in the folder %1 for the pages: about %2 "
                   "is needed, %3 is free, %4 is missing. Free some space or choose another "
                   "folder.",
                   "notEnoughSpace")
            .arg(QDir::toNativeSeparators(room.folder), sizeText(room.needed), sizeText(free),
                 sizeText(room.needed - free));
    }
    return QString();
}

} // namespace FreeSpace
