// Damaged page images are refused by every reader of pages: the generic reader,
// the preview window's loader, the PDF export and pagora-pdf. Each gets a message
// naming the file and writes nothing; the whole files they were cut from pass, and
// so does the largest page the program can scan in every format, recognition
// included. What no scan could be (far too large, not a picture at all) is refused
// without being read whole.
#include "PdfTestSupport.h"
#include "pages/PagePicture.h"
#include "imaging/ImageFileReader.h"
#include "imaging/JpegCodec.h"
#include "imaging/PageLimits.h"
#include "ocr/OcrEngine.h"
#include "pdf/PdfExport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <tiffio.h>

using namespace PdfTestSupport;

namespace {

QImage pattern(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 90));
    return image.convertToFormat(format);
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

void putLe(QByteArray &bytes, int at, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xff);
}

// An 8-bit gray TIFF written by hand with every directory before its pixels, as
// many writers lay files out: cutting the file keeps the directory and cuts the
// pixel data. Strips of ten rows (height a multiple of ten); frames are w x height
// with w from widths.
QByteArray grayTiff(const QList<int> &widths, int height)
{
    constexpr int Entries = 9;
    constexpr int RowsPerStrip = 10;
    const int strips = height / RowsPerStrip;
    QByteArray bytes("II*\0\x08\0\0\0", 8);
    for (int f = 0; f < widths.size(); ++f) {
        const int width = widths[f];
        const int ifd = int(bytes.size());
        const int offsets = ifd + 2 + Entries * 12 + 4;
        const int counts = offsets + 4 * strips;
        const int pixels = counts + 4 * strips;
        const int next = f + 1 < widths.size() ? pixels + width * height : 0;
        QByteArray dir(pixels - ifd, '\0');
        putLe(dir, 0, Entries, 2);
        const quint32 tags[Entries][4] = {// tag, type (3 SHORT, 4 LONG), count, value
                                          {256, 4, 1, quint32(width)},
                                          {257, 4, 1, quint32(height)},
                                          {258, 3, 1, 8},
                                          {259, 3, 1, 1},
                                          {262, 3, 1, 1},
                                          {273, 4, quint32(strips), quint32(offsets)},
                                          {277, 3, 1, 1},
                                          {278, 4, 1, RowsPerStrip},
                                          {279, 4, quint32(strips), quint32(counts)}};
        for (int e = 0; e < Entries; ++e) {
            putLe(dir, 2 + e * 12, tags[e][0], 2);
            putLe(dir, 4 + e * 12, tags[e][1], 2);
            putLe(dir, 6 + e * 12, tags[e][2], 4);
            putLe(dir, 10 + e * 12, tags[e][3], tags[e][1] == 3 ? 2 : 4);
        }
        putLe(dir, 2 + Entries * 12, quint32(next), 4);
        for (int i = 0; i < strips; ++i) {
            putLe(dir, offsets - ifd + 4 * i, quint32(pixels + i * RowsPerStrip * width), 4);
            putLe(dir, counts - ifd + 4 * i, quint32(RowsPerStrip * width), 4);
        }
        bytes += dir;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                bytes += char((x * 7 + y * 3 + f * 60) & 0xff);
    }
    return bytes;
}

// A colour A4 page scanned at 600 dpi, in one flat colour so that its files compress.
QImage a4At600Dpi()
{
    QImage page(4960, 7016, QImage::Format_RGB888);
    page.fill(QColor(210, 180, 140));
    return page;
}

// A deflate-compressed RGB TIFF of image (Format_RGB888), written with libtiff.
QByteArray rgbTiff(const QImage &image, const QString &scratch)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(scratch).constData(), "w");
    if (!tif)
        return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 64);
    bool ok = true;
    for (int y = 0; y < image.height() && ok; ++y)
        ok = TIFFWriteScanline(tif, const_cast<uchar *>(image.constScanLine(y)), uint32_t(y)) >= 0;
    TIFFClose(tif);
    QByteArray bytes = ok ? readFile(scratch) : QByteArray();
    QFile::remove(scratch);
    return bytes;
}

