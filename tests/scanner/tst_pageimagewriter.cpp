#include "files/TempFolder.h"
#include "imaging/JpegCodec.h"
#include "scanner/PageImageWriter.h"
#include "support/Prerequisite.h"
#include "support/FullDisk.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <tiffio.h>

namespace {

constexpr int kDpi = 300;

QImage pattern(int mode)
{
    const int w = 203, h = 117; // odd sizes catch row padding mistakes
    QImage img;
    if (mode == 2) {
        img = QImage(w, h, QImage::Format_RGB888);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, qRgb(x, y * 2, (x + y) & 0xff));
    } else if (mode == 1) {
        img = QImage(w, h, QImage::Format_Grayscale8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.scanLine(y)[x] = uchar((x + 2 * y) & 0xff);
    } else {
        img = QImage(w, h, QImage::Format_Mono);
        img.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // bit 1 = black, as scanned
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, ((x / 7 + y / 5) & 1) ? 1 : 0);
    }
    img.setDotsPerMeterX(qRound(kDpi / 0.0254));
    img.setDotsPerMeterY(qRound(kDpi / 0.0254));
    return img;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool samePixels(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    return x.size() == y.size() && x == y;
}

} // namespace

class TestPageImageWriter : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void blueFirstColourWritesTheSame_data();
    void blueFirstColourWritesTheSame();
    void failuresLeaveNothing();
    void replacesExistingFile();
    void privateInTemporaryFolder();
    void diskFull_data();
    void diskFull();
    void tiffManyStrips_data();
    void tiffManyStrips();

private:
    QTemporaryDir m_dir;
};

void TestPageImageWriter::roundTrip_data()
{
    QTest::addColumn<QString>("ext");
    QTest::addColumn<int>("mode");
    for (const char *ext : {"bmp", "jpg", "tiff"}) {
        for (int mode : {0, 1, 2}) {
            const char *names[] = {"line art", "gray", "colour"};
            QTest::addRow("%s %s", ext, names[mode]) << QString::fromLatin1(ext) << mode;
        }
    }
}

