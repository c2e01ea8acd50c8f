#include "imaging/ImageFileReader.h"
#include "imaging/TiffReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <tiffio.h>
#include <unistd.h>

namespace {

struct TiffLayout
{
    int samples = 3; // 1 gray or bilevel, 3 RGB, 4 RGBA
    int bits = 8;    // 1 for bilevel
    int photometric = PHOTOMETRIC_RGB;
    int orientation = ORIENTATION_TOPLEFT;
    int compression = COMPRESSION_NONE;
    int pages = 1;
};

// Pixel (x, y) of the picture every file is written from, as it should be read.
QRgb expectedPixel(const TiffLayout &layout, int x, int y)
{
    if (layout.bits == 1) {
        const bool set = (x + y) % 3 == 0; // sample 1
        const bool white = layout.photometric == PHOTOMETRIC_MINISWHITE ? !set : set;
        return white ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    if (layout.samples == 1)
        return qRgb(x * 4, x * 4, x * 4);
    return qRgba(x * 4, y * 5, 200, layout.samples == 4 ? 255 - y * 5 : 255);
}

// Writes the picture stored in the file's own row order, so that reading it with
// the given orientation must bring it back upright.
bool writeTiff(const QString &path, const TiffLayout &layout, int width, int height)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    for (int page = 0; page < layout.pages; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bits);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
        TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.orientation);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
        if (layout.samples == 4) {
            const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        std::vector<uchar> row(size_t(TIFFScanlineSize(tif)));
        for (int fileRow = 0; fileRow < height; ++fileRow) {
            const int y =
                layout.orientation == ORIENTATION_BOTLEFT ? height - 1 - fileRow : fileRow;
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < width; ++x) {
                const QRgb c = expectedPixel(layout, x, y);
                if (layout.bits == 1) {
                    if ((x + y) % 3 == 0)
                        row[size_t(x / 8)] |= uchar(0x80 >> (x % 8));
                } else if (layout.samples == 1) {
                    row[size_t(x)] = uchar(qRed(c));
                } else {
                    uchar *p = &row[size_t(x * layout.samples)];
                    p[0] = uchar(qRed(c));
                    p[1] = uchar(qGreen(c));
                    p[2] = uchar(qBlue(c));
                    if (layout.samples == 4)
                        p[3] = uchar(qAlpha(c));
                }
            }
            if (TIFFWriteScanline(tif, row.data(), uint32_t(fileRow)) != 1) {
                TIFFClose(tif);
                return false;
            }
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return true;
}

// Runs f with stderr sent to a file and returns what was printed.
template<typename F>
QByteArray capturedStderr(F f)
{
    std::fflush(stderr);
    FILE *capture = std::tmpfile();
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(capture), STDERR_FILENO);
    f();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::rewind(capture);
    QByteArray printed;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, capture)) > 0)
        printed.append(buffer, qsizetype(n));
    std::fclose(capture);
    return printed;
}

} // namespace

Q_DECLARE_METATYPE(TiffLayout)

class TestTiffReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void read_data()
    {
        QTest::addColumn<TiffLayout>("layout");
        QTest::newRow("rgb") << TiffLayout{};
        QTest::newRow("rgb lzw") << TiffLayout{
            3, 8, PHOTOMETRIC_RGB, ORIENTATION_TOPLEFT, COMPRESSION_LZW, 1};
        QTest::newRow("bottom-up rows")
            << TiffLayout{3, 8, PHOTOMETRIC_RGB, ORIENTATION_BOTLEFT, COMPRESSION_NONE, 1};
        QTest::newRow("gray") << TiffLayout{
            1, 8, PHOTOMETRIC_MINISBLACK, ORIENTATION_TOPLEFT, COMPRESSION_DEFLATE, 1};
        QTest::newRow("bilevel min-is-white") << TiffLayout{
            1, 1, PHOTOMETRIC_MINISWHITE, ORIENTATION_TOPLEFT, COMPRESSION_CCITTFAX4, 1};
        QTest::newRow("bilevel min-is-black") << TiffLayout{
            1, 1, PHOTOMETRIC_MINISBLACK, ORIENTATION_TOPLEFT, COMPRESSION_PACKBITS, 1};
        QTest::newRow("rgba") << TiffLayout{
            4, 8, PHOTOMETRIC_RGB, ORIENTATION_TOPLEFT, COMPRESSION_NONE, 1};
        QTest::newRow("first of three pages")
            << TiffLayout{3, 8, PHOTOMETRIC_RGB, ORIENTATION_TOPLEFT, COMPRESSION_NONE, 3};
    }

    void read()
    {
        QFETCH(TiffLayout, layout);
        const int width = 50, height = 40;
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".tif");
        QVERIFY(writeTiff(path, layout, width, height));

        QString error;
        QImage image;
        QCOMPARE(capturedStderr([&] { image = TiffReader::read(path, &error); }), QByteArray());
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(width, height));
        QCOMPARE(image.hasAlphaChannel(), layout.samples == 4);
        const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const QRgb expected = expectedPixel(layout, x, y), actual = plain.pixel(x, y);
                const int tolerance = layout.samples == 4 ? 2 : 0; // premultiplied round trip
                QVERIFY2(qAbs(qRed(expected) - qRed(actual)) <= tolerance &&
                             qAbs(qGreen(expected) - qGreen(actual)) <= tolerance &&
                             qAbs(qBlue(expected) - qBlue(actual)) <= tolerance &&
                             qAlpha(expected) == qAlpha(actual),
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }

        // The generic reader sends TIFF files here too.
        QCOMPARE(ImageFileReader::read(path).convertToFormat(QImage::Format_ARGB32), plain);
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("contents"); // null: no file at all
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << QString();
        QTest::newRow("not a tiff") << QByteArray("GIF89a and so on") << "Unable to open file";
        QTest::newRow("bad first directory")
            << QByteArray("II*\0\x08\0\0\0\xff\xff\0\0", 12) << "Unable to open file";
        QTest::newRow("header only") << QByteArray("MM\0*", 4) << "Unable to open file";
    }

    // Clear messages, a null image, and nothing printed by libtiff.
    void failures()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        const QString path =
            m_dir.filePath(QStringLiteral("bad %1.tif").arg(QTest::currentDataTag()));
        if (!contents.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }

        QString error;
        QImage image;
        QCOMPARE(capturedStderr([&] { image = TiffReader::read(path, &error); }), QByteArray());
        QVERIFY(image.isNull());
        if (contents.isNull())
            QCOMPARE(error, QStringLiteral("Unable to open file '%1'").arg(path));
        else
            QVERIFY2(error.contains(message) && error.contains(path), qPrintable(error));
    }

    void truncatedData()
    {
        const QString good = m_dir.filePath(QStringLiteral("whole.tif"));
        QVERIFY(writeTiff(good, TiffLayout{}, 64, 64));
        QFile file(good);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // The directory sits at the end of a file libtiff wrote: cut the pixel data
        // and keep header and directory.
        QByteArray bytes = file.readAll();
        const QString cut = m_dir.filePath(QStringLiteral("cut.tif"));
        bytes.replace(2000, 8000, QByteArray());
        QFile out(cut);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();

        QString error;
        QImage image;
        const QByteArray printed = capturedStderr([&] { image = TiffReader::read(cut, &error); });
        QVERIFY(image.isNull()); // refused, not garbled
        QCOMPARE(printed, QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestTiffReader)
#include "tst_tiffreader.moc"
