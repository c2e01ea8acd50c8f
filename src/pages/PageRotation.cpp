#include "pages/PageRotation.h"

#include "pages/GalleryLog.h"
#include "imaging/ImageFileReader.h"
#include "scanner/PageImageWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTransform>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <tiffio.h>
#include <turbojpeg.h>

namespace PageRotation {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PageImages", text);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The JFIF header right after the start of image: "JFIF\0", version, units,
// horizontal and vertical density. Returns the offset of the units byte, or -1.
int jfifUnitsOffset(const QByteArray &jpeg)
{
    if (jpeg.size() < 20 || uchar(jpeg[0]) != 0xFF || uchar(jpeg[1]) != 0xD8 ||
        uchar(jpeg[2]) != 0xFF || uchar(jpeg[3]) != 0xE0 ||
        jpeg.mid(6, 5) != QByteArray("JFIF\0", 5))
        return -1;
    return 13;
}

// Dots per metre from the JFIF density (dots per inch or per centimetre).
QSize jfifDotsPerMetre(const QByteArray &jpeg)
{
    const int at = jfifUnitsOffset(jpeg);
    if (at < 0)
        return {};
    const int units = uchar(jpeg[at]);
    const int x = (uchar(jpeg[at + 1]) << 8) | uchar(jpeg[at + 2]);
    const int y = (uchar(jpeg[at + 3]) << 8) | uchar(jpeg[at + 4]);
    if (units == 1)
        return QSize(qRound(x / 0.0254), qRound(y / 0.0254));
    if (units == 2)
        return QSize(x * 100, y * 100);
    return {};
}

void swapJfifDensity(QByteArray &jpeg)
{
    const int at = jfifUnitsOffset(jpeg);
    if (at < 0)
        return;
    for (int i = 1; i <= 2; ++i)
        std::swap(jpeg[at + i], jpeg[at + i + 2]);
}

// Lossless: only when the size is a whole number of blocks (TJXOPT_PERFECT),
// so no edge is dropped. Empty when the transform refuses.
QByteArray transformJpeg(const QByteArray &jpeg, int quarterTurns)
{
    tjhandle handle = tjInitTransform();
    if (!handle)
        return {};
    tjtransform transform{};
    transform.op = quarterTurns == 1   ? TJXOP_ROT90
                   : quarterTurns == 2 ? TJXOP_ROT180
                                       : TJXOP_ROT270;
    transform.options = TJXOPT_PERFECT;
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    QByteArray result;
    if (tjTransform(handle, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                    static_cast<unsigned long>(jpeg.size()), 1, &out, &outSize, &transform, 0) == 0)
        result = QByteArray(reinterpret_cast<const char *>(out), qsizetype(outSize));
    else
        qCDebug(lcGallery) << "lossless turn refused:" << tjGetErrorStr2(handle);
    tjFree(out);
    tjDestroy(handle);
    return result;
}

// Line art and the TIFF resolution, which the decoded picture does not carry.
struct TiffFacts
{
    bool lineArt = false;
    QSize dotsPerMetre;
};

TiffFacts tiffFacts(const QString &path)
{
    TiffFacts facts;
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tif)
        return facts;
    uint16_t bits = 8;
    uint16_t unit = RESUNIT_INCH;
    float x = 0;
    float y = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    facts.lineArt = bits == 1;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) {
        const double perMetre = unit == RESUNIT_CENTIMETER ? 100.0 : 1 / 0.0254;
        facts.dotsPerMetre = QSize(qRound(x * perMetre), qRound(y * perMetre));
    }
    TIFFClose(tif);
    return facts;
}

bool writeBytes(const QByteArray &bytes, const QString &path, QString *error)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()) {
        file.close();
        return true;
    }
    setError(error, tr("The file %1 could not be written: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    file.close();
    QFile::remove(path);
    return false;
}

// A name next to path, hidden, with path's extension so the writer keeps the format.
QString siblingName(const QString &path, const char *tag)
{
    const QFileInfo info(path);
    return info.dir().filePath(QLatin1Char('.') + info.completeBaseName() + QLatin1String(tag) +
                               QLatin1Char('.') + info.suffix());
}

} // namespace

