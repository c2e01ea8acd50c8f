#include "pdf/ArchivalPage.h"

#include "imaging/ImageFileReader.h"
#include "imaging/JpegCheck.h"
#include "imaging/JpegCodec.h"
#include "pdf/CcittG4.h"
#include "pdf/ImageResolution.h"
#include "pdf/JpegHeader.h"
#include "pdf/PdfPageSource.h"

#include <QFileInfo>
#include <QPainter>
#include <QSet>
#include <cstring>
#include <limits>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

enum class Kind
{
    BlackWhite,
    Gray,
    Colour
};

// Every pixel decides: a page is black and white or gray only when all of it is.
Kind kindOf(const QImage &rgb)
{
    bool blackWhite = true;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = row[x];
            const int r = qRed(p);
            if (r != qGreen(p) || r != qBlue(p))
                return Kind::Colour;
            if (r != 0 && r != 255)
                blackWhite = false;
        }
    }
    return blackWhite ? Kind::BlackWhite : Kind::Gray;
}

// The cheap test: scans, photographs and shaded pictures show many different values
// in a coarse sample, and JPEG is far smaller for them; only pages of few values
// (text, drawings, rendered pages) are worth a lossless try as well.
bool looksPhotographic(const QImage &rgb, Kind kind)
{
    const int stepX = qMax(1, rgb.width() / 96), stepY = qMax(1, rgb.height() / 96);
    const int limit = kind == Kind::Gray ? 64 : 256;
    QSet<QRgb> seen;
    for (int y = 0; y < rgb.height(); y += stepY) {
        const auto *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); x += stepX) {
            seen.insert(row[x] & 0xFFFFFF);
            if (seen.size() >= limit)
                return true;
        }
    }
    return false;
}

QByteArray packedBlackWhite(const QImage &rgb)
{
    const int stride = (rgb.width() + 7) / 8;
    QByteArray rows(qsizetype(stride) * rgb.height(), '\0');
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        auto *out = reinterpret_cast<uchar *>(rows.data()) + qsizetype(y) * stride;
        for (int x = 0; x < rgb.width(); ++x) {
            if (qBlue(in[x]) == 0)
                out[x >> 3] |= uchar(0x80 >> (x & 7));
        }
    }
    return rows;
}

void unpackRow(const QImage &rgb, int y, int components, uchar *out)
{
    const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) {
        if (components == 1) {
            *out++ = uchar(qBlue(in[x]));
        } else {
            *out++ = uchar(qRed(in[x]));
            *out++ = uchar(qGreen(in[x]));
            *out++ = uchar(qBlue(in[x]));
        }
    }
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = qAbs(p - a), pb = qAbs(p - b), pc = qAbs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Rows as PNG filters them, each after its filter type, the filter picked per row
// by the smallest sum of magnitudes (as PNG encoders do): drawings and rendered
// pages shrink far more under Flate than their raw samples would.
QByteArray predictedSamples(const QImage &rgb, int components)
{
    const qsizetype rowBytes = qsizetype(rgb.width()) * components;
    QByteArray samples((rowBytes + 1) * rgb.height(), Qt::Uninitialized);
    QByteArray previous(rowBytes, '\0'), current(rowBytes, '\0');
    QByteArray candidates[5];
    for (QByteArray &c : candidates)
        c.resize(rowBytes);
    for (int y = 0; y < rgb.height(); ++y) {
        unpackRow(rgb, y, components, reinterpret_cast<uchar *>(current.data()));
        const auto *raw = reinterpret_cast<const uchar *>(current.constData());
        const auto *up = reinterpret_cast<const uchar *>(previous.constData());
        int best = 0;
        qint64 bestCost = std::numeric_limits<qint64>::max();
        for (int type = 0; type < 5; ++type) {
            auto *out = reinterpret_cast<uchar *>(candidates[type].data());
            qint64 cost = 0;
            for (qsizetype i = 0; i < rowBytes; ++i) {
                const int a = i >= components ? raw[i - components] : 0;
                const int b = up[i];
                const int c = i >= components ? up[i - components] : 0;
                const int predictor = type == 0   ? 0
                                      : type == 1 ? a
                                      : type == 2 ? b
                                      : type == 3 ? (a + b) / 2
                                                  : paeth(a, b, c);
                out[i] = uchar(raw[i] - predictor);
                cost += qAbs(int(qint8(out[i])));
            }
            if (cost < bestCost) {
                bestCost = cost;
                best = type;
            }
        }
        char *row = samples.data() + qsizetype(y) * (rowBytes + 1);
        row[0] = char(best);
        std::memcpy(row + 1, candidates[best].constData(), size_t(rowBytes));
        std::swap(previous, current);
    }
    return samples;
}

// zlib's best level: on predicted rows of few values it costs little more time
// than the default and saves a few per cent.
QByteArray flate(const QByteArray &samples)
{
    QByteArray z = qCompress(samples, 9);
    z.remove(0, 4); // Qt's own length prefix; the rest is the zlib stream
    return z;
}

