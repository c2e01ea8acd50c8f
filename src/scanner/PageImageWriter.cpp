#include "scanner/PageImageWriter.h"

#include "files/AtomicFile.h"
#include "i18n/SystemErrorText.h"
#include "imaging/JpegCodec.h"

#include <QBuffer>
#include <QFileInfo>
#include <QIODevice>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <cstring>
#include <thread>
#include <tiffio.h>
#include <vector>

namespace PageImageWriter {

namespace {

// The pixel layouts the writers take; anything else is converted once.
QImage writable(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_Grayscale8:
    case QImage::Format_Mono:
        return image;
    case QImage::Format_MonoLSB:
        return image.convertToFormat(QImage::Format_Mono);
    default:
        return image.allGray() ? image.convertToFormat(QImage::Format_Grayscale8)
                               : image.convertToFormat(QImage::Format_RGB888);
    }
}

int dotsPerInch(const QImage &image)
{
    return qRound(image.dotsPerMeterX() * 0.0254);
}

// Line art whose bit 1 is the dark colour (SANE's convention and ours).
bool oneIsBlack(const QImage &mono)
{
    const QList<QRgb> table = mono.colorTable();
    if (table.size() < 2)
        return false;
    return qGray(table.at(1)) < qGray(table.at(0));
}

template<typename T>
void put(std::vector<uchar> &out, T value)
{
    T le = qToLittleEndian(value);
    const auto *p = reinterpret_cast<const uchar *>(&le);
    out.insert(out.end(), p, p + sizeof(T));
}

// RGB to BGR or back. Four pixels at a time through 32-bit words, which compilers
// turn into a few shifts and masks per 12 bytes.
void swapRedBlue(const uchar *in, uchar *out, int width)
{
    int x = 0;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    for (; x + 4 <= width; x += 4, in += 12, out += 12) {
        // Little-endian words: a = r0 g0 b0 r1, b = g1 b1 r2 g2, c = b2 r3 g3 b3.
        quint32 a, b, c;
        std::memcpy(&a, in, 4);
        std::memcpy(&b, in + 4, 4);
        std::memcpy(&c, in + 8, 4);
        const quint32 oa = ((a >> 16) & 0xffu) | (a & 0xff00u) | ((a & 0xffu) << 16) |
                           ((b & 0xff00u) << 16); // b0 g0 r0 b1
        const quint32 ob = (b & 0xffu) | ((a >> 16) & 0xff00u) | ((c & 0xffu) << 16) |
                           (b & 0xff000000u); // g1 r1 b2 g2
        const quint32 oc = ((b >> 16) & 0xffu) | ((c >> 16) & 0xff00u) | (c & 0xff0000u) |
                           ((c & 0xff00u) << 16); // r2 b3 g3 r3
        std::memcpy(out, &oa, 4);
        std::memcpy(out + 4, &ob, 4);
        std::memcpy(out + 8, &oc, 4);
    }
#endif
    for (; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

// --- libtiff over a QIODevice ---
tsize_t tiffRead(thandle_t h, tdata_t buf, tsize_t size)
{
    return tsize_t(static_cast<QIODevice *>(h)->read(static_cast<char *>(buf), size));
}
tsize_t tiffWrite(thandle_t h, tdata_t buf, tsize_t size)
{
    return tsize_t(static_cast<QIODevice *>(h)->write(static_cast<const char *>(buf), size));
}
toff_t tiffSeek(thandle_t h, toff_t offset, int whence)
{
    auto *d = static_cast<QIODevice *>(h);
    qint64 pos = qint64(offset);
    if (whence == SEEK_CUR)
        pos += d->pos();
    else if (whence == SEEK_END)
        pos += d->size();
    return d->seek(pos) ? toff_t(d->pos()) : toff_t(-1);
}
int tiffClose(thandle_t)
{
    return 0;
}
toff_t tiffSize(thandle_t h)
{
    return toff_t(static_cast<QIODevice *>(h)->size());
}
int tiffMap(thandle_t, tdata_t *, toff_t *)
{
    return 0;
}
void tiffUnmap(thandle_t, tdata_t, toff_t)
{
}

} // namespace

Format formatForPath(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("bmp"))
        return Format::Bmp;
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return Format::Jpeg;
    if (ext == QLatin1String("tif") || ext == QLatin1String("tiff"))
        return Format::Tiff;
    return Format::Unknown;
}

bool writeBmp(const QImage &source, QIODevice *device)
{
    const QImage img = writable(source);
    const int w = img.width(), h = img.height();
    const bool rgb = img.format() == QImage::Format_RGB888;
    const int bits = rgb || img.format() == QImage::Format_BGR888 ? 24
                     : img.format() == QImage::Format_Mono        ? 1
                                                                  : 8;
    const int colors = bits == 24 ? 0 : bits == 8 ? 256 : 2;
    const qint64 rowBytes = ((qint64(w) * bits + 31) / 32) * 4;
    const qint64 headerBytes = 14 + 40 + 4 * colors;
    const qint64 fileBytes = headerBytes + rowBytes * h;
    if (w <= 0 || h <= 0 || fileBytes > 0xffffffffLL)
        return false;

    std::vector<uchar> header;
    header.reserve(size_t(headerBytes));
    header.push_back('B');
    header.push_back('M');
    put<quint32>(header, quint32(fileBytes));
    put<quint32>(header, 0);
    put<quint32>(header, quint32(headerBytes));
    put<quint32>(header, 40);
    put<qint32>(header, w);
    put<qint32>(header, h); // positive: rows bottom-up, what every reader accepts
    put<quint16>(header, 1);
    put<quint16>(header, quint16(bits));
    put<quint32>(header, 0); // BI_RGB
    put<quint32>(header, quint32(rowBytes * h));
    put<qint32>(header, img.dotsPerMeterX());
    put<qint32>(header, img.dotsPerMeterY());
    put<quint32>(header, quint32(colors));
    put<quint32>(header, 0);
    if (bits == 8) {
        for (int i = 0; i < 256; ++i)
            put<quint32>(header, quint32(i) * 0x010101u);
    } else if (bits == 1) {
        const QList<QRgb> table = img.colorTable();
        for (int i = 0; i < 2; ++i)
            put<quint32>(header,
                         (i < table.size() ? table.at(i) : (i ? 0xffffffu : 0u)) & 0xffffffu);
    }
    if (device->write(reinterpret_cast<const char *>(header.data()), qint64(header.size())) !=
        qint64(header.size()))
        return false;

    // Rows go out in blocks of about 1 MiB (measured fastest against cp); QImage rows
    // are 32-bit aligned like BMP rows.
    const int rowsPerBlock = int(qMax<qint64>(1, (1 << 20) / rowBytes));
    std::vector<uchar> block(size_t(rowBytes * rowsPerBlock), 0);
    for (int y = h - 1; y >= 0;) {
        int n = 0;
        for (; n < rowsPerBlock && y >= 0; ++n, --y) {
            uchar *out = block.data() + n * rowBytes;
            const uchar *in = img.constScanLine(y);
            if (rgb) {
                swapRedBlue(in, out, w); // BMP stores blue first
            } else {
                // Only the pixels: QImage's row padding is undefined, the file's is zero.
                const size_t used = size_t((qint64(w) * bits + 7) / 8);
                std::memcpy(out, in, used);
                std::memset(out + used, 0, size_t(rowBytes) - used);
            }
        }
        const qint64 bytes = n * rowBytes;
        if (device->write(reinterpret_cast<const char *>(block.data()), bytes) != bytes)
            return false;
    }
    return true;
}

// Rows [first, first + count) in the file's sample order (RGB or gray), as one
// block: the predictor differences rows in place, so libtiff gets a copy.
QByteArray stripRows(const QImage &img, bool bgr, int first, int count, qsizetype rowBytes)
{
    QByteArray rows(count * rowBytes, Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(rows.data());
    for (int y = 0; y < count; ++y, out += rowBytes) {
        if (bgr)
            swapRedBlue(img.constScanLine(first + y), out, img.width());
        else
            std::memcpy(out, img.constScanLine(first + y), size_t(rowBytes));
    }
    return rows;
}

// Compresses one strip exactly as libtiff would inside the page file (LZW with
// the horizontal predictor restarts at every strip), by writing it as the only
// strip of a small in-memory TIFF and taking its bytes back out.
bool encodeLzwStrip(const QImage &img, bool color, bool bgr, int first, int count,
                    qsizetype rowBytes, QByteArray *strip)
{
    QByteArray rows = stripRows(img, bgr, first, count, rowBytes);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    TIFF *t = TIFFClientOpen("strip", "w", static_cast<thandle_t>(&buffer), tiffRead, tiffWrite,
                             tiffSeek, tiffClose, tiffSize, tiffMap, tiffUnmap);
    if (!t)
        return false;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(img.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(count));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, color ? 3 : 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, color ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(count));
    bool ok = TIFFWriteEncodedStrip(t, 0, rows.data(), rows.size()) >= 0;
    uint64_t *offsets = nullptr;
    uint64_t *sizes = nullptr;
    ok = ok && TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) == 1 &&
         TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &sizes) == 1 && offsets && sizes;
    if (ok) {
        const QByteArray &data = buffer.data();
        ok = offsets[0] + sizes[0] <= uint64_t(data.size());
        if (ok)
            *strip = data.mid(qsizetype(offsets[0]), qsizetype(sizes[0]));
    }
    TIFFClose(t);
    return ok;
}

