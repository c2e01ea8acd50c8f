// Compact documents: pages split into background, text stencil and text colour
// where that serves them, stored whole where it would harm them, and the other
// documents untouched by the option's existence. Pages are read back through
// poppler, not through the writer.

#include "PdfTestSupport.h"
#include "RealJpeg.h"
#include "pdf/PdfExport.h"
#include "support/DocumentScan.h"
#include "support/TextPage.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <jpeglib.h>

using namespace PdfTestSupport;
using PdfInspector::listImages;
using PdfInspector::qpdfClean;
using PdfInspector::runTool;
using PdfInspector::ToolResult;

namespace {

// Adobe-style CMYK (stored inverted), from a naive separation of the picture.
QByteArray cmykJpeg(const QImage &rgb)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.write_Adobe_marker = TRUE;
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = 300;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(rgb.width()) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const auto *in =
            reinterpret_cast<const QRgb *>(rgb.constScanLine(int(cinfo.next_scanline)));
        for (int x = 0; x < rgb.width(); ++x) {
            const int k = 255 - qMax(qRed(in[x]), qMax(qGreen(in[x]), qBlue(in[x])));
            const auto ink = [&](int v) { return k == 255 ? 0 : (255 - v - k) * 255 / (255 - k); };
            JSAMPLE *out = row.data() + size_t(x) * 4;
            out[0] = JSAMPLE(255 - ink(qRed(in[x])));
            out[1] = JSAMPLE(255 - ink(qGreen(in[x])));
            out[2] = JSAMPLE(255 - ink(qBlue(in[x])));
            out[3] = JSAMPLE(255 - k);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray data(reinterpret_cast<const char *>(buffer), int(size));
    free(buffer);
    return data;
}

QImage withDpi(QImage image, int dpi)
{
    const int dpm = int(dpi / 0.0254 + 0.5);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    return image;
}

// Mean difference per channel over the pixels where want is true.
double meanDifference(const QImage &a, const QImage &b, const std::function<bool(QRgb)> &want)
{
    qint64 sum = 0, count = 0;
    for (int y = 0; y < qMin(a.height(), b.height()); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < qMin(a.width(), b.width()); ++x) {
            if (!want(p[x]))
                continue;
            sum += qAbs(qRed(p[x]) - qRed(q[x])) + qAbs(qGreen(p[x]) - qGreen(q[x])) +
                   qAbs(qBlue(p[x]) - qBlue(q[x]));
            ++count;
        }
    }
    return count ? double(sum) / (3.0 * count) : 0;
}

int gray(QRgb p)
{
    return qGray(p);
}

} // namespace

class TestCompactPdf : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void pagesReadBack_data();
    void pagesReadBack();
    void straightenedPageKeepsItsSize_data();
    void straightenedPageKeepsItsSize();
    void otherDocumentsUnchanged_data();
    void otherDocumentsUnchanged();
};

// Every page comes back as it went in, split or stored whole: close to the input
// over the page and inside the text (never blank, never a negative), and split
// only where the page is dark text on light paper.
void TestCompactPdf::pagesReadBack_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("data"); // the file as written; empty: picture saved
    QTest::addColumn<QImage>("picture");  // what the page shows
    QTest::addColumn<bool>("split");

    const QImage document = DocumentScan::make(1240, 1600, 300).image;
    QTest::newRow("document") << "document.png" << QByteArray() << document << true;
    QTest::newRow("document at 600 dpi") << "document600.png" << QByteArray()
                                         << DocumentScan::make(1400, 1800, 600, 2).image << true;
    QTest::newRow("document, 16 bits per channel")
        << "document16.png" << QByteArray()
        << withDpi(document.convertToFormat(QImage::Format_RGBX64), 300) << true;
    QTest::newRow("document, CMYK JPEG") << "cmyk.jpg" << cmykJpeg(document) << document << true;
    QTest::newRow("document, gray ink on white")
        << "gray.png" << QByteArray()
        << DocumentScan::make(1240, 1600, 300, 3, Qt::white, QColor(90, 90, 90)).image << true;

    QImage photo(1200, 1600, QImage::Format_RGB32);
    {
        QPainter painter(&photo);
        QLinearGradient g(0, 0, 1200, 1600);
        g.setColorAt(0, QColor(20, 60, 140));
        g.setColorAt(0.6, QColor(230, 200, 120));
        g.setColorAt(1, QColor(30, 90, 40));
        painter.fillRect(photo.rect(), g);
        painter.setBrush(QColor(250, 250, 240));
        painter.drawEllipse(QPoint(800, 400), 150, 150);
    }
    QTest::newRow("photograph") << "photo.png" << QByteArray() << withDpi(photo, 300) << false;
    QImage black(900, 1200, QImage::Format_RGB32);
    black.fill(Qt::black);
    QTest::newRow("all black") << "black.png" << QByteArray() << withDpi(black, 300) << false;
    QImage white(900, 1200, QImage::Format_RGB32);
    white.fill(Qt::white);
    QTest::newRow("all white") << "white.png" << QByteArray() << withDpi(white, 300) << false;
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(qRgb(200, 40, 40));
    QTest::newRow("1 x 1") << "dot.png" << QByteArray() << dot << false;
    const QImage lineArt =
        withDpi(document.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)
                    .convertToFormat(QImage::Format_RGB32),
                300);
    QTest::newRow("black and white already") << "lineart.png" << QByteArray() << lineArt << false;
    QTest::newRow("light text on dark")
        << "negative.png" << QByteArray()
        << DocumentScan::make(1240, 1600, 300, 4, QColor(30, 35, 60), QColor(235, 235, 225)).image
        << false;
}