void TestPageImageWriter::roundTrip()
{
    QFETCH(QString, ext);
    QFETCH(int, mode);
    const QImage img = pattern(mode);
    const QImage original = img.copy();
    const QString path = m_dir.filePath(QStringLiteral("page%1.%2").arg(mode).arg(ext));
    QVERIFY(PageImageWriter::save(img, path));
    const QByteArray data = readAll(path);
    QVERIFY(!data.isEmpty());

    if (ext == QLatin1String("bmp")) {
        QVERIFY(data.startsWith("BM"));
        const auto *d = reinterpret_cast<const uchar *>(data.constData());
        QCOMPARE(qFromLittleEndian<qint32>(d + 18), img.width());
        QCOMPARE(qFromLittleEndian<qint32>(d + 22), img.height());
        QCOMPARE(int(qFromLittleEndian<quint16>(d + 28)), mode == 2 ? 24 : mode == 1 ? 8 : 1);
        QCOMPARE(qFromLittleEndian<qint32>(d + 38), img.dotsPerMeterX());
        QCOMPARE(qFromLittleEndian<qint32>(d + 42), img.dotsPerMeterY());
        QCOMPARE(qint64(qFromLittleEndian<quint32>(d + 2)), qint64(data.size()));
        QVERIFY(samePixels(QImage(path), img));
    } else if (ext == QLatin1String("jpg")) {
        const QImage decoded = JpegCodec::decode(data);
        QCOMPARE(decoded.size(), img.size());
        // JFIF density in dots per inch (units byte 1), right after "JFIF\0" and the version.
        const int jfif = int(data.indexOf(QByteArray("JFIF\0", 5)));
        QVERIFY(jfif > 0);
        const auto *d = reinterpret_cast<const uchar *>(data.constData()) + jfif;
        QCOMPARE(int(d[7]), 1);
        QCOMPARE(int(qFromBigEndian<quint16>(d + 8)), kDpi);
        QCOMPARE(int(qFromBigEndian<quint16>(d + 10)), kDpi);
        // Gray and line art stay one-component gray.
        QCOMPARE(decoded.format() == QImage::Format_Grayscale8, mode != 2);
        const QImage expected = img.convertToFormat(QImage::Format_RGB32);
        const QImage got = decoded.convertToFormat(QImage::Format_RGB32);
        qint64 diff = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                diff += qAbs(qGray(expected.pixel(x, y)) - qGray(got.pixel(x, y)));
        QVERIFY2(diff / (img.width() * img.height()) < 12, "JPEG content differs too much");
    } else {
        TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
        QVERIFY(tif);
        uint32_t w = 0, h = 0;
        uint16_t bps = 0, spp = 0, compression = 0, photometric = 0, unit = 0;
        float xres = 0, yres = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres);
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
        QCOMPARE(int(w), img.width());
        QCOMPARE(int(h), img.height());
        QCOMPARE(int(bps), mode == 0 ? 1 : 8);
        QCOMPARE(int(spp), mode == 2 ? 3 : 1);
        QCOMPARE(int(compression), mode == 0 ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW);
        QCOMPARE(int(unit), RESUNIT_INCH);
        QCOMPARE(qRound(xres), kDpi);
        QCOMPARE(qRound(yres), kDpi);
        // Lossless: every pixel comes back.
        std::vector<uint32_t> raster(size_t(w) * h);
        QVERIFY(TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0));
        TIFFClose(tif);
        const QImage expected = img.convertToFormat(QImage::Format_RGB32);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t p = raster[y * w + x];
                const QRgb want = expected.pixel(int(x), int(y));
                if (TIFFGetR(p) != uint32_t(qRed(want)) || TIFFGetG(p) != uint32_t(qGreen(want)) ||
                    TIFFGetB(p) != uint32_t(qBlue(want)))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
            }
        }
        Q_UNUSED(photometric);
    }
    QCOMPARE(img, original); // the page in the buffer is never touched by a writer
}

void TestPageImageWriter::tiffManyStrips_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("colour") << int(QImage::Format_RGB888);
    QTest::newRow("blue-first colour") << int(QImage::Format_BGR888);
    QTest::newRow("gray") << int(QImage::Format_Grayscale8);
}

// Pages big enough for many strips, compressed in parallel: every strip lands
// in its place and every pixel comes back.
void TestPageImageWriter::tiffManyStrips()
{
    QFETCH(int, format);
    const int w = 1501, h = 997;
    QImage img(w, h, QImage::Format(format));
    for (int y = 0; y < h; ++y) {
        uchar *line = img.scanLine(y);
        for (int i = 0; i < img.bytesPerLine(); ++i)
            line[i] = uchar((i * 7 + y * 13 + (i * y) / 97) & 0xff);
    }
    const QString path = m_dir.filePath(QStringLiteral("strips%1.tiff").arg(format));
    QVERIFY(PageImageWriter::save(img, path));
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r");
    QVERIFY(tif);
    QVERIFY(TIFFNumberOfStrips(tif) > 4);
    std::vector<uint32_t> raster(size_t(w) * h);
    QVERIFY(TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0));
    TIFFClose(tif);
    const QImage expected = img.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t p = raster[size_t(y) * w + x];
            const QRgb want = expected.pixel(x, y);
            if (TIFFGetR(p) != uint32_t(qRed(want)) || TIFFGetG(p) != uint32_t(qGreen(want)) ||
                TIFFGetB(p) != uint32_t(qBlue(want)))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
        }
    }
}

void TestPageImageWriter::blueFirstColourWritesTheSame_data()
{
    QTest::addColumn<QString>("ext");
    QTest::newRow("bmp") << QStringLiteral("bmp");
    QTest::newRow("tiff") << QStringLiteral("tiff");
    QTest::newRow("jpg") << QStringLiteral("jpg");
}

