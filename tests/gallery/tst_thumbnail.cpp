#include "pages/BoxResampler.h"
#include "pages/GalleryRules.h"
#include "pages/Thumbnail.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cmath>

namespace {

// Random colours no darker than floor.
QImage noisePage(int w, int h, quint32 seed, int floor = 0)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(floor + random.bounded(256 - floor), floor + random.bounded(256 - floor),
                           qMax(floor, (x * 7 + y * 3) & 255));
    }
    return image;
}

// Area averaging computed the obvious way, in doubles: the mean of the source
// area a target pixel covers, partial pixels by their covered share.
QImage referenceBox(const QImage &source, const QSize &target)
{
    const double sx = double(source.width()) / target.width();
    const double sy = double(source.height()) / target.height();
    QImage out(target, QImage::Format_RGB32);
    for (int ty = 0; ty < target.height(); ++ty) {
        for (int tx = 0; tx < target.width(); ++tx) {
            double sum[3] = {0, 0, 0};
            double area = 0;
            const double x0 = tx * sx, x1 = x0 + sx, y0 = ty * sy, y1 = y0 + sy;
            for (int y = int(y0); y < int(std::ceil(y1)); ++y) {
                const double wy = std::min(y1, y + 1.0) - std::max(y0, double(y));
                for (int x = int(x0); x < int(std::ceil(x1)); ++x) {
                    const double wx = std::min(x1, x + 1.0) - std::max(x0, double(x));
                    const QRgb p = source.pixel(x, y);
                    sum[0] += qRed(p) * wx * wy;
                    sum[1] += qGreen(p) * wx * wy;
                    sum[2] += qBlue(p) * wx * wy;
                    area += wx * wy;
                }
            }
            out.setPixel(tx, ty,
                         qRgb(qRound(sum[0] / area), qRound(sum[1] / area), qRound(sum[2] / area)));
        }
    }
    return out;
}

int maxDifference(const QImage &a, const QImage &b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return worst;
}