// Converted in place where Qt can (a decoded TIFF's RGBX is): an A4 page is 35 MB.
QImage opaqueRgb(QImage image)
{
    if (!image.hasAlphaChannel())
        return std::move(image).convertToFormat(QImage::Format_RGB32);
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

bool isJpeg(const QString &path, const QByteArray &data)
{
    static const QStringList suffixes = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                         QStringLiteral("jpe"), QStringLiteral("jfif")};
    return data.startsWith("\xFF\xD8") ||
           suffixes.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

void setResolution(PdfImage &page, const QSizeF &dpi)
{
    if (dpi.isEmpty())
        return; // 72 dpi, one pixel per point
    page.dpiX = dpi.width();
    page.dpiY = dpi.height();
}

} // namespace

namespace ArchivalPage {

PdfImage encode(QImage image, QString *error)
{
    PdfImage page;
    if (image.isNull()) {
        setError(error, QStringLiteral("Cannot store an empty image"));
        return page;
    }
    const QImage rgb = opaqueRgb(std::move(image));
    page.width = rgb.width();
    page.height = rgb.height();
    const Kind kind = kindOf(rgb);
    if (kind == Kind::BlackWhite) {
        page.components = 1;
        page.filter = PdfImage::Filter::Ccitt;
        page.data = CcittG4::encode(packedBlackWhite(rgb), rgb.width(), rgb.height());
        if (page.data.isEmpty())
            setError(error, QStringLiteral("Group 4 encoding failed"));
        return page;
    }

    page.components = kind == Kind::Gray ? 1 : 3;
    QString reason;
    JpegCodec::EncodeOptions options;
    options.quality = 75; // the page quality of every PDF the program writes
    options.optimizeCoding = true;
    const QImage source = kind == Kind::Gray ? rgb.convertToFormat(QImage::Format_Grayscale8) : rgb;
    page.filter = PdfImage::Filter::Dct;
    page.data = JpegCodec::encode(source, options, &reason);
    if (page.data.isEmpty()) {
        setError(error, reason);
        return page;
    }
    if (!looksPhotographic(rgb, kind)) {
        QByteArray lossless = flate(predictedSamples(rgb, page.components));
        if (!lossless.isEmpty() && lossless.size() <= page.data.size()) {
            page.filter = PdfImage::Filter::Flate;
            page.pngPredicted = true;
            page.data = std::move(lossless);
        }
    }
    return page;
}

bool fromFile(const QString &path, int frame, PdfImage &page, QImage *decoded, QString *error)
{
    QByteArray data;
    if (!PdfPageSource::readFile(path, data, error))
        return false;

    if (isJpeg(path, data)) {
        const QSizeF dpi = ImageResolution::fromHeader(data.left(64 * 1024));
        JpegFrameInfo info;
        const JpegHeaderStatus header =
            ReadJPEGHeader(reinterpret_cast<const std::uint8_t *>(data.constData()),
                           std::size_t(data.size()), info);
        QString reason;
        if (header != JpegHeaderStatus::Ok) {
            setError(error, QStringLiteral("'%1': %2")
                                .arg(path, QString::fromLatin1(jpegHeaderStatusText(header))));
            return false;
        }
        if (!JpegCheck::decodes(data, &reason)) {
            setError(error, QStringLiteral("'%1': %2").arg(path, reason));
            return false;
        }
        // An archive's output intent is RGB: CMYK pictures are converted
        // (the decoder knows which files store CMYK inverted).
        const bool cmyk = info.components == 4;
        if (cmyk || decoded) {
            QImage image = JpegCodec::decode(data, &reason);
            if (image.isNull()) {
                setError(error, QStringLiteral("'%1': %2").arg(path, reason));
                return false;
            }
            if (cmyk) {
                page = encode(image, &reason);
                if (page.data.isEmpty()) {
                    setError(error, QStringLiteral("'%1': %2").arg(path, reason));
                    return false;
                }
            }
            if (decoded)
                *decoded = std::move(image);
        }
        if (!cmyk) {
            page = PdfImage();
            page.width = info.width;
            page.height = info.height;
            page.components = info.components;
            page.filter = PdfImage::Filter::Dct;
            // The file's own coefficients, so its pixels exactly, in fewer bytes.
            page.data = JpegCodec::optimizedCoding(data);
        }
        setResolution(page, dpi);
        return true;
    }

    const QSizeF dpi = data.startsWith("II") || data.startsWith("MM")
                           ? ImageResolution::ofFile(path, frame)
                           : ImageResolution::fromHeader(data.left(64 * 1024));
    data.clear();
    QImage image = ImageFileReader::read(path, error, frame);
    if (image.isNull())
        return false;
    QString reason;
    if (decoded)
        *decoded = image;
    page = encode(std::move(image), &reason); // the only copy unless recognised
    if (page.data.isEmpty()) {
        setError(error, QStringLiteral("'%1': %2").arg(path, reason));
        return false;
    }
    setResolution(page, dpi);
    return true;
}

} // namespace ArchivalPage
