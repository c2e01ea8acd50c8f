#include "pdf/ImageResolution.h"

#include "files/LocalFileName.h"

#include <QFile>
#include <QtEndian>
#include <cstdarg>
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

namespace {

constexpr double kInchesPerMetre = 39.3700787;

// Scanners write 50 to a few thousand dpi; anything outside is a broken header.
QSizeF plausible(double x, double y)
{
    if (!(x > 0) && !(y > 0))
        return {};
    if (!(x > 0))
        x = y;
    if (!(y > 0))
        y = x;
    if (x < 1 || y < 1 || x > 100000 || y > 100000)
        return {};
    return QSizeF(x, y);
}

quint32 be32(const uchar *p)
{
    return qFromBigEndian<quint32>(p);
}
quint16 be16(const uchar *p)
{
    return qFromBigEndian<quint16>(p);
}

QSizeF bmpResolution(const QByteArray &head)
{
    if (head.size() < 46)
        return {};
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    if (qFromLittleEndian<quint32>(p + 14) < 40) // an OS/2 header has no resolution
        return {};
    const qint32 x = qFromLittleEndian<qint32>(p + 38);
    const qint32 y = qFromLittleEndian<qint32>(p + 42);
    return plausible(x / kInchesPerMetre, y / kInchesPerMetre);
}

QSizeF pngResolution(const QByteArray &head)
{
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    qsizetype at = 8;
    while (at + 8 <= head.size()) {
        const quint32 length = be32(p + at);
        const QByteArray type = head.mid(at + 4, 4);
        if (type == "IDAT" || type == "IEND")
            break;
        if (type == "pHYs" && length == 9 && at + 17 <= head.size()) {
            if (p[at + 16] != 1) // unit unknown: an aspect ratio only
                return {};
            return plausible(be32(p + at + 8) / kInchesPerMetre,
                             be32(p + at + 12) / kInchesPerMetre);
        }
        at += 12 + qsizetype(length);
    }
    return {};
}

// The resolution tags of an Exif block's first directory (a TIFF structure of its
// own, in either byte order).
QSizeF exifResolution(const QByteArray &tiff)
{
    const auto *p = reinterpret_cast<const uchar *>(tiff.constData());
    const qsizetype size = tiff.size();
    if (size < 8)
        return {};
    const bool little = tiff.startsWith("II");
    if (!little && !tiff.startsWith("MM"))
        return {};
    const auto u16 = [&](qsizetype at) -> quint32 {
        return little ? qFromLittleEndian<quint16>(p + at) : qFromBigEndian<quint16>(p + at);
    };
    const auto u32 = [&](qsizetype at) -> quint32 {
        return little ? qFromLittleEndian<quint32>(p + at) : qFromBigEndian<quint32>(p + at);
    };
    const auto rational = [&](qsizetype entry) -> double {
        const qsizetype at = u32(entry + 8);
        if (u16(entry + 2) != 5 || at < 8 || at + 8 > size || u32(at + 4) == 0)
            return 0;
        return double(u32(at)) / u32(at + 4);
    };
    const qsizetype ifd = u32(4);
    if (ifd < 8 || ifd + 2 > size)
        return {};
    double x = 0, y = 0;
    quint32 unit = 2; // inches unless the file says otherwise
    const quint32 count = u16(ifd);
    for (quint32 i = 0; i < count && ifd + 2 + 12 * (i + 1) <= size; ++i) {
        const qsizetype entry = ifd + 2 + 12 * i;
        switch (u16(entry)) {
        case 0x011A:
            x = rational(entry);
            break;
        case 0x011B:
            y = rational(entry);
            break;
        case 0x0128:
            unit = u16(entry + 8);
            break;
        }
    }
    if (unit == 2)
        return plausible(x, y);
    if (unit == 3)
        return plausible(x * 2.54, y * 2.54);
    return {};
}

// JFIF density first, as every JPEG decoder reads it; Exif when JFIF is absent or
// gives only an aspect ratio (cameras and phones write Exif alone).
QSizeF jpegResolution(const QByteArray &head)
{
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    qsizetype at = 2;
    QSizeF exif;
    while (at + 4 <= head.size() && p[at] == 0xFF) {
        const uchar marker = p[at + 1];
        const quint16 length = be16(p + at + 2);
        if (marker == 0xDA || marker == 0xD9 || length < 2)
            break;
        if (marker == 0xE0 && length >= 14 && at + 16 <= head.size() &&
            head.mid(at + 4, 5) == QByteArray("JFIF\0", 5)) {
            const uchar units = p[at + 11];
            const double x = be16(p + at + 12), y = be16(p + at + 14);
            if (units == 1)
                return plausible(x, y);
            if (units == 2)
                return plausible(x * 2.54, y * 2.54);
        }
        if (marker == 0xE1 && exif.isEmpty() && length >= 16 &&
            head.mid(at + 4, 6) == QByteArray("Exif\0\0", 6))
            exif = exifResolution(head.mid(at + 10, length - 8));
        at += 2 + length;
    }
    return exif;
}

int quiet(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

QSizeF tiffResolution(const QString &path, int frame)
{
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
    TIFF *tif = TIFFOpenExt(LocalFileName::encode(path).constData(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        return {};
    QSizeF dpi;
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    if ((frame == 0 || TIFFSetDirectory(tif, tdir_t(frame))) &&
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x)) {
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y);
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
        if (unit == RESUNIT_INCH)
            dpi = plausible(x, y);
        else if (unit == RESUNIT_CENTIMETER)
            dpi = plausible(x * 2.54, y * 2.54);
    }
    TIFFClose(tif);
    return dpi;
}

bool isTiff(const QByteArray &head)
{
    return head.startsWith(QByteArrayLiteral("II*\0")) ||
           head.startsWith(QByteArrayLiteral("MM\0*")) ||
           head.startsWith(QByteArrayLiteral("II+\0")) ||
           head.startsWith(QByteArrayLiteral("MM\0+"));
}

} // namespace

namespace ImageResolution {

QSizeF fromHeader(const QByteArray &head)
{
    if (head.startsWith("BM"))
        return bmpResolution(head);
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return pngResolution(head);
    if (head.startsWith("\xFF\xD8"))
        return jpegResolution(head);
    return {};
}

QSizeF ofFile(const QString &path, int frame)
{
    // By the name's exact bytes, as the page itself is read.
    QFile file;
    const int fd = LocalFileName::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    const QByteArray head = file.read(64 * 1024);
    if (isTiff(head)) {
        file.close();
        return tiffResolution(path, frame);
    }
    return fromHeader(head);
}

} // namespace ImageResolution
