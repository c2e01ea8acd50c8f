#include "imaging/BmpRowReader.h"
#include "imaging/JpegCodec.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

QImage testPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 9 % 256, y * 13 % 256, (x * y) % 256));
    return image;
}

template<typename T>
QByteArray le(T value)
{
    QByteArray bytes(sizeof(T), '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// A BMP written by hand: bits 24 or 32, rows bottom-up (the usual) or top-down.
QByteArray makeBmp(const QImage &image, int bits, bool topDown, quint32 compression = 0,
                   quint32 infoSize = 40)
{
    const int stride = ((image.width() * bits + 31) / 32) * 4;
    QByteArray pixels;
    for (int r = 0; r < image.height(); ++r) {
        const int y = topDown ? r : image.height() - 1 - r;
        QByteArray row(stride, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            char *p = row.data() + x * bits / 8;
            p[0] = char(qBlue(c));
            p[1] = char(qGreen(c));
            p[2] = char(qRed(c));
        }
        pixels += row;
    }
    QByteArray info = le<quint32>(infoSize) + le<qint32>(image.width()) +
                      le<qint32>(topDown ? -image.height() : image.height()) + le<quint16>(1) +
                      le<quint16>(quint16(bits)) + le<quint32>(compression) +
                      le<quint32>(quint32(pixels.size())) + le<qint32>(11811) + le<qint32>(11811) +
                      le<quint32>(0) + le<quint32>(0);
    info.resize(infoSize, '\0');
    const quint32 offset = 14 + infoSize;
    return "BM" + le<quint32>(offset + quint32(pixels.size())) + le<quint32>(0) +
           le<quint32>(offset) + info + pixels;
}

} // namespace

class TestBmpRowReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &data)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(data);
        return path;
    }

private slots:
    void rows_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("topDown");
        QTest::addColumn<quint32>("infoSize");
        QTest::addColumn<QSize>("size");
        const QSize small(37, 23); // odd width: padded rows
        // Rows are read in bands of about half a megabyte: these take several, the
        // last one short.
        const QSize large(3001, 181);
        QTest::newRow("24 bit") << 24 << false << 40u << small;
        QTest::newRow("24 bit top-down") << 24 << true << 40u << small;
        QTest::newRow("32 bit") << 32 << false << 40u << small;
        QTest::newRow("24 bit, version 5 header") << 24 << false << 124u << small;
        QTest::newRow("24 bit, bands") << 24 << false << 40u << large;
        QTest::newRow("24 bit top-down, bands") << 24 << true << 40u << large;
        QTest::newRow("32 bit, bands") << 32 << false << 40u << large;
    }

    // The rows read straight from the file are the picture, and encode to exactly
    // the JPEG of the decoded image.
    void rows()
    {
        QFETCH(int, bits);
        QFETCH(bool, topDown);
        QFETCH(quint32, infoSize);
        QFETCH(QSize, size);
        const QImage picture = testPicture(size.width(), size.height());
        const QString path =
            write(QStringLiteral("rows.bmp"), makeBmp(picture, bits, topDown, 0, infoSize));

        BmpRowReader reader;
        QVERIFY(reader.open(path));
        QCOMPARE(QSize(reader.width(), reader.height()), picture.size());
        QCOMPARE(reader.bitsPerPixel(), bits);
        for (int y = 0; y < picture.height(); ++y) {
            const uchar *row = reader.row(y);
            for (int x = 0; x < picture.width(); ++x) {
                const uchar *p = row + x * bits / 8;
                if (qRgb(p[2], p[1], p[0]) != picture.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel %1, %2 differs").arg(x).arg(y)));
            }
        }
        // Going back reads the band again.
        QCOMPARE(reader.row(0)[0], uchar(qBlue(picture.pixel(0, 0))));
        QCOMPARE(reader.row(1)[3 * bits / 8 + 2], uchar(qRed(picture.pixel(3, 1))));
        QVERIFY(!reader.failed());

        JpegCodec::EncodeOptions options;
        options.forceRgb = true;
        BmpRowReader again;
        QVERIFY(again.open(path));
        const QByteArray fromRows = JpegCodec::encodeRows(
            again.width(), again.height(),
            bits == 24 ? JpegCodec::RowLayout::Bgr888 : JpegCodec::RowLayout::Bgrx8888,
            [&again](int y) { return again.row(y); }, options);
        QCOMPARE(fromRows, JpegCodec::encode(picture, options));
    }

    // Anything else is declined, so that the general readers (or their errors) take over.
    void declined_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QImage picture = testPicture(16, 8);
        const QByteArray good = makeBmp(picture, 24, false);
        QTest::newRow("8 bit") << makeBmp(picture, 8, false);
        QTest::newRow("rle") << makeBmp(picture, 24, false, 1);
        QTest::newRow("bitfields") << makeBmp(picture, 32, false, 3);
        QTest::newRow("core header") << makeBmp(picture, 24, false, 0, 12);
        QTest::newRow("pixels cut short") << good.left(good.size() - 1);
        QTest::newRow("header only") << good.left(54);
        QTest::newRow("not a bmp")
            << QByteArray("PNG and other things, long enough to be a header....");
        QByteArray zeroWidth = good;
        qToLittleEndian<qint32>(0, zeroWidth.data() + 18);
        QTest::newRow("zero width") << zeroWidth;
        QByteArray huge = good;
        qToLittleEndian<qint32>(0x7fffffff, huge.data() + 22);
        QTest::newRow("absurd height") << huge;
    }

    void declined()
    {
        QFETCH(QByteArray, bytes);
        BmpRowReader reader;
        QVERIFY(!reader.open(write(QStringLiteral("declined.bmp"), bytes)));
        QVERIFY(!reader.open(m_dir.filePath(QStringLiteral("missing.bmp"))));
    }

    // A file that shrinks after it was opened gives black rows and a failure, never
    // a read outside the file.
    void shrunkAfterOpen()
    {
        const QString path =
            write(QStringLiteral("shrinks.bmp"), makeBmp(testPicture(64, 64), 24, false));
        BmpRowReader reader;
        QVERIFY(reader.open(path));
        QVERIFY(QFile::resize(path, 200));
        const uchar *row = reader.row(0); // the last row in the file
        QVERIFY(reader.failed());
        QCOMPARE(row[0], uchar(0));
    }
};

QTEST_GUILESS_MAIN(TestBmpRowReader)
#include "tst_bmprowreader.moc"