// The same file with its header's height doubled: it promises rows it does not hold.
QByteArray tallerBmp(QByteArray bmp)
{
    const qint32 height = qFromLittleEndian<qint32>(bmp.constData() + 22);
    putLe(bmp, 22, quint32(height * 2), 4);
    return bmp;
}

QByteArray tallerTiff(QByteArray tiff)
{
    // ImageLength is the second entry of the first directory, at offset 8.
    const quint32 height = qFromLittleEndian<quint32>(tiff.constData() + 8 + 2 + 12 + 8);
    putLe(tiff, 8 + 2 + 12 + 8, height * 2, 4);
    return tiff;
}

} // namespace

class TestDamagedInputs : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_good; // a whole page every document starts with

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_good = path(QStringLiteral("good.bmp"));
        QVERIFY(pattern(40, 30).save(m_good, "BMP"));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<qint64>("sparseSize"); // the file made this long with holes
        QTest::addColumn<bool>("recognise");    // also through pagora-pdf --ocr

        // 320 x 240 at 24 bits: 230 KB, read row by row; a palette BMP goes through Qt.
        const QByteArray bmp = encoded(pattern(320, 240), "BMP");
        const QByteArray paletteBmp = encoded(pattern(320, 240, QImage::Format_Indexed8), "BMP");
        const QByteArray tiff = grayTiff({200}, 150);
        const QByteArray png = encoded(pattern(200, 150), "PNG");
        QString reason;
        const QByteArray jpeg = JpegCodec::encode(pattern(200, 150), {}, &reason);
        QVERIFY2(!jpeg.isEmpty() && bmp.size() > 200000 && paletteBmp.size() > 70000,
                 qPrintable(reason));

        const auto row = [](const char *tag, const char *name, const QByteArray &bytes,
                            bool damaged, qint64 sparseSize = 0, bool recognise = false) {
            QTest::newRow(tag) << name << bytes << damaged << sparseSize << recognise;
        };
        row("whole BMP", "whole.bmp", bmp, false);
        row("BMP cut to its first 5000 bytes", "cut.bmp", bmp.left(5000), true);
        row("BMP one byte short", "short.bmp", bmp.chopped(1), true);
        row("BMP header promises more rows", "taller.bmp", tallerBmp(bmp), true);
        row("whole palette BMP", "palette.bmp", paletteBmp, false);
        row("palette BMP cut in half", "palette-cut.bmp", paletteBmp.left(paletteBmp.size() / 2),
            true);
        row("palette BMP header promises more rows", "palette-taller.bmp", tallerBmp(paletteBmp),
            true);
        row("whole TIFF", "whole.tif", tiff, false);
        row("TIFF cut to a quarter", "cut.tif", tiff.left(tiff.size() / 4), true);
        row("TIFF header promises more rows", "taller.tif", tallerTiff(tiff), true);
        row("whole PNG", "whole.png", png, false);
        row("PNG cut in half", "cut.png", png.left(png.size() / 2), true);
        row("whole JPEG", "whole.jpg", jpeg, false);
        // A JPEG cut inside its scan data is the JPEG decode check's to refuse.
        row("JPEG cut inside its header", "cut.jpg", jpeg.left(120), true);
        row("empty BMP", "empty.bmp", QByteArray(""), true);
        row("empty TIFF", "empty.tif", QByteArray(""), true);
        row("empty PNG", "empty.png", QByteArray(""), true);

        // Above Qt's default allocation limit of 128 MB once decoded.
        {
            const QImage page = a4At600Dpi();
            const QByteArray bigJpeg = JpegCodec::encode(page, {}, &reason);
            const QByteArray bigTiff = rgbTiff(page, path(QStringLiteral("scratch.tif")));
            QVERIFY2(!bigJpeg.isEmpty() && !bigTiff.isEmpty(), qPrintable(reason));
            row("600 dpi colour A4 BMP", "a4-600.bmp", encoded(page, "BMP"), false, 0, true);
            row("600 dpi colour A4 PNG", "a4-600.png", encoded(page, "PNG"), false, 0, true);
            row("600 dpi colour A4 TIFF", "a4-600.tif", bigTiff, false, 0, true);
            row("600 dpi colour A4 JPEG", "a4-600.jpg", bigJpeg, false, 0, true);
        }
        row("500 MB of nothing named .jpg", "zeros.jpg", QByteArray(), true, 500ll << 20);
        row("larger than any page file", "huge.bmp", bmp.left(54), true,
            PageLimits::LargestFileBytes + 1);
    }

    void refused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(bool, damaged);
        QFETCH(qint64, sparseSize);
        QFETCH(bool, recognise);
        const QString file = path(name);
        QVERIFY(writeFile(file, contents));
        if (sparseSize > 0)
            QVERIFY(QFile::resize(file, sparseSize));
        const auto removeFile = qScopeGuard([&] { QFile::remove(file); });
        QElapsedTimer clock;
        clock.start();
        const auto names = [&](const QString &error) {
            return damaged ? error.contains(file) : error.isEmpty();
        };

        QString error;
        const QImage image = ImageFileReader::read(file, &error);
        QCOMPARE(image.isNull(), damaged);
        QVERIFY2(names(error), qPrintable(error));

        // The preview chooses its decoder from the name; PNG is not one it shows.
        if (!name.endsWith(QLatin1String(".png"))) {
            error.clear();
            const QImage shown = PagePicture::load(file, QFileInfo(file).fileName(), &error);
            QCOMPARE(shown.isNull(), damaged);
            QVERIFY2(names(error), qPrintable(error));
        }

        const QString out = path(name + QStringLiteral(".pdf"));
        error.clear();
        PdfExportOptions options;
        options.workers = 2;
        QCOMPARE(PdfExport::run({m_good, file}, out, options, &error), !damaged);
        QVERIFY2(names(error), qPrintable(error));
        QCOMPARE(QFile::exists(out), !damaged);
        QFile::remove(out);

        const ToolResult tool = runTool(QStringLiteral(PAGORA_PDF_TOOL), {out, m_good, file});
        QCOMPARE(tool.exitCode, damaged ? 1 : 0);
        QVERIFY2(damaged ? tool.err.contains(file.toUtf8()) : tool.err.isEmpty(), tool.err);
        QCOMPARE(QFile::exists(out), !damaged);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.pdf.*")}), QStringList());
        // Four readers and a process over gigabytes of holes: read, it would take minutes.
        if (sparseSize > PageLimits::LargestFileBytes)
            QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

        if (recognise && OcrEngine::installedLanguages().contains(QStringLiteral("eng"))) {
            const ToolResult ocr =
                runTool(QStringLiteral(PAGORA_PDF_TOOL),
                        {QStringLiteral("--ocr"), QStringLiteral("eng"), out, m_good, file});
            QVERIFY2(ocr.exitCode == 0 && ocr.err.isEmpty(), ocr.err);
            QCOMPARE(PdfInspector::pageSizes(out).value(1), QSize(4960, 7016));
            QFile::remove(out);
        }
    }

    // One page per frame, in the file's order, between the pages around it.
    void multiPageTiff()
    {
        const QString tiff = path(QStringLiteral("three.tif"));
        QVERIFY(writeFile(tiff, grayTiff({30, 40, 50}, 20)));
        const QString out = path(QStringLiteral("three.pdf"));
        const ToolResult tool =
            runTool(QStringLiteral(PAGORA_PDF_TOOL), {out, m_good, tiff, m_good});
        QVERIFY2(tool.exitCode == 0, tool.err);

        QStringList boxes;
        static const QRegularExpression mediaBox(
            QStringLiteral(R"(/MediaBox \[ 0 0 (\d+) (\d+) \])"));
        auto it = mediaBox.globalMatch(QString::fromLatin1(readFile(out)));
        while (it.hasNext()) {
            const auto m = it.next();
            boxes << m.captured(1) + QLatin1Char('x') + m.captured(2);
        }
        QCOMPARE(boxes, QStringList({"40x30", "30x20", "40x20", "50x20", "40x30"}));
    }
};

QTEST_GUILESS_MAIN(TestDamagedInputs)
#include "tst_damagedinputs.moc"