void TestCompactPdf::pagesReadBack()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, data);
    QFETCH(QImage, picture);
    QFETCH(bool, split);

    if (data.isEmpty())
        QVERIFY(picture.save(path(file)));
    else
        QVERIFY(writeFile(path(file), data));
    const QString pdf = path(file + QStringLiteral(".pdf"));
    PdfExportOptions options;
    options.compact = true;
    QString error;
    QVERIFY2(PdfExport::run({path(file)}, pdf, options, &error), qPrintable(error));
    QVERIFY(qpdfClean(pdf));

    const QList<ListedImage> images = listImages(pdf);
    const bool stencil = std::any_of(images.cbegin(), images.cend(), [](const ListedImage &i) {
        return i.encoding == QLatin1String("ccitt") && i.color == QLatin1String("-");
    });
    QCOMPARE(stencil, split);

    // Rendered by Ghostscript one pixel per pixel of the input (poppler smooths
    // black-and-white pictures even at their own size).
    const QString rendered = path(file + QStringLiteral("-render.png"));
    const ToolResult render =
        runTool(QStringLiteral("gs"),
                {QStringLiteral("-q"), QStringLiteral("-dNOPAUSE"), QStringLiteral("-dBATCH"),
                 QStringLiteral("-dSAFER"), QStringLiteral("-sDEVICE=png16m"),
                 QStringLiteral("-g%1x%2").arg(picture.width()).arg(picture.height()),
                 QStringLiteral("-dFIXEDMEDIA"), QStringLiteral("-dPDFFitPage"),
                 QStringLiteral("-sOutputFile=") + rendered, pdf});
    QVERIFY2(render.exitCode == 0 && render.err.isEmpty(), render.err);
    const QImage shown = QImage(rendered).convertToFormat(QImage::Format_RGB32);
    const QImage expected = picture.convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), expected.size());

    const double page = meanDifference(expected, shown, [](QRgb) { return true; });
    // The text, where the input is dark against light paper or light against dark.
    const int paper = gray(expected.pixel(expected.width() / 2, expected.height() - 1));
    const double text = meanDifference(expected, shown, [paper](QRgb p) {
        return paper > 128 ? gray(p) < paper / 3 : gray(p) > paper + 120;
    });
    qInfo("page %.1f, text %.1f", page, text);
    QVERIFY2(page < 8, qPrintable(QString::number(page)));
    QVERIFY2(text < 20, qPrintable(QString::number(text)));
}

// A page straightened before it is stored is measured by its resolution still:
// a tilted 300 dpi scan stays its size in points, whether stored whole or split.
void TestCompactPdf::straightenedPageKeepsItsSize_data()
{
    QTest::addColumn<bool>("archival");
    QTest::addColumn<bool>("compact");
    QTest::newRow("archival") << true << false;
    QTest::newRow("compact") << false << true;
    QTest::newRow("archival and compact") << true << true;
}

void TestCompactPdf::straightenedPageKeepsItsSize()
{
    QFETCH(bool, archival);
    QFETCH(bool, compact);
    const TextPage text = textPage(pageOfWords(), 1240, 1600);
    const QImage tilted = fedTurned(text.image, 3);
    const QString file = path(QStringLiteral("tilted.png"));
    QVERIFY(tilted.save(file));
    const QString pdf = path(QStringLiteral("tilted-%1%2.pdf").arg(archival).arg(compact));
    PdfExportOptions options;
    options.archival = archival;
    options.compact = compact;
    options.deskew = true;
    QString error;
    QVERIFY2(PdfExport::run({file}, pdf, options, &error), qPrintable(error));
    QVERIFY(qpdfClean(pdf));
    // 1240 x 1600 pixels at 300 dpi.
    QCOMPARE(PdfInspector::pageSizes(pdf), QList<QSize>{QSize(298, 384)});
}

// Without the option the default document is what the layout tables describe, byte
// for byte, whatever the pages: the compact numbering never leaks into it.
void TestCompactPdf::otherDocumentsUnchanged_data()
{
    QTest::addColumn<QList<int>>("components"); // of each page's JPEG
    QTest::newRow("one colour page") << QList<int>{3};
    QTest::newRow("gray, colour, CMYK") << QList<int>{1, 3, 4};
    QTest::newRow("nine pages") << QList<int>{3, 1, 3, 3, 4, 3, 1, 3, 3};
}

void TestCompactPdf::otherDocumentsUnchanged()
{
    QFETCH(QList<int>, components);
    QStringList files;
    QList<PageSpec> pages;
    for (int i = 0; i < components.size(); ++i) {
        const QByteArray jpeg = RealJpeg::make(64 + 8 * i, 48 + 8 * i, components[i]);
        const QString file = path(QStringLiteral("page%1.jpg").arg(i));
        QVERIFY(writeFile(file, jpeg));
        files << file;
        pages << PageSpec{64 + 8 * i, 48 + 8 * i, components[i], int(jpeg.size()), 0xC0, jpeg};
    }
    const QString pdf = path(QStringLiteral("default.pdf"));
    QString error;
    QVERIFY2(PdfExport::run(files, pdf, {}, &error), qPrintable(error));
    QCOMPARE(readFile(pdf), expectedDocument(pages));
}

QTEST_MAIN(TestCompactPdf)
#include "tst_compactpdf.moc"