// A 24-bit BMP written byte by byte, top-down when asked (negative height).
QByteArray bmp24(const QImage &image, bool topDown)
{
    const int stride = (image.width() * 3 + 3) & ~3;
    QByteArray data(54 + stride * image.height(), '\0');
    auto *p = reinterpret_cast<uchar *>(data.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(quint32(data.size()), p + 2);
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(image.width(), p + 18);
    qToLittleEndian<qint32>(topDown ? -image.height() : image.height(), p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(24, p + 28);
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = p + 54 + stride * (topDown ? y : image.height() - 1 - y);
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row[3 * x] = uchar(qBlue(c));
            row[3 * x + 1] = uchar(qGreen(c));
            row[3 * x + 2] = uchar(qRed(c));
        }
    }
    return data;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

class TestThumbnail : public QObject
{
    Q_OBJECT

private slots:
    void geometry_data()
    {
        QTest::addColumn<QSize>("page");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("A4 portrait 300 dpi") << QSize(2480, 3508) << QSize(53, 75) << QPoint(23, 0);
        QTest::newRow("A4 landscape") << QSize(3508, 2480) << QSize(100, 70) << QPoint(0, 2);
        QTest::newRow("square") << QSize(100, 100) << QSize(75, 75) << QPoint(12, 0);
        QTest::newRow("fills the cell") << QSize(400, 300) << QSize(100, 75) << QPoint(0, 0);
        QTest::newRow("taller than the cell")
            << QSize(1000, 900) << QSize(100, 90) << QPoint(0, -7);
        QTest::newRow("a sliver") << QSize(1000, 5) << QSize(100, 0) << QPoint(0, 37);
        QTest::newRow("huge") << QSize(30000000, 40000000) << QSize(56, 75) << QPoint(22, 0);
    }
    void geometry()
    {
        QFETCH(QSize, page);
        QFETCH(QSize, size);
        QFETCH(QPoint, offset);
        QCOMPARE(GalleryRules::thumbnailSize(page.width(), page.height()), size);
        QCOMPARE(GalleryRules::thumbnailOffset(size), offset);
    }

    void resampleMatchesBoxReference_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("target");
        QTest::addColumn<QImage::Format>("format");
        QTest::newRow("A4 shape") << QSize(248, 351) << QSize(53, 75) << QImage::Format_RGB32;
        QTest::newRow("non-integer ratio") << QSize(97, 131) << QSize(41, 75) << QImage::Format_RGB32;
        QTest::newRow("wide") << QSize(250, 40) << QSize(100, 16) << QImage::Format_RGB32;
        QTest::newRow("enlarge") << QSize(10, 7) << QSize(75, 52) << QImage::Format_RGB32;
        QTest::newRow("one pixel") << QSize(1, 1) << QSize(75, 75) << QImage::Format_RGB32;
        // Over 257 whole rows per target row: the 16-bit sums are flushed on the way.
        QTest::newRow("tall strip") << QSize(5, 1400) << QSize(2, 3) << QImage::Format_RGB32;
        // Scanned pages are read in their own layout, odd widths padding the rows.
        for (const auto format : {QImage::Format_BGR888, QImage::Format_RGB888,
                                  QImage::Format_Grayscale8, QImage::Format_RGBA8888,
                                  QImage::Format_Indexed8}) {
            QTest::addRow("format %d", int(format)) << QSize(97, 131) << QSize(41, 75) << format;
        }
    }
    void resampleMatchesBoxReference()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, target);
        QFETCH(QImage::Format, format);
        // Bright pages fill the sums fastest.
        const QImage page =
            noisePage(source.width(), source.height(), 7, 200).convertToFormat(format);
        const QImage scaled = BoxResampler::resample(page, target);
        QCOMPARE(scaled.size(), target);
        // Integer weights with rounding against doubles: at most one level apart.
        QVERIFY(maxDifference(scaled, referenceBox(page, target)) <= 1);
    }

    void cellIsCentredOnWhiteAndCutOff()
    {
        // Top half red, bottom half blue: the 100 x 90 picture loses 7 rows at the
        // top and 8 at the bottom.
        QImage page(1000, 900, QImage::Format_RGB32);
        page.fill(Qt::red);
        for (int y = 450; y < 900; ++y)
            std::fill_n(reinterpret_cast<QRgb *>(page.scanLine(y)), 1000, qRgb(0, 0, 255));
        QImage cell = Thumbnail::fromImage(page, 1000, 900);
        QCOMPARE(cell.size(), QSize(100, 75));
        QCOMPARE(cell.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(cell.pixel(99, 37), qRgb(255, 0, 0)); // picture row 44
        QCOMPARE(cell.pixel(99, 38), qRgb(0, 0, 255)); // picture row 45
        QCOMPARE(cell.pixel(50, 74), qRgb(0, 0, 255));

        page = QImage(100, 100, QImage::Format_RGB32);
        page.fill(Qt::black);
        cell = Thumbnail::fromImage(page, 100, 100);
        QCOMPARE(cell.pixel(11, 40), qRgb(255, 255, 255));
        QCOMPARE(cell.pixel(12, 40), qRgb(0, 0, 0));
        QCOMPARE(cell.pixel(86, 40), qRgb(0, 0, 0));
        QCOMPARE(cell.pixel(87, 40), qRgb(255, 255, 255));
    }

    // Every way a working copy can be stored gives the same thumbnail as the
    // picture in memory.
    void fromFileMatchesMemory_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("24-bit bottom-up") << "bmp24";
        QTest::newRow("24-bit top-down") << "bmp24td";
        QTest::newRow("32-bit (Qt)") << "argb";
        QTest::newRow("8-bit gray (Qt)") << "gray";
        QTest::newRow("PNG named .bmp") << "png";
    }
    void fromFileMatchesMemory()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.bmp"));
        QImage page = noisePage(203, 287, 3); // odd width: row padding
        if (kind == QLatin1String("bmp24") || kind == QLatin1String("bmp24td")) {
            QVERIFY(writeFile(path, bmp24(page, kind.endsWith(QLatin1String("td")))));
        } else if (kind == QLatin1String("argb")) {
            page = page.convertToFormat(QImage::Format_ARGB32);
            QVERIFY(page.save(path, "BMP"));
        } else if (kind == QLatin1String("gray")) {
            page = page.convertToFormat(QImage::Format_Grayscale8);
            QVERIFY(page.save(path, "BMP"));
        } else {
            QVERIFY(page.save(path, "PNG"));
        }
        QString error;
        const QImage cell = Thumbnail::fromFile(path, 203, 287, &error);
        QVERIFY2(!cell.isNull(), qPrintable(error));
        QCOMPARE(cell, Thumbnail::fromImage(QImage(path), 203, 287));
        QCOMPARE(cell.pixel(0, 0), qRgb(255, 255, 255)); // 53 wide: white at the left
    }

    void unreadableWorkingCopy_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("start");
        QTest::newRow("missing") << QByteArray() << "Unable to open file '";
        QTest::newRow("not a picture") << QByteArray("hello") << "Unable to read the picture in '";
    }
    void unreadableWorkingCopy()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, start);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.bmp"));
        if (!content.isEmpty())
            QVERIFY(writeFile(path, content));
        QString error;
        QVERIFY(Thumbnail::fromFile(path, 40, 30, &error).isNull());
        QVERIFY2(error.startsWith(start) && error.contains(path), qPrintable(error));
    }

    // The header promises more rows than the file holds: never read past its end,
    // and never show a damaged page as if it were whole.
    void truncatedBmp()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.bmp"));
        QVERIFY(writeFile(path, bmp24(noisePage(400, 300, 1), false).left(4000)));
        QString error;
        const QImage cell = Thumbnail::fromFile(path, 400, 300, &error);
        QVERIFY(cell.isNull());
        QVERIFY2(error.contains(path), qPrintable(error));
    }

    void fitProportional_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("landscape in a tall box")
            << QSize(400, 300) << QSize(429, 545) << QSize(429, 321);
        QTest::newRow("portrait in a tall box")
            << QSize(2480, 3508) << QSize(429, 545) << QSize(385, 545);
        QTest::newRow("portrait in a wide box")
            << QSize(300, 400) << QSize(800, 200) << QSize(150, 200);
        QTest::newRow("wide picture, flat box")
            << QSize(1000, 500) << QSize(800, 300) << QSize(600, 300);
        QTest::newRow("square, too wide") << QSize(50, 50) << QSize(40, 90) << QSize(40, 40);
        QTest::newRow("small enlarged") << QSize(10, 5) << QSize(100, 100) << QSize(100, 50);
    }
    void fitProportional()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, box);
        QFETCH(QSize, fitted);
        QCOMPARE(GalleryRules::fitProportional(picture, box), fitted);
    }

    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::addColumn<bool>("tiff");
        QTest::newRow("bmp") << "Pagora_1.bmp" << true << false;
        QTest::newRow("tiff") << "Pagora_1.tiff" << true << true;
        QTest::newRow("tif") << "Pagora_1.tif" << true << true;
        QTest::newRow("upper case") << "Pagora_1.TIF" << true << false;
        QTest::newRow("inside") << "scan.tif.bmp" << true << true;
        QTest::newRow("separator") << "sub/x.bmp" << false << false;
        QTest::newRow("parent") << "../x.bmp" << false << false;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("dot dot") << ".." << false << false;
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QFETCH(bool, tiff);
        QCOMPARE(GalleryRules::isPlainFileName(name), plain);
        QCOMPARE(GalleryRules::readsAsTiff(name), tiff);
    }
};

QTEST_GUILESS_MAIN(TestThumbnail)
#include "tst_thumbnail.moc"