bool rotateInto(const QString &source, const QString &target, int quarterTurns, bool *lossless,
                QString *error)
{
    quarterTurns = ((quarterTurns % 4) + 4) % 4;
    if (lossless)
        *lossless = false;
    const PageImageWriter::Format format = PageImageWriter::formatForPath(source);
    QByteArray jpeg;
    TiffFacts tiff;
    if (format == PageImageWriter::Format::Jpeg) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly)) {
            setError(error, tr("Unable to open file '%1'").arg(QDir::toNativeSeparators(source)));
            return false;
        }
        jpeg = file.readAll();
        QByteArray turned = quarterTurns == 0 ? jpeg : transformJpeg(jpeg, quarterTurns);
        if (!turned.isEmpty()) {
            if (quarterTurns % 2 == 1)
                swapJfifDensity(turned);
            if (lossless)
                *lossless = true;
            return writeBytes(turned, target, error);
        }
    } else if (format == PageImageWriter::Format::Tiff) {
        tiff = tiffFacts(source);
    }

    QImage image = ImageFileReader::read(source, error);
    if (image.isNull())
        return false;
    const QSize dpm = format == PageImageWriter::Format::Jpeg ? jfifDotsPerMetre(jpeg)
                      : format == PageImageWriter::Format::Tiff
                          ? tiff.dotsPerMetre
                          : QSize(image.dotsPerMeterX(), image.dotsPerMeterY());
    const bool lineArt = image.depth() == 1 || tiff.lineArt;
    if (image.depth() < 8)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    QImage turned = image.transformed(QTransform().rotate(90.0 * quarterTurns));
    if (lineArt)
        turned = turned.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    if (dpm.isValid() && !dpm.isEmpty()) {
        const bool swap = quarterTurns % 2 == 1;
        turned.setDotsPerMeterX(swap ? dpm.height() : dpm.width());
        turned.setDotsPerMeterY(swap ? dpm.width() : dpm.height());
    }
    return PageImageWriter::save(turned, target, error);
}

bool rotateFiles(const QStringList &files, int quarterTurns, QString *error)
{
    QStringList turned;
    const auto dropTurned = [&turned] {
        for (const QString &path : std::as_const(turned))
            QFile::remove(path);
    };
    for (const QString &file : files) {
        const QString target = siblingName(file, ".turning");
        QFile::remove(target);
        if (!rotateInto(file, target, quarterTurns, nullptr, error)) {
            dropTurned();
            return false;
        }
        turned.append(target);
    }
    // Each original steps aside under a second name and the turned copy takes its
    // place; on a failure the originals come back.
    QStringList kept;
    for (int i = 0; i < files.size(); ++i) {
        const QByteArray file = QFile::encodeName(files.at(i));
        const QByteArray aside = QFile::encodeName(siblingName(files.at(i), ".original"));
        const bool asideDone = std::rename(file.constData(), aside.constData()) == 0;
        if (!asideDone ||
            std::rename(QFile::encodeName(turned.at(i)).constData(), file.constData()) != 0) {
            setError(error, tr("The file %1 could not be replaced: %2")
                                .arg(QDir::toNativeSeparators(files.at(i)), systemReason()));
            if (asideDone)
                std::rename(aside.constData(), file.constData());
            for (int j = 0; j < kept.size(); ++j)
                std::rename(QFile::encodeName(kept.at(j)).constData(),
                            QFile::encodeName(files.at(j)).constData());
            dropTurned();
            return false;
        }
        kept.append(QString::fromLocal8Bit(aside));
    }
    for (const QString &aside : std::as_const(kept))
        QFile::remove(aside);
    return true;
}

} // namespace PageRotation
