#include "pdf/ImageResolution.h"

#include "files/LocalFileName.h"

#include <QFile>
#include <QtEndian>
#include <cstdarg>
#include <tiffio.h>

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

QSizeF jpegResolution(const QByteArray &head)
{
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    qsizetype at = 2;
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
            return {};
        }
        at += 2 + length;
    }
    return {};
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(64 * 1024);
    if (isTiff(head)) {
        file.close();
        return tiffResolution(path, frame);
    }
    return fromHeader(head);
}

} // namespace ImageResolution