// Colour and gray pages: the strips are compressed on all cores, then written
// in order. LZW is the slow part of a TIFF page, and strips are independent.
bool writeLzwStrips(TIFF *tif, const QImage &img, bool color, bool bgr, qsizetype rowBytes,
                    int rowsPerStrip)
{
    const int stripCount = (img.height() + rowsPerStrip - 1) / rowsPerStrip;
    std::vector<QByteArray> strips(static_cast<size_t>(stripCount));
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (int s = next++; s < stripCount && !failed; s = next++) {
            const int first = s * rowsPerStrip;
            const int count = qMin(rowsPerStrip, img.height() - first);
            if (!encodeLzwStrip(img, color, bgr, first, count, rowBytes, &strips[size_t(s)]))
                failed = true;
        }
    };
    const int workers = qBound(1, QThread::idealThreadCount(), stripCount);
    std::vector<std::thread> threads;
    for (int i = 1; i < workers; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread &t : threads)
        t.join();
    if (failed)
        return false;
    for (int s = 0; s < stripCount; ++s) {
        QByteArray &strip = strips[size_t(s)];
        if (TIFFWriteRawStrip(tif, uint32_t(s), strip.data(), strip.size()) < 0)
            return false;
        strip.clear(); // give the memory back as the file grows
    }
    return true;
}

