#include "imaging/TiffReader.h"

#include "imaging/ImagingLog.h"

#include <QFile>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <tiffio.h>

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

} // namespace

QImage TiffReader::read(const QString &path, QString *error)
{
    installQuietGlobalHandlers();

    const QString cannotOpen = QStringLiteral("Unable to open file '%1'").arg(path);
    QFile probe(path);
    if (path.isEmpty() || !probe.open(QIODevice::ReadOnly)) {
        setError(error, cannotOpen);
        return {};
    }
    probe.close();

    Diagnostics diagnostics;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, collectError, &diagnostics);
    TIFFOpenOptionsSetWarningHandlerExtR(options, collectWarning, &diagnostics);
    TIFF *tif = TIFFOpenExt(QFile::encodeName(path).constData(), "r", options);
    TIFFOpenOptionsFree(options);

    const auto fail = [&](const QString &reason) {
        QString text = QStringLiteral("'%1' is not a readable TIFF image: %2").arg(path, reason);
        if (!diagnostics.lastError.isEmpty() && diagnostics.lastError != reason)
            text += QStringLiteral(" (%1)").arg(diagnostics.lastError);
        setError(error, text);
        return QImage();
    };
    // What libtiff cannot open (not a TIFF at all) is reported as the open failure.
    if (!tif) {
        setError(error, cannotOpen);
        return {};
    }

    uint32_t width = 0, height = 0;
    uint16_t extraSamples = 0;
    uint16_t *sampleInfo = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraSamples, &sampleInfo);

    // Bounded so that a damaged header cannot ask for gigabytes.
    constexpr quint64 kMaxPixels = quint64(1) << 28;
    if (width == 0 || height == 0 || width > 0x7fffffffu || height > 0x7fffffffu ||
        quint64(width) * height > kMaxPixels) {
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
    const int ok = TIFFReadRGBAImageOriented(tif, width, height, raster, ORIENTATION_TOPLEFT, 0);
    TIFFClose(tif);
    if (!ok)
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
