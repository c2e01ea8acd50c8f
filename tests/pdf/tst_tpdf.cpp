#include "PdfTestSupport.h"
#include "imaging/JpegCodec.h"
#include "ocr/PdfWord.h"
#include "pdf/JpegHeader.h"
#include "pdf/TPDF.h"
#include "support/Prerequisite.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using namespace PdfTestSupport;

namespace {

QByteArray realJpeg(int width, int height, bool gray = false)
{
    QImage image(width, height, gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           gray ? uint(x * 255 / width) : qRgb(x % 256, y % 256, (x + y) % 256));
    return JpegCodec::encode(image, {});
}

} // namespace

class TestTPDF : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString writeJpeg(const QString &name, const QByteArray &data)
    {
        const QString p = path(name);
        writeFile(p, data);
        return p;
    }

private slots:
    void layout_data()
    {
        QTest::addColumn<QList<PageSpec>>("pages");
        QTest::newRow("one rgb page") << QList<PageSpec>{{1700, 2200, 3, 1000, 0xFFC0}};
        QTest::newRow("rgb and cmyk")
            << QList<PageSpec>{{1700, 2200, 3, 1000, 0xFFC0}, {640, 480, 4, 777, 0xFFC0}};
        QTest::newRow("rgb, cmyk, progressive gray") << QList<PageSpec>{
            {2480, 3508, 3, 4096, 0xFFC0}, {1, 1, 4, 300, 0xFFC0}, {65535, 20, 1, 512, 0xFFC2}};
    }

    void layout()
    {
        QFETCH(QList<PageSpec>, pages);
        TPDF pdf(int(pages.size()));
        for (int k = 0; k < pages.size(); ++k) {
            const PageSpec &p = pages[k];
            const QString file =
                writeJpeg(QStringLiteral("page%1.jpg").arg(k),
                          fakeJpeg(p.width, p.height, p.components, p.size, p.frameMarker));
            QVERIFY2(pdf.AddJPEGPage(file), qPrintable(pdf.errorString()));
        }
        const QString out = path(QStringLiteral("layout.pdf"));
        QVERIFY2(pdf.SaveToFile(out), qPrintable(pdf.errorString()));
        QCOMPARE(readFile(out), expectedDocument(pages));
    }

    // The worked example: 1700 x 2200, three components, 1000 bytes.
    void workedExample()
    {
        TPDF pdf(1);
        QVERIFY(pdf.AddJPEGPage(writeJpeg(QStringLiteral("example.jpg"), fakeJpeg(1700, 2200, 3))));
        const QString out = path(QStringLiteral("example.pdf"));
        QVERIFY(pdf.SaveToFile(out));
        const QByteArray doc = readFile(out);

        QCOMPARE(doc.size(), 1724);
        QCOMPARE(doc.indexOf("1 0 obj\n"), 9);
        QCOMPARE(doc.indexOf("2 0 obj\n"), 58);
        QCOMPARE(doc.indexOf("3 0 obj\n"), 117);
        QCOMPARE(doc.indexOf("4 0 obj\n"), 277);
        QCOMPARE(doc.indexOf("5 0 obj\n"), 1459);
        QVERIFY(doc.contains(
            "5 0 obj\n<< /Length 33 >>\nstream\nq\n1700 0 0 2200 0 0 cm\n/Im4 Do\nQ\n"));
        QCOMPARE(doc.indexOf("xref\n"), 1541);
        QVERIFY(doc.contains("xref\n0 6\n0000000000 65535 f \n0000000009 00000 n \n"
                             "0000000058 00000 n \n0000000117 00000 n \n0000000277 00000 n \n"
                             "0000001459 00000 n \ntrailer\n<<\n/Size 6\n/Root 1 0 R\n>>\n"));
        QVERIFY(doc.endsWith("startxref\n1541\n%%EOF"));
        QVERIFY(doc.contains(QByteArray("\xFF\xD9", 2) + "endstream\n"));
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray soi = word(0xFFD8);
        QTest::newRow("no start of image")
            << QByteArray("GIF89a........") << QString("no start-of-image");
        QTest::newRow("empty file") << QByteArray("") << QString("ends before");
        QTest::newRow("ends before frame") << soi + segment(0xFFE0, 14) << QString("ends before");
        QTest::newRow("truncated segment")
            << soi + word(0xFFE0) + word(900) + QByteArray(10, 0) << QString("ends before");
        QTest::newRow("end of image first")
            << soi + word(0xFFD9) + frame(0xFFC0, 4, 4, 3) << QString("no baseline or progressive");
    }

    // A refused page writes nothing, and the document it belongs to is never saved:
    // its page tree already counts the page.
    void refused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString bad = writeJpeg(QStringLiteral("bad.jpg"), bytes);
        const QString out = path(QStringLiteral("refused.pdf"));
        writeFile(out, "older document");

        TPDF pdf(2);
        QVERIFY(pdf.AddJPEGPage(writeJpeg(QStringLiteral("good.jpg"), fakeJpeg(10, 10, 3))));
        const QByteArray before = pdf.data();
        QVERIFY(!pdf.AddJPEGPage(bad));
        QVERIFY2(pdf.errorString().contains(bad) && pdf.errorString().contains(reason),
                 qPrintable(pdf.errorString()));
        QCOMPARE(pdf.data(), before);

        QVERIFY(!pdf.SaveToFile(out));
        QVERIFY(pdf.errorString().contains(bad));
        QCOMPARE(readFile(out), QByteArray("older document"));
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("refused.pdf*")}).size(), 1);
    }

    void misuse()
    {
        TPDF empty(1);
        QVERIFY(!empty.AddJPEGPage(QString()));
        QCOMPARE(empty.errorString(), QStringLiteral("FileName is empty"));
        QVERIFY(!empty.AddJPEGPage(path(QStringLiteral("missing.jpg"))));
        QCOMPARE(empty.errorString(),
                 QStringLiteral("Unable to open file '%1': No such file or directory")
                     .arg(path(QStringLiteral("missing.jpg"))));

        const QString jpeg = writeJpeg(QStringLiteral("one.jpg"), fakeJpeg(20, 20, 3));
        TPDF tooMany(1);
        QVERIFY(tooMany.AddJPEGPage(jpeg));
        QVERIFY(!tooMany.AddJPEGPage(jpeg));
        QVERIFY(tooMany.SaveToFile(path(QStringLiteral("one.pdf"))));
        QVERIFY(!tooMany.AddJPEGPage(jpeg));

        TPDF none(0);
        QVERIFY(!none.SaveToFile(path(QStringLiteral("none.pdf"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("none.pdf"))));

        TPDF tooFew(3);
        QVERIFY(tooFew.AddJPEGPage(jpeg));
        QVERIFY(!tooFew.SaveToFile(path(QStringLiteral("few.pdf"))));
        QVERIFY(tooFew.errorString().contains(QLatin1String("3 pages")));
        QVERIFY(!QFile::exists(path(QStringLiteral("few.pdf"))));
    }

    void saveFailures()
    {
        TPDF pdf(1);
        QVERIFY(pdf.AddJPEGPage(writeJpeg(QStringLiteral("s.jpg"), fakeJpeg(20, 20, 3))));
        QVERIFY(!pdf.SaveToFile(path(QStringLiteral("no/such/folder/x.pdf"))));
        QVERIFY(pdf.errorString().contains(QLatin1String("no/such/folder/x.pdf")));
        QDir(m_dir.path()).mkdir(QStringLiteral("adir.pdf"));
        QVERIFY(!pdf.SaveToFile(path(QStringLiteral("adir.pdf"))));

        // Replacing a longer file leaves nothing of it behind; saving twice is stable.
        const QString out = path(QStringLiteral("replace.pdf"));
        writeFile(out, QByteArray(100000, 'x'));
        QVERIFY(pdf.SaveToFile(out));
        const QByteArray first = readFile(out);
        QVERIFY(first.startsWith("%PDF-1.5\n") && first.endsWith("%%EOF"));
        QVERIFY(pdf.SaveToFile(out));
        QCOMPARE(readFile(out), first);
    }

    // The offset table grows: far more pages than the old 99, valid for qpdf and poppler.
    void manyPages()
    {
        constexpr int pages = 150;
        const QString rgb = writeJpeg(QStringLiteral("rgb.jpg"), realJpeg(40, 30));
        const QString gray = writeJpeg(QStringLiteral("gray.jpg"), realJpeg(30, 40, true));
        TPDF pdf(pages);
        for (int k = 0; k < pages; ++k)
            QVERIFY(pdf.AddJPEGPage(k % 3 ? rgb : gray));
        const QString out = path(QStringLiteral("many.pdf"));
        QVERIFY(pdf.SaveToFile(out));
        const QByteArray doc = readFile(out);
        QVERIFY(doc.contains("/Count 150\n"));
        QVERIFY(doc.contains("\n/Size 602\n"));
        QCOMPARE(doc.count("0000000000 00001 f \n"), pages - 1);
        QCOMPARE(doc.count("/ColorSpace /DeviceGray\n"), pages / 3);

        if (!haveTool(QStringLiteral("qpdf")) || !haveTool(QStringLiteral("pdfinfo")))
            SKIP_OR_FAIL_IN_CI("qpdf or poppler-utils not installed");
        const ToolResult check = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), out});
        QVERIFY2(check.exitCode == 0, check.out + check.err);
        QVERIFY2(!check.out.contains("WARNING") && check.err.isEmpty(), check.out + check.err);
        const ToolResult info = runTool(QStringLiteral("pdfinfo"), {out});
        QVERIFY(info.out.contains("Pages:           150"));
        QVERIFY2(info.err.isEmpty(), info.err);
        const QList<ListedImage> images = listImages(out);
        QCOMPARE(images.size(), pages);
        QCOMPARE(images[0].color, QStringLiteral("gray"));
        QCOMPARE(images[1].color, QStringLiteral("rgb"));
        QCOMPARE(images[1].width, 40);
    }

    // Bitmap pages become baseline three-component JPEGs of the bitmap's size, gray
    // and black-and-white pages included, and leave no file behind.
    void bitmapPages()
    {
        QImage colour(301, 207, QImage::Format_RGB32);
        colour.fill(qRgb(200, 40, 90));
        QImage gray(64, 480, QImage::Format_Grayscale8);
        gray.fill(128);
        QImage mono(333, 99, QImage::Format_Mono);
        mono.fill(1);
        const QList<QImage> images{colour, gray, mono};

        TPDF pdf(int(images.size()));
        for (int i = 0; i < images.size(); ++i) {
            const QString bmp = path(QStringLiteral("bitmap%1.bmp").arg(i));
            QVERIFY(images[i].save(bmp, "BMP"));
            QVERIFY2(pdf.AddBitmapPage(bmp), qPrintable(pdf.errorString()));
        }
        const QString out = path(QStringLiteral("bitmaps.pdf"));
        QVERIFY(pdf.SaveToFile(out));
        QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral("bitmap*.jpg")}).isEmpty());

        const QByteArray doc = readFile(out);
        qsizetype from = 0;
        for (const QImage &image : images) {
            const qsizetype start = doc.indexOf("stream\n\xFF\xD8", from) + 7;
            const qsizetype end = doc.indexOf("endstream\n", start);
            QVERIFY(start > 7 && end > start);
            const QByteArray jpeg = doc.mid(start, end - start);
            JpegFrameInfo info;
            QCOMPARE(ReadJPEGHeader(reinterpret_cast<const std::uint8_t *>(jpeg.constData()),
                                    std::size_t(jpeg.size()), info),
                     JpegHeaderStatus::Ok);
            QCOMPARE(info.components, 3);
            QVERIFY(jpeg.contains("\xFF\xC0")); // baseline frame
            const QImage decoded = JpegCodec::decode(jpeg);
            QCOMPARE(decoded.size(), image.size());
            const QColor expected = image.pixelColor(image.width() / 2, image.height() / 2);
            const QColor actual = decoded.pixelColor(image.width() / 2, image.height() / 2);
            QVERIFY(qAbs(expected.red() - actual.red()) < 6);
            QVERIFY(qAbs(expected.blue() - actual.blue()) < 6);
            from = end;
        }
        QCOMPARE(doc.count("/ColorSpace /DeviceRGB\n"), 3);

        if (!haveTool(QStringLiteral("pdfimages")))
            SKIP_OR_FAIL_IN_CI("poppler-utils not installed");
        const QList<ListedImage> listed = listImages(out);
        QCOMPARE(listed.size(), 3);
        for (int i = 0; i < listed.size(); ++i) {
            QCOMPARE(listed[i].page, i + 1);
            QCOMPARE(QSize(listed[i].width, listed[i].height), images[i].size());
            QCOMPARE(listed[i].components, 3);
            QCOMPARE(listed[i].encoding, QStringLiteral("jpeg"));
        }
    }

    // Recognised words become an invisible text layer that pdftotext reads back, in
    // any script and where they were placed; words with nothing to show leave the
    // document exactly as it is without them.
    void textLayer_data()
    {
        QTest::addColumn<QList<PdfWords>>("pages");
        const PdfWords english{{QStringLiteral("Searchable"), QRect(100, 100, 500, 80)},
                               {QStringLiteral("pages,"), QRect(650, 100, 300, 80)},
                               {QStringLiteral("at last"), QRect(100, 300, 400, 60)}};
        const PdfWords russian{{QStringLiteral("Привет,"), QRect(80, 400, 420, 90)},
                               {QStringLiteral("ёжик"), QRect(560, 400, 260, 90)}};
        QTest::newRow("english") << QList<PdfWords>{english};
        QTest::newRow("russian, a page without words, english")
            << QList<PdfWords>{russian, {}, english};
        QTest::newRow("120 pages") << QList<PdfWords>(120, english + russian);
        QTest::newRow("nothing to show")
            << QList<PdfWords>{{{QStringLiteral("  "), QRect(10, 10, 50, 50)},
                                {QStringLiteral("gone"), QRect(5000, 10, 50, 50)},
                                {QStringLiteral("flat"), QRect(10, 10, 50, 0)}}};
    }

    void textLayer()
    {
        QFETCH(QList<PdfWords>, pages);
        const QString jpeg = writeJpeg(QStringLiteral("text.jpg"), realJpeg(1000, 600));
        TPDF pdf(int(pages.size())), plain(int(pages.size()));
        for (const PdfWords &words : pages) {
            QVERIFY2(pdf.addJpegData(readFile(jpeg), jpeg, words), qPrintable(pdf.errorString()));
            QVERIFY(plain.AddJPEGPage(jpeg));
        }
        const QString out = path(QStringLiteral("text.pdf"));
        QVERIFY2(pdf.SaveToFile(out), qPrintable(pdf.errorString()));
        QVERIFY(plain.SaveToFile(path(QStringLiteral("plain.pdf"))));

        QList<FoundWord> expected;
        for (int k = 0; k < pages.size(); ++k) {
            for (const PdfWord &word : pages[k]) {
                if (!word.text.trimmed().isEmpty() && word.box.height() > 0 && word.box.x() < 1000)
                    for (const QString &part : word.text.split(QLatin1Char(' ')))
                        expected.append({k + 1, part, QRectF(word.box)});
            }
        }
        if (expected.isEmpty()) {
            QCOMPARE(readFile(out), readFile(path(QStringLiteral("plain.pdf"))));
            return;
        }
        if (!haveTool(QStringLiteral("qpdf")) || !haveTool(QStringLiteral("pdftotext")))
            SKIP_OR_FAIL_IN_CI("qpdf or poppler-utils not installed");
        const ToolResult check = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), out});
        QVERIFY2(check.exitCode == 0 && !check.out.contains("WARNING"), check.out + check.err);
        const ToolResult render =
            runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("10"), out,
                                                 path(QStringLiteral("render"))});
        QVERIFY2(render.exitCode == 0 && render.err.isEmpty(), render.err);

        const QList<FoundWord> found = findWords(out);
        QCOMPARE(found.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(found[i].page, expected[i].page);
            QCOMPARE(found[i].text, expected[i].text);
            // A word of two parts shares its box; each part lies inside it.
            QVERIFY2(covered(found[i].box, expected[i].box) > 0.9,
                     qPrintable(found[i].text + QLatin1Char(' ') +
                                QString::number(covered(found[i].box, expected[i].box))));
        }
    }

    void bitmapFailures()
    {
        TPDF pdf(1);
        const QString missing = path(QStringLiteral("gone.bmp"));
        QVERIFY(!pdf.AddBitmapPage(missing));
        QCOMPARE(pdf.errorString(), QStringLiteral("Unable to open file '%1'").arg(missing));
        const QString broken = writeJpeg(QStringLiteral("broken.bmp"), "BM this is no bitmap");
        QVERIFY(!pdf.AddBitmapPage(broken));
        QVERIFY(pdf.errorString().contains(broken));
        QVERIFY(!pdf.SaveToFile(path(QStringLiteral("never.pdf"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("never.pdf"))));
    }
};

QTEST_GUILESS_MAIN(TestTPDF)
#include "tst_tpdf.moc"
