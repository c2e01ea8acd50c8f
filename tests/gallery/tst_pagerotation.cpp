// Turning listed pages: page file and working copy together, in every page format.
#include "pages/PageModel.h"
#include "pages/PageRotation.h"
#include "imaging/ImageFileReader.h"
#include "scanner/PageImageWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <tiffio.h>

namespace {

// A picture that shows which way up it is: a dark top-left corner, a few colours.
QImage makePage(int w, int h, QImage::Format format)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(Qt::white);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x < w / 3 && y < h / 4)
                image.setPixel(x, y, qRgb(0, 0, 0));
            else if ((x / 8 + y / 8) % 3 == 0)
                image.setPixel(x, y, qRgb(200, 40 + x % 100, 30));
        }
    image = format == QImage::Format_Mono
                ? image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)
                : image.convertToFormat(format);
    image.setDotsPerMeterX(3937); // 100 dpi
    image.setDotsPerMeterY(7874); // 200 dpi: a swap shows
    return image;
}

QImage pixels(const QString &path)
{
    return ImageFileReader::read(path).convertToFormat(QImage::Format_RGB32);
}

float tiffXResolution(const QString &path)
{
    float x = 0;
    if (TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "r")) {
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x);
        TIFFClose(tif);
    }
    return x;
}

} // namespace

class TestPageRotation : public QObject
{
    Q_OBJECT

private slots:
    void turns_data();
    void turns();

private:
    // A listed page: page file in dest, BMP working copy in temp.
    PageEntry addPage(PageModel &model, const QString &name, const QImage &image);

    QTemporaryDir m_dir;
};

PageEntry TestPageRotation::addPage(PageModel &model, const QString &name, const QImage &image)
{
    for (const char *folder : {"dest", "temp"}) {
        QDir(m_dir.filePath(folder)).removeRecursively();
        QDir().mkpath(m_dir.filePath(folder));
    }
    PageEntry e;
    e.caption = name;
    e.pageFile = m_dir.filePath("dest/" + name);
    e.workingCopy = m_dir.filePath("temp/" + name.section('.', 0, 0) + ".bmp");
    e.size = image.size();
    e.dpi = 100;
    if (!PageImageWriter::save(image, e.pageFile) || !PageImageWriter::save(image, e.workingCopy))
        return {};
    model.append(e);
    return e;
}

void TestPageRotation::turns_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("lossless"); // JPEG only: turned without decoding

    QTest::newRow("BMP colour") << "a.bmp" << QSize(61, 43) << int(QImage::Format_RGB888) << false;
    QTest::newRow("BMP gray") << "b.bmp" << QSize(61, 43) << int(QImage::Format_Grayscale8)
                              << false;
    QTest::newRow("BMP line art") << "c.bmp" << QSize(61, 43) << int(QImage::Format_Mono) << false;
    QTest::newRow("TIFF colour") << "d.tif" << QSize(61, 43) << int(QImage::Format_RGB888) << false;
    QTest::newRow("TIFF line art") << "e.tif" << QSize(61, 43) << int(QImage::Format_Mono) << false;
    QTest::newRow("JPEG, whole blocks")
        << "f.jpg" << QSize(64, 48) << int(QImage::Format_RGB888) << true;
    QTest::newRow("JPEG gray, whole blocks")
        << "g.jpg" << QSize(40, 24) << int(QImage::Format_Grayscale8) << true;
    QTest::newRow("JPEG, partial blocks")
        << "h.jpg" << QSize(61, 43) << int(QImage::Format_RGB888) << false;
}

// One right turn swaps the sizes and the resolutions of both files; four give the
// original pixels back, except for a JPEG that had to be re-encoded.
void TestPageRotation::turns()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(int, format);
    QFETCH(bool, lossless);

    PageModel model;
    const QImage page = makePage(size.width(), size.height(), QImage::Format(format));
    const PageEntry e = addPage(model, name, page);
    QVERIFY(!e.pageFile.isEmpty());
    const QImage pageBefore = pixels(e.pageFile);
    const QImage copyBefore = pixels(e.workingCopy);

    if (name.endsWith(".jpg")) {
        bool wasLossless = !lossless;
        const QString probe = m_dir.filePath("dest/probe.jpg");
        QVERIFY(PageRotation::rotateInto(e.pageFile, probe, PageRotation::Right, &wasLossless));
        QCOMPARE(wasLossless, lossless);
        QFile::remove(probe);
    }

    QString error;
    QVERIFY2(model.rotate(0, PageRotation::Right, &error), qPrintable(error));
    QCOMPARE(model.entry(0).size, size.transposed());
    for (const QString &file : {e.pageFile, e.workingCopy}) {
        const QImage turned = ImageFileReader::read(file);
        QCOMPARE(turned.size(), size.transposed());
        if (file.endsWith(".bmp")) {
            QCOMPARE(turned.dotsPerMeterX(), 7874);
            QCOMPARE(turned.dotsPerMeterY(), 3937);
        }
    }
    // TIFF and JPEG page files carry one resolution for both directions: kept.
    if (name.endsWith(".tif"))
        QCOMPARE(tiffXResolution(e.pageFile), 100.0f);
    if (name.endsWith(".jpg"))
        QCOMPARE(QImage(e.pageFile).dotsPerMeterX(), 3937);
    // Line art stays line art (not an 8-bit file eight times the size).
    if (format == QImage::Format_Mono && name.endsWith(".bmp"))
        QCOMPARE(QImage(e.pageFile).depth(), 1);
    // The working copy is BMP, so pixel-exact for every page format.
    QCOMPARE(pixels(e.workingCopy), copyBefore.transformed(QTransform().rotate(90)));

    QVERIFY(model.rotate(0, PageRotation::HalfTurn, &error));
    QVERIFY(model.rotate(0, PageRotation::Right, &error));
    QCOMPARE(model.entry(0).size, size);
    QCOMPARE(pixels(e.workingCopy), copyBefore);
    if (!name.endsWith(".jpg") || lossless)
        QCOMPARE(pixels(e.pageFile), pageBefore);
    // Nothing of the work is left next to the files.
    QCOMPARE(QDir(m_dir.filePath("dest")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    QCOMPARE(QDir(m_dir.filePath("temp")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

QTEST_GUILESS_MAIN(TestPageRotation)
#include "tst_pagerotation.moc"