// Scanned colour pages are held blue first; the files must not show it.
void TestPageImageWriter::blueFirstColourWritesTheSame()
{
    QFETCH(QString, ext);
    const QImage rgb = pattern(2);
    const QImage bgr = rgb.convertToFormat(QImage::Format_BGR888);
    const QString a = m_dir.filePath(QStringLiteral("rgb.") + ext);
    const QString b = m_dir.filePath(QStringLiteral("bgr.") + ext);
    QVERIFY(PageImageWriter::save(rgb, a));
    QVERIFY(PageImageWriter::save(bgr, b));
    QCOMPARE(readAll(a), readAll(b));
}

void TestPageImageWriter::failuresLeaveNothing()
{
    const QImage img = pattern(2);
    QString error;
    QVERIFY(
        !PageImageWriter::save(img, m_dir.filePath(QStringLiteral("missing/page.bmp")), &error));
    QCOMPARE(error, QStringLiteral("No such file or directory"));
    QVERIFY(!PageImageWriter::save(img, m_dir.filePath(QStringLiteral("page.png"))));
    QVERIFY(!PageImageWriter::save(QImage(), m_dir.filePath(QStringLiteral("null.bmp"))));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("page.png"))));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("null.bmp"))));

    QDir readOnly(m_dir.filePath(QStringLiteral("ro")));
    QVERIFY(readOnly.mkpath(QStringLiteral(".")));
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool root = QFileInfo(readOnly.path()).isWritable();
    if (!root)
        QVERIFY(!PageImageWriter::save(img, readOnly.filePath(QStringLiteral("page.tiff"))));
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // No temporary file is left behind anywhere.
    const QStringList hidden = QDir(m_dir.path()).entryList(QDir::Hidden | QDir::Files);
    for (const QString &name : hidden)
        QVERIFY2(!name.endsWith(QLatin1String(".part")), qPrintable(name));
}

void TestPageImageWriter::replacesExistingFile()
{
    const QString path = m_dir.filePath(QStringLiteral("again.bmp"));
    QVERIFY(PageImageWriter::save(pattern(2), path));
    QVERIFY(PageImageWriter::save(pattern(1), path));
    QCOMPARE(QImage(path).format(), QImage::Format_Indexed8);
    // Same permissions as any file the user creates there (not a private temporary's).
    QFile plain(m_dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    QCOMPARE(QFileInfo(path).permissions(), plain.permissions());
}

// Working copies and the preview image hold what was scanned: owner only.
void TestPageImageWriter::privateInTemporaryFolder()
{
    const QString path = TempFolder::join(TempFolder::path(), QStringLiteral("copy.bmp"));
    QVERIFY(PageImageWriter::save(pattern(2), path));
    QCOMPARE(QFileInfo(path).permissions(),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QFile::remove(path);
}

void TestPageImageWriter::diskFull_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("bmp") << QStringLiteral("page.bmp");
    QTest::newRow("jpeg") << QStringLiteral("page.jpg");
    QTest::newRow("tiff") << QStringLiteral("page.tif");
}

// The message says why, in the system's words, and nothing is left behind.
void TestPageImageWriter::diskFull()
{
    QFETCH(QString, name);
    FullDisk disk(m_dir.filePath(QStringLiteral("full")));
    if (!disk.isMounted())
        SKIP_OR_FAIL_IN_CI("no small file system can be mounted here (needs root)");
    // Noise: no encoder makes it fit.
    QImage noise(400, 400, QImage::Format_RGB888);
    quint32 seed = 1;
    for (int y = 0; y < noise.height(); ++y) {
        uchar *line = noise.scanLine(y);
        for (int x = 0; x < noise.width() * 3; ++x) {
            seed = seed * 1103515245u + 12345u;
            line[x] = uchar(seed >> 24);
        }
    }
    QString error;
    QVERIFY(!PageImageWriter::save(noise, disk.filePath(name), &error));
    QCOMPARE(error, QStringLiteral("No space left on device"));
    QCOMPARE(QDir(m_dir.filePath(QStringLiteral("full")))
                 .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

QTEST_GUILESS_MAIN(TestPageImageWriter)
#include "tst_pageimagewriter.moc"
