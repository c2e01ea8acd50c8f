#include "imaging/JpegCodec.h"
#include "support/Prerequisite.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A page-like picture: gradients, hard edges and a little noise.
QImage testPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 noise = 12345;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = int((noise >> 16) & 7);
            const bool bar = (x / 16) % 2 == 0;
            line[x] =
                qRgb((x * 255 / width + n) & 0xff, bar ? 230 : 30 + n, (y * 255 / height) & 0xff);
        }
    }
    return image;
}

// Components of the first frame of a JPEG stream.
int frameComponents(const QByteArray &jpeg)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const uchar a = uchar(jpeg[i]), b = uchar(jpeg[i + 1]);
        if (a == 0xFF && (b == 0xC0 || b == 0xC2))
            return uchar(jpeg[i + 9]);
    }
    return 0;
}

double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum +=
                qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace

class TestJpegCodec : public QObject
{
    Q_OBJECT

private slots:
    void formats_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<bool>("forceRgb");
        QTest::addColumn<int>("components");

        const QImage picture = testPicture(123, 77);
        const QImage gray = picture.convertToFormat(QImage::Format_Grayscale8);
        QImage grayIndexed = gray.convertToFormat(QImage::Format_Indexed8);
        const QImage mono = gray.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
        const struct
        {
            const char *name;
            QImage image;
            int components; // without forceRgb
        } cases[] = {
            {"rgb32", picture, 3},
            {"argb32", picture.convertToFormat(QImage::Format_ARGB32), 3},
            {"argb32 premultiplied", picture.convertToFormat(QImage::Format_ARGB32_Premultiplied),
             3},
            {"rgb888", picture.convertToFormat(QImage::Format_RGB888), 3},
            {"bgr888", picture.convertToFormat(QImage::Format_BGR888), 3},
            {"rgbx8888", picture.convertToFormat(QImage::Format_RGBX8888), 3},
            {"rgb16", picture.convertToFormat(QImage::Format_RGB16), 3},
            {"rgba64", picture.convertToFormat(QImage::Format_RGBA64), 3},
            {"indexed colour",
             picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither), 3},
            {"grayscale8", gray, 1},
            {"grayscale16", gray.convertToFormat(QImage::Format_Grayscale16), 1},
            {"indexed gray", grayIndexed, 1},
            {"mono", mono, 1},
            {"mono lsb", mono.convertToFormat(QImage::Format_MonoLSB), 1},
        };
        for (const auto &c : cases) {
            QTest::addRow("%s", c.name) << c.image << false << c.components;
            QTest::addRow("%s forced rgb", c.name) << c.image << true << 3;
        }
    }

    // Right component count, right size, and the picture survives the round trip.
    void formats()
    {
        QFETCH(QImage, image);
        QFETCH(bool, forceRgb);
        QFETCH(int, components);

        JpegCodec::EncodeOptions options;
        options.forceRgb = forceRgb;
        QString error;
        const QByteArray jpeg = JpegCodec::encode(image, options, &error);
        QVERIFY2(!jpeg.isEmpty(), qPrintable(error));
        QCOMPARE(frameComponents(jpeg), components);
        QVERIFY(jpeg.contains("\xFF\xC0")); // baseline

        const QImage decoded = JpegCodec::decode(jpeg, &error);
        QVERIFY2(!decoded.isNull(), qPrintable(error));
        QCOMPARE(decoded.size(), image.size());
        QCOMPARE(decoded.format(),
                 components == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
        const QImage reference =
            image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB
                ? image.convertToFormat(QImage::Format_RGB32)
                : image;
        QVERIFY2(meanDifference(reference, decoded) < (image.depth() == 1 ? 30 : 8),
                 qPrintable(QString::number(meanDifference(reference, decoded))));
    }

    // "libjpeg's standard settings" means exactly what cjpeg writes at quality 75.
    void matchesCjpeg_data()
    {
        QTest::addColumn<bool>("gray");
        QTest::addColumn<bool>("forceRgb");
        QTest::newRow("colour") << false << false;
        QTest::newRow("gray") << true << false;
        QTest::newRow("gray as colour") << true << true;
    }

    void matchesCjpeg()
    {
        QFETCH(bool, gray);
        QFETCH(bool, forceRgb);
        if (QStandardPaths::findExecutable(QStringLiteral("cjpeg")).isEmpty())
            SKIP_OR_FAIL_IN_CI("cjpeg (libjpeg-turbo-progs) not installed");

        QImage image = testPicture(301, 211);
        if (gray)
            image = image.convertToFormat(QImage::Format_Grayscale8);
        // cjpeg reads a PGM as one component and a PPM as three.
        const QImage netpbm = forceRgb ? image.convertToFormat(QImage::Format_RGB32) : image;
        QTemporaryDir dir;
        const QString input = dir.filePath(gray && !forceRgb ? "in.pgm" : "in.ppm");
        QVERIFY(netpbm.save(input, gray && !forceRgb ? "PGM" : "PPM"));

        QProcess cjpeg;
        cjpeg.start(QStringLiteral("cjpeg"),
                    {QStringLiteral("-quality"), QStringLiteral("75"), input});
        QVERIFY(cjpeg.waitForFinished(30000));
        const QByteArray expected = cjpeg.readAllStandardOutput();
        QVERIFY(!expected.isEmpty());

        JpegCodec::EncodeOptions options;
        options.forceRgb = forceRgb;
        QCOMPARE(JpegCodec::encode(image, options), expected);
    }

    void density_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QByteArray>("jfifDensity"); // units, x, y
        QTest::newRow("none") << 0 << QByteArray("\x00\x00\x01\x00\x01", 5);
        QTest::newRow("300 dpi") << 300 << QByteArray("\x01\x01\x2c\x01\x2c", 5);
        QTest::newRow("75 dpi") << 75 << QByteArray("\x01\x00\x4b\x00\x4b", 5);
    }

    void density()
    {
        QFETCH(int, dpi);
        QFETCH(QByteArray, jfifDensity);
        JpegCodec::EncodeOptions options;
        options.dotsPerInch = dpi;
        for (const QImage &image :
             {testPicture(40, 30), testPicture(40, 30).convertToFormat(QImage::Format_Mono)}) {
            const QByteArray jpeg = JpegCodec::encode(image, options);
            QCOMPARE(jpeg.mid(6, 5), QByteArray("JFIF\0", 5));
            QCOMPARE(jpeg.mid(13, 5), jfifDensity);
        }
    }

    void failures()
    {
        QString error;
        QVERIFY(JpegCodec::encode(QImage(), {}, &error).isEmpty());
        QVERIFY(!error.isEmpty());

        error.clear();
        QVERIFY(JpegCodec::decode(QByteArray("definitely not a jpeg"), &error).isNull());
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(JpegCodec::decode(QByteArray(), &error).isNull());
        QVERIFY(!error.isEmpty());

        // A truncated file still gives its picture: better a damaged page than none.
        const QByteArray jpeg = JpegCodec::encode(testPicture(200, 200), {});
        const QImage partial = JpegCodec::decode(jpeg.left(jpeg.size() / 2), &error);
        QCOMPARE(partial.size(), QSize(200, 200));
        QVERIFY(JpegCodec::decode(jpeg.left(100), &error).isNull());
    }
};

QTEST_GUILESS_MAIN(TestJpegCodec)
#include "tst_jpegcodec.moc"
