#include "imaging/TiffReader.h"

#include "imaging/ImagingLog.h"
#include "imaging/PageFile.h"
#include "imaging/PageLimits.h"

#include <QCoreApplication>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <tiffio.h>
#include <unistd.h>

namespace {

// The last libtiff error of one open file; each read owns its own, so
// several threads can read TIFF files at once.
struct Diagnostics
{
    QString lastError;
};

QString formatMessage(const char *module, const char *fmt, va_list ap)
{
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    QString message = QString::fromLocal8Bit(text);
    if (module && *module)
        message = QString::fromLocal8Bit(module) + QStringLiteral(": ") + message;
    return message;
}

int collectError(TIFF *, void *userData, const char *module, const char *fmt, va_list ap)
{
    auto *diagnostics = static_cast<Diagnostics *>(userData);
    diagnostics->lastError = formatMessage(module, fmt, ap);
    qCDebug(lcImaging) << "libtiff error:" << diagnostics->lastError;
    return 1; // handled: libtiff prints nothing
}

int collectWarning(TIFF *, void *, const char *module, const char *fmt, va_list ap)
{
    qCDebug(lcImaging) << "libtiff warning:" << formatMessage(module, fmt, ap);
    return 1;
}

// Messages that libtiff raises without a file handle (some codecs still do) go to
// the process-wide handlers, which would print to stderr.
void quietHandler(const char *module, const char *fmt, va_list ap)
{
    qCDebug(lcImaging) << "libtiff:" << formatMessage(module, fmt, ap);
}

void installQuietGlobalHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(quietHandler);
        TIFFSetWarningHandler(quietHandler);
    });
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString cannotOpen(const QString &path)
{
    return QCoreApplication::translate("PageImages", "Unable to open file '%1'").arg(path);
}

// libtiff's handle on the descriptor fd (closed by TIFFClose, or here when libtiff
// cannot open the file: not a TIFF at all), with messages collected into diagnostics.
TIFF *openTiff(int fd, const QString &path, Diagnostics *diagnostics)
{
    if (fd < 0)
        return nullptr;
    installQuietGlobalHandlers();
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, collectError, diagnostics);
    TIFFOpenOptionsSetWarningHandlerExtR(options, collectWarning, diagnostics);
    TIFF *tif = TIFFFdOpenExt(fd, path.toUtf8().constData(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        ::close(fd);
    return tif;
}

} // namespace

QImage TiffReader::read(const QString &path, QString *error, int frame)
{
    const QString cannotOpenText = cannotOpen(path);
    PageFile::Failure failure = PageFile::Failure::None;
    const int fd = PageFile::open(path, &failure);
    if (fd < 0) {
        setError(error, failure == PageFile::Failure::CannotOpen
                            ? cannotOpenText
                            : PageFile::refusalText(path, failure));
        return {};
    }

    Diagnostics diagnostics;
    TIFF *tif = openTiff(fd, path, &diagnostics);
    const auto fail = [&](const QString &reason) {
        QString text =
            QCoreApplication::translate("PageImages", "'%1' is not a readable TIFF image: %2")
                .arg(path, reason);
        if (!diagnostics.lastError.isEmpty() && diagnostics.lastError != reason)
            text += QStringLiteral(" (%1)").arg(diagnostics.lastError);
        setError(error, text);
        return QImage();
    };
    // What libtiff cannot open (not a TIFF at all) is reported as the open failure.
    if (!tif) {
        setError(error, cannotOpenText);
        return {};
    }
    if (frame > 0 && !TIFFSetDirectory(tif, tdir_t(frame))) {
        TIFFClose(tif);
        return fail(QStringLiteral("no page %1").arg(frame + 1));
    }

    uint32_t width = 0, height = 0;
    uint16_t extraSamples = 0;
    uint16_t *sampleInfo = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraSamples, &sampleInfo);

    // Bounded by the largest page, so that a damaged header cannot ask for more.
    if (width > 0x7fffffffu || height > 0x7fffffffu || !PageLimits::fits(width, height, 4)) {
        TIFFClose(tif);
        return fail(QStringLiteral("unsupported image size %1 x %2").arg(width).arg(height));
    }

    char reason[1024] = "";
    if (!TIFFRGBAImageOK(tif, reason)) {
        TIFFClose(tif);
        return fail(QString::fromLocal8Bit(reason));
    }

    const bool alpha = extraSamples > 0;
    // The RGBA raster is 32-bit words with red in the low byte, which is the byte
    // order R, G, B, A on little-endian machines; alpha comes premultiplied.
    QImage image(int(width), int(height),
                 alpha ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBX8888);
    if (image.isNull()) {
        TIFFClose(tif);
        return fail(QStringLiteral("not enough memory"));
    }
    Q_ASSERT(image.bytesPerLine() == qsizetype(width) * 4);
    auto *raster = reinterpret_cast<uint32_t *>(image.bits());
    // Stop at the first error: a cut or damaged strip must refuse the page, not
    // leave garbled or black rows in it. An error libtiff only reports (and reads
    // on after), here or while opening, counts as well.
    const int ok = TIFFReadRGBAImageOriented(tif, width, height, raster, ORIENTATION_TOPLEFT, 1);
    TIFFClose(tif);
    if (!ok || !diagnostics.lastError.isEmpty())
        return fail(diagnostics.lastError.isEmpty() ? QStringLiteral("cannot decode the image")
                                                    : diagnostics.lastError);

    if (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        const qsizetype count = qsizetype(width) * height;
        for (qsizetype i = 0; i < count; ++i) {
            const uint32_t p = raster[i];
            raster[i] = (p << 24) | ((p & 0xff00) << 8) | ((p >> 8) & 0xff00) | (p >> 24);
        }
    }
    return image;
}

int TiffReader::frameCount(const QString &path)
{
    Diagnostics diagnostics;
    PageFile::Failure failure = PageFile::Failure::None;
    TIFF *tif = openTiff(PageFile::open(path, &failure), path, &diagnostics);
    if (!tif)
        return 0;
    const int count = int(TIFFNumberOfDirectories(tif));
    TIFFClose(tif);
    return count;
}
