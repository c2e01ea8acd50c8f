#include "PdfTestSupport.h"
#include "RealJpeg.h"
#include "imaging/JpegCodec.h"
#include "pdf/PdfExport.h"
#include "pdf/TPDF.h"
#include "support/Prerequisite.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <tiffio.h>
#include <vector>

using namespace PdfTestSupport;

namespace {

QImage pattern(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] =
                qRgb((x * 7 + seed) & 0xff, (y * 3 + seed * 5) & 0xff, ((x ^ y) + seed) & 0xff);
    }
    return image;
}

bool writeTiff(const QString &path, const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    bool ok = true;
    for (int y = 0; y < image.height() && ok; ++y)
        ok = TIFFWriteScanline(tif, const_cast<uchar *>(image.constScanLine(y)), uint32_t(y)) == 1;
    TIFFClose(tif);
    return ok;
}

// Stands for a FIFO in the failure table.
const QByteArray FifoInput("\0fifo", 5);

} // namespace

class TestPdfExport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_inputs;
    QList<QSize> m_sizes;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    // Every kind of input the export takes, each of its own size.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (int i = 0; i < 4; ++i) {
            const QString bmp = path(QStringLiteral("colour%1.bmp").arg(i));
            QVERIFY(pattern(320 + 16 * i, 240 + 8 * i, i).save(bmp, "BMP"));
            m_inputs << bmp;
        }
        const QString gray = path(QStringLiteral("gray.bmp"));
        QVERIFY(pattern(200, 300, 9).convertToFormat(QImage::Format_Grayscale8).save(gray, "BMP"));
        const QString mono = path(QStringLiteral("mono.bmp"));
        QVERIFY(pattern(161, 97, 3).convertToFormat(QImage::Format_Mono).save(mono, "BMP"));
        const QString png = path(QStringLiteral("page.png"));
        QVERIFY(pattern(150, 120, 4).save(png, "PNG"));
        const QString tiff = path(QStringLiteral("page.tif"));
        QVERIFY(writeTiff(tiff, pattern(140, 180, 6)));
        const QString jpeg = path(QStringLiteral("photo.jpg"));
        QVERIFY(writeFile(jpeg, JpegCodec::encode(pattern(99, 77, 8), {})));
        const QString cmyk = path(QStringLiteral("cmyk.jpeg"));
        QVERIFY(writeFile(cmyk, RealJpeg::make(50, 60, 4)));
        const QString progressive = path(QStringLiteral("progressive.jpg"));
        QVERIFY(writeFile(progressive, RealJpeg::make(90, 70, 3, true)));
        const QString grayJpeg = path(QStringLiteral("gray.jpg"));
        QVERIFY(writeFile(grayJpeg, RealJpeg::make(80, 60, 1)));
        m_inputs << gray << mono << png << tiff << jpeg << cmyk << progressive << grayJpeg
                 << m_inputs[0];
        m_sizes = {{320, 240}, {336, 248}, {352, 256}, {368, 264}, {200, 300},
                   {161, 97},  {150, 120}, {140, 180}, {99, 77},   {50, 60},
                   {90, 70},   {80, 60},   {320, 240}};
    }

    void parallelMatchesSequential_data()
    {
        QTest::addColumn<int>("workers");
        QTest::newRow("one worker") << 1;
        QTest::newRow("two workers") << 2;
        QTest::newRow("five workers") << 5;
        QTest::newRow("one per core") << 0;
    }

    void parallelMatchesSequential()
    {
        QFETCH(int, workers);
        TPDF sequential(int(m_inputs.size()));
        for (const QString &input : std::as_const(m_inputs)) {
            const bool jpeg =
                input.endsWith(QLatin1String(".jpg")) || input.endsWith(QLatin1String(".jpeg"));
            QVERIFY2(jpeg ? sequential.AddJPEGPage(input) : sequential.AddBitmapPage(input),
                     qPrintable(sequential.errorString()));
        }
        const QString reference = path(QStringLiteral("sequential.pdf"));
        QVERIFY(sequential.SaveToFile(reference));

        PdfExportOptions options;
        options.workers = workers;
        QList<int> progress;
        options.progress = [&](int done, int total) {
            QCOMPARE(total, int(m_inputs.size()));
            progress << done;
        };
        const QString out = path(QStringLiteral("parallel.pdf"));
        QString error;
        QVERIFY2(PdfExport::run(m_inputs, out, options, &error), qPrintable(error));
        QCOMPARE(readFile(out), readFile(reference));
        QCOMPARE(progress.size(), m_inputs.size());
        for (int i = 0; i < progress.size(); ++i)
            QCOMPARE(progress[i], i + 1);
    }

    void realDocument()
    {
        if (!haveTool(QStringLiteral("qpdf")) || !haveTool(QStringLiteral("pdfimages")))
            SKIP_OR_FAIL_IN_CI("qpdf or poppler-utils not installed");
        const QString out = path(QStringLiteral("real.pdf"));
        QString error;
        QVERIFY2(PdfExport::run(m_inputs, out, {}, &error), qPrintable(error));
        const ToolResult check = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), out});
        QVERIFY2(check.exitCode == 0 && !check.out.contains("WARNING"), check.out + check.err);

        const QList<ListedImage> images = listImages(out);
        QCOMPARE(images.size(), m_inputs.size());
        for (int i = 0; i < images.size(); ++i) {
            QCOMPARE(images[i].page, i + 1);
            QCOMPARE(QSize(images[i].width, images[i].height), m_sizes[i]);
            // JPEG pages keep their components; every other page becomes colour.
            const int components = m_inputs[i].endsWith(QLatin1String("cmyk.jpeg"))  ? 4
                                   : m_inputs[i].endsWith(QLatin1String("gray.jpg")) ? 1
                                                                                     : 3;
            QCOMPARE(images[i].components, components);
        }
    }

    void failure_data()
    {
        QTest::addColumn<QString>("badName");
        QTest::addColumn<QByteArray>("badContents"); // null: the file does not exist
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const char *file, const QByteArray &contents,
                            const char *reason) {
            QTest::newRow(name) << QString::fromLatin1(file) << contents
                                << QString::fromLatin1(reason);
        };
        row("missing bitmap", "missing.bmp", QByteArray(), "Unable to open file");
        row("damaged bitmap", "damaged.bmp", QByteArray("BM\x10\0\0\0garbage", 13),
            "not a readable image");
        row("not a jpeg", "text.jpg", QByteArray("plain text"), "no start-of-image");
        row("truncated jpeg", "cut.jpg", fakeJpeg(10, 10, 3).left(30), "ends before");
        row("jpeg cut in half", "half.jpg", RealJpeg::cutInHalf(), "Premature end");
        row("jpeg header only", "header.jpg", RealJpeg::headerOnly(), "missing SOS marker");
        row("jpeg damaged in the middle", "middle.jpg", RealJpeg::damagedInTheMiddle(),
            "damaged JPEG data");
        row("fifo", "fifo.jpg", FifoInput, "not a regular file");
        row("damaged tiff", "cut.tif", QByteArray("II*\0\x08\0\0\0\xff\xff", 10),
            "Unable to open file");
    }

    // A bad page anywhere ends the export with its name and reason; nothing is written.
    void failure()
    {
        QFETCH(QString, badName);
        QFETCH(QByteArray, badContents);
        QFETCH(QString, reason);
        const QString bad = path(badName);
        QFile::remove(bad);
        if (badContents == FifoInput)
            QCOMPARE(mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
        else if (!badContents.isNull())
            QVERIFY(writeFile(bad, badContents));
        const QString out = path(QStringLiteral("failed.pdf"));
        QVERIFY(writeFile(out, "keep me"));

        QStringList inputs = m_inputs;
        inputs.insert(5, bad);
        for (int workers : {1, 3}) {
            PdfExportOptions options;
            options.workers = workers;
            QString error;
            QElapsedTimer clock;
            clock.start();
            QVERIFY(!PdfExport::run(inputs, out, options, &error));
            // Nothing waits for a writer that never comes.
            QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
            QVERIFY2(error.contains(bad) && error.contains(reason), qPrintable(error));
            QCOMPARE(readFile(out), QByteArray("keep me"));
        }
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("failed.pdf*")}).size(), 1);
    }

    void cancel()
    {
        std::atomic_bool stop{false};
        PdfExportOptions options;
        options.workers = 2;
        options.cancel = &stop;
        int calls = 0;
        options.progress = [&](int done, int) {
            calls = done;
            if (done == 3)
                stop = true;
        };
        const QString out = path(QStringLiteral("cancelled.pdf"));
        QString error;
        QVERIFY(!PdfExport::run(m_inputs, out, options, &error));
        QCOMPARE(calls, 3);
        QVERIFY(error.contains(QLatin1String("cancelled")));
        QVERIFY(!QFile::exists(out));
    }

    void nothingToExport()
    {
        QString error;
        QVERIFY(!PdfExport::run({}, path(QStringLiteral("empty.pdf")), {}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(path(QStringLiteral("empty.pdf"))));
    }
};

QTEST_GUILESS_MAIN(TestPdfExport)
#include "tst_pdfexport.moc"