bool writeTiff(const QImage &source, QIODevice *device)
{
    const QImage img = writable(source);
    TIFF *tif = TIFFClientOpen("page", "w", static_cast<thandle_t>(device), tiffRead, tiffWrite,
                               tiffSeek, tiffClose, tiffSize, tiffMap, tiffUnmap);
    if (!tif)
        return false;
    const bool mono = img.format() == QImage::Format_Mono;
    const bool bgr = img.format() == QImage::Format_BGR888;
    const bool color = img.format() == QImage::Format_RGB888 || bgr;
    const int dpi = dotsPerInch(img);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(img.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(img.height()));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, mono ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, color ? 3 : 1);
    int rowsPerStrip = img.height();
    if (mono) {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     oneIsBlack(img) ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, color ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        // Strips of about 256 KiB: fewer codec restarts than libtiff's 8 KiB default.
        const qsizetype rowBytes = qMax<qsizetype>(1, TIFFScanlineSize(tif));
        rowsPerStrip = int(qBound<qsizetype>(1, (256 << 10) / rowBytes, qsizetype(img.height())));
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rowsPerStrip));
    if (dpi > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(dpi));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(dpi));
    }
    const qsizetype rowBytes = TIFFScanlineSize(tif);
    bool ok = rowBytes > 0 && rowBytes <= img.bytesPerLine();
    if (ok && !mono) {
        ok = writeLzwStrips(tif, img, color, bgr, rowBytes, rowsPerStrip);
    } else if (ok) {
        std::vector<uchar> row(static_cast<size_t>(rowBytes));
        for (int y = 0; y < img.height() && ok; ++y) {
            std::memcpy(row.data(), img.constScanLine(y), size_t(rowBytes));
            ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
        }
    }
    ok = ok && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    return ok;
}

namespace {

// Encodes image into a new hidden file next to path, ready to be committed.
bool writeInto(const QImage &image, const QString &path, AtomicFile &file, QString *error)
{
    auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const Format format = formatForPath(path);
    if (format == Format::Unknown)
        return failed(QStringLiteral("Unknown file type: %1").arg(path));
    if (image.isNull())
        return failed(QStringLiteral("No image"));

    QByteArray jpeg;
    if (format == Format::Jpeg) {
        JpegCodec::EncodeOptions options;
        options.quality = kJpegQuality;
        options.dotsPerInch = dotsPerInch(image);
        QString why;
        jpeg = JpegCodec::encode(image, options, &why);
        if (jpeg.isEmpty())
            return failed(why);
    }
    if (!file.open())
        return failed(file.errorString());
    bool ok = false;
    switch (format) {
    case Format::Bmp:
        ok = writeBmp(image, &file.file());
        break;
    case Format::Jpeg:
        ok = file.file().write(jpeg) == jpeg.size();
        break;
    case Format::Tiff:
        ok = writeTiff(image, &file.file());
        break;
    case Format::Unknown:
        break;
    }
    if (!ok)
        return failed(SystemErrorText::afterFailedWrite(file.file()));
    return true;
}

} // namespace

bool save(const QImage &image, const QString &path, QString *error)
{
    AtomicFile file(path);
    if (!writeInto(image, path, file, error))
        return false;
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

std::unique_ptr<AtomicFile> writeNew(const QImage &image, const QString &path, QString *error)
{
    auto file = std::make_unique<AtomicFile>(path);
    if (!writeInto(image, path, *file, error))
        return nullptr;
    file->startWriteback();
    return file;
}

bool commitNew(AtomicFile &file, const QString &path, const NextName &nextName, QString *finalPath,
               QString *error)
{
    QString name = path;
    bool ok = file.commitAs(name);
    // Each clash gives the next name; the written file stays until one is free.
    while (!ok && file.clashed() && nextName) {
        name = nextName(name);
        if (name.isEmpty())
            break;
        ok = file.commitAs(name);
    }
    if (!ok) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (finalPath)
        *finalPath = name;
    return true;
}

bool saveNew(const QImage &image, const QString &path, const NextName &nextName, QString *finalPath,
             QString *error)
{
    const std::unique_ptr<AtomicFile> file = writeNew(image, path, error);
    return file && commitNew(*file, path, nextName, finalPath, error);
}

} // namespace PageImageWriter
