// Archival (PDF/A-2b) documents: every kind of page picture, checked through the
// external readers (poppler, qpdf, Ghostscript) rather than through the writer.

#include "PdfTestSupport.h"
#include "ocr/OcrEnginePool.h"
#include "pdf/PdfExport.h"
#include "pdf/TPDF.h"
#include "support/TextPage.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <jpeglib.h>
#include <tiffio.h>

using namespace PdfTestSupport;
using PdfInspector::pageCount;
using PdfInspector::pageSizes;
using PdfInspector::qpdfClean;

namespace {

constexpr int kDotsPerMeter300 = 11811;

// A page of text in black and white, like a scanned one-page letter.
QImage letterPage(int width, int height)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(height / 80);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog, 0123456789.");
    for (int row = 0; row < 15; ++row)
        painter.drawText(width / 12, height / 10 + row * height / 40, line);
    painter.end();
    // Strictly two values, as a scanner's line-art mode delivers them.
    return page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)
        .convertToFormat(QImage::Format_RGB32);
}

// Few colours: a drawing, kept losslessly.
QImage drawing(int width, int height, bool gray)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setPen(QPen(gray ? QColor(90, 90, 90) : QColor(200, 30, 40), 6));
    for (int i = 0; i < 12; ++i)
        painter.drawRect(20 + i * width / 30, 20 + i * height / 30, width / 2, height / 3);
    painter.fillRect(width / 3, height / 2, width / 4, height / 5,
                     gray ? QColor(180, 180, 180) : QColor(20, 120, 200));
    return page;
}

// Many values: a photograph, stored as JPEG.
QImage photo(int width, int height, bool gray)
{
    QImage page(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int v = qMin(255, x * 240 / width + (x * 7 + y * 13) % 9);
            row[x] = gray ? qRgb(v, v, v) : qRgb(v, (y * 255 / height), 255 - v);
        }
    }
    return page;
}

// A black-and-white TIFF written bit by bit: fillOrder 2 stores each byte's pixels
// from the lowest bit, min-is-black stores black as 0.
bool writeBilevelTiff(const QString &path, const QImage &rgb, uint16_t fillOrder,
                      uint16_t photometric, uint16_t compression, float dpi)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(rgb.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(rgb.height()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_FILLORDER, fillOrder);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rgb.height()));
    if (dpi > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, dpi);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, dpi);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t(RESUNIT_INCH));
    }
    const int stride = (rgb.width() + 7) / 8;
    QByteArray row(stride, '\0');
    bool ok = true;
    for (int y = 0; y < rgb.height() && ok; ++y) {
        row.fill('\0');
        const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const bool black = qGray(in[x]) < 128;
            if (black == (photometric == PHOTOMETRIC_MINISWHITE))
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y)) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

// A 1-bit BMP as some scanners write it: palette entry 0 white, set bits black,
// no resolution in the header.
QByteArray whiteFirstBmp(const QImage &rgb)
{
    const auto le32 = [](quint32 v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    const auto le16 = [](quint16 v) {
        QByteArray b(2, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    const int stride = ((rgb.width() + 31) / 32) * 4;
    QByteArray pixels;
    for (int y = rgb.height() - 1; y >= 0; --y) { // bottom-up
        QByteArray row(stride, '\0');
        const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if (qGray(in[x]) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        pixels += row;
    }
    const quint32 offset = 14 + 40 + 8;
    QByteArray bmp = "BM" + le32(offset + quint32(pixels.size())) + le32(0) + le32(offset);
    bmp += le32(40) + le32(quint32(rgb.width())) + le32(quint32(rgb.height())) + le16(1) + le16(1) +
           le32(0) + le32(quint32(pixels.size())) + le32(0) + le32(0) + le32(2) + le32(0);
    bmp += QByteArray("\xff\xff\xff\x00\x00\x00\x00\x00", 8);
    return bmp + pixels;
}

bool write16BitTiff(const QString &path, const QImage &rgb)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(rgb.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(rgb.height()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(16));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
    std::vector<uint16_t> row(size_t(rgb.width()) * 3);
    bool ok = true;
    for (int y = 0; y < rgb.height() && ok; ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            // The low byte differs from the high one: only the high one may count.
            row[size_t(x) * 3] = uint16_t(qRed(in[x]) * 257 ^ 0x5A);
            row[size_t(x) * 3 + 1] = uint16_t(qGreen(in[x]) * 257 ^ 0x5A);
            row[size_t(x) * 3 + 2] = uint16_t(qBlue(in[x]) * 257 ^ 0x5A);
        }
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y)) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

// A JPEG of one CMYK colour, inverted and marked as Adobe's encoders write it.
QByteArray cmykJpeg(int width, int height, const uchar cmyk[4])
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    cinfo.write_Adobe_marker = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * 4);
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < 4; ++c)
            row[size_t(x) * 4 + size_t(c)] = JSAMPLE(255 - cmyk[c]);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray data(reinterpret_cast<const char *>(buffer), int(size));
    free(buffer);
    return data;
}

// The picture of page `page` (1-based) as poppler decodes it from the document.
// With stream, a JPEG picture's own data (pdfimages -j), decoded here.
QImage extractedImage(const QString &pdf, int page, const QString &prefix, bool stream = false)
{
    const ToolResult r =
        runTool(QStringLiteral("pdfimages"),
                {stream ? QStringLiteral("-j") : QStringLiteral("-png"), QStringLiteral("-f"),
                 QString::number(page), QStringLiteral("-l"), QString::number(page), pdf, prefix});
    if (r.exitCode != 0)
        return {};
    return QImage(prefix + (stream ? QStringLiteral("-000.jpg") : QStringLiteral("-000.png")))
        .convertToFormat(QImage::Format_RGB32);
}

// Mean difference per channel: 0 for equal pictures, large for a negative.
double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 255;
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += qAbs(qRed(p[x]) - qRed(q[x])) + qAbs(qGreen(p[x]) - qGreen(q[x])) +
                   qAbs(qBlue(p[x]) - qBlue(q[x]));
    }
    return double(sum) / (3.0 * a.width() * a.height());
}

QString metadataOf(const QString &pdf)
{
    return QString::fromUtf8(
        runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), pdf}).out);
}

} // namespace

class TestPdfA : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        for (const char *tool : {"qpdf", "pdfinfo", "pdfimages", "pdffonts", "gs"})
            QVERIFY2(haveTool(QString::fromLatin1(tool)), tool);
    }

    void pageKinds_data();
    void pageKinds();
    void mixedDocumentIsArchival_data();
    void mixedDocumentIsArchival();
    void streamsToItsFile();
    void failureWritesNothing();
};

void TestPdfA::pageKinds_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QImage>("picture");   // what the file shows, as RGB
    QTest::addColumn<QSize>("points");     // page size, rounded
    QTest::addColumn<QString>("encoding"); // as pdfimages -list names it
    QTest::addColumn<QString>("colour");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("lossless"); // the decoded picture equals the input
    QTest::addColumn<int>("maxBytes");  // the image stream at most; 0: any

    const QString dir = m_dir.path() + QLatin1Char('/');
    // Line art, A4 at 300 dpi: Group 4, sharp and small.
    const QImage letter = letterPage(2480, 3508);
    QVERIFY(writeBilevelTiff(dir + "letter.tif", letter, FILLORDER_MSB2LSB, PHOTOMETRIC_MINISWHITE,
                             COMPRESSION_CCITTFAX4, 300));
    QTest::newRow("line art TIFF, A4 300 dpi")
        << "letter.tif" << letter << QSize(595, 842) << "ccitt"
        << "gray" << 1 << true << 20000;

    const QImage small = letterPage(1700, 2200);
    QVERIFY(writeBilevelTiff(dir + "reversed.tif", small, FILLORDER_LSB2MSB, PHOTOMETRIC_MINISBLACK,
                             COMPRESSION_NONE, 200));
    QTest::newRow("line art TIFF, fill order 2, min-is-black, 200 dpi")
        << "reversed.tif" << small << QSize(612, 792) << "ccitt"
        << "gray" << 1 << true << 0;

    // A 1-bit BMP whose palette puts white first: black must stay black. No
    // resolution: one pixel per point.
    QVERIFY(writeFile(dir + "inverted.bmp", whiteFirstBmp(small)));
    QTest::newRow("1-bit BMP, inverted palette, no resolution")
        << "inverted.bmp" << small << QSize(1700, 2200) << "ccitt"
        << "gray" << 1 << true << 0;

    // Gray pictures keep one component, whichever filter wins.
    QImage grayDrawing = drawing(1240, 1754, true);
    grayDrawing.setDotsPerMeterX(5906); // 150 dpi
    grayDrawing.setDotsPerMeterY(5906);
    QVERIFY(grayDrawing.convertToFormat(QImage::Format_Grayscale8).save(dir + "drawing.png"));
    QTest::newRow("gray drawing PNG, 150 dpi: lossless")
        << "drawing.png" << grayDrawing << QSize(595, 842) << "image"
        << "gray" << 8 << true << 0;

    QImage grayPhoto = photo(600, 800, true).convertToFormat(QImage::Format_Grayscale8);
    grayPhoto.setDotsPerMeterX(kDotsPerMeter300);
    grayPhoto.setDotsPerMeterY(kDotsPerMeter300);
    QVERIFY(grayPhoto.save(dir + "grayphoto.bmp"));
    QTest::newRow("gray photograph BMP, 300 dpi: one-component JPEG")
        << "grayphoto.bmp" << grayPhoto.convertToFormat(QImage::Format_RGB32) << QSize(144, 192)
        << "jpeg"
        << "gray" << 8 << false << 0;

    // Different resolutions across and down.
    QImage colourDrawing = drawing(1200, 900, false);
    colourDrawing.setDotsPerMeterX(kDotsPerMeter300);
    colourDrawing.setDotsPerMeterY(kDotsPerMeter300 / 2);
    QVERIFY(colourDrawing.save(dir + "colour.bmp", "BMP"));
    QTest::newRow("colour drawing BMP, 300 x 150 dpi: lossless")
        << "colour.bmp" << colourDrawing << QSize(288, 432) << "image"
        << "rgb" << 8 << true << 0;

    QImage colourPhoto = photo(800, 600, false);
    colourPhoto.setDotsPerMeterX(kDotsPerMeter300);
    colourPhoto.setDotsPerMeterY(kDotsPerMeter300);
    QVERIFY(colourPhoto.save(dir + "photo.png"));
    QTest::newRow("colour photograph PNG, 300 dpi: JPEG")
        << "photo.png" << colourPhoto << QSize(192, 144) << "jpeg"
        << "rgb" << 8 << false << 0;

    // A JPEG file as a scanner writes it (standard Huffman tables): its coefficients
    // are kept, so the stream decodes to the file's pixels, in fewer bytes.
    QImage scan = photo(1200, 900, false);
    scan.setDotsPerMeterX(kDotsPerMeter300);
    scan.setDotsPerMeterY(kDotsPerMeter300);
    QVERIFY(scan.save(dir + "scan.jpg", "JPEG", 85));
    QTest::newRow("colour JPEG file, 300 dpi: its own pixels, fewer bytes")
        << "scan.jpg" << QImage(dir + "scan.jpg") << QSize(288, 216) << "jpeg"
        << "rgb" << 8 << true << int(QFileInfo(dir + "scan.jpg").size()) - 1;

    const QImage deep = drawing(400, 300, false);
    QVERIFY(write16BitTiff(dir + "deep.tif", deep));
    QTest::newRow("16-bit TIFF: its high bytes") << "deep.tif" << deep << QSize(400, 300) << "image"
                                                 << "rgb" << 8 << true << 0;

    const uchar red[4] = {0, 255, 255, 0};
    QVERIFY(writeFile(dir + "cmyk.jpg", cmykJpeg(320, 240, red)));
    QImage redPage(320, 240, QImage::Format_RGB32);
    redPage.fill(qRgb(255, 0, 0));
    // One colour: lossless Flate beats the JPEG.
    QTest::newRow("CMYK JPEG: RGB, not a negative")
        << "cmyk.jpg" << redPage << QSize(320, 240) << "image"
        << "rgb" << 8 << false << 0;
}

void TestPdfA::pageKinds()
{
    QFETCH(QString, file);
    QFETCH(QImage, picture);
    QFETCH(QSize, points);
    QFETCH(QString, encoding);
    QFETCH(QString, colour);
    QFETCH(int, bits);
    QFETCH(bool, lossless);
    QFETCH(int, maxBytes);

    const QString pdf = path(file + QStringLiteral(".pdf"));
    PdfExportOptions options;
    options.archival = true;
    QString error;
    QVERIFY2(PdfExport::run({path(file)}, pdf, options, &error), qPrintable(error));
    QVERIFY(qpdfClean(pdf));

    const QList<QSize> sizes = pageSizes(pdf);
    QCOMPARE(sizes.size(), 1);
    QVERIFY2(qAbs(sizes[0].width() - points.width()) <= 1 &&
                 qAbs(sizes[0].height() - points.height()) <= 1,
             qPrintable(QStringLiteral("%1 x %2").arg(sizes[0].width()).arg(sizes[0].height())));

    const QList<ListedImage> images = listImages(pdf);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images[0].encoding, encoding);
    QCOMPARE(images[0].color, colour);
    QCOMPARE(QSize(images[0].width, images[0].height), picture.size());
    const ToolResult list = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    QVERIFY(list.out.split('\n').value(2).simplified().split(' ').value(7).toInt() == bits);

    if (maxBytes > 0) {
        // The page's picture as qpdf reads it (the document adds its profile and
        // metadata once, about 4 KB).
        const QByteArray object =
            runTool(QStringLiteral("qpdf"), {QStringLiteral("--show-object=4"), pdf}).out;
        const QRegularExpressionMatch length =
            QRegularExpression(QStringLiteral("/Length (\\d+)")).match(QString::fromLatin1(object));
        QVERIFY2(length.hasMatch(), object);
        QVERIFY2(length.captured(1).toInt() <= maxBytes, qPrintable(length.captured(1)));
    }

    // A lossless JPEG row compares the stream as the same decoder reads both.
    const QImage decoded = extractedImage(pdf, 1, path(file + QStringLiteral("-image")),
                                          lossless && encoding == "jpeg");
    QVERIFY(!decoded.isNull());
    const double difference = meanDifference(decoded, picture);
    if (lossless)
        QCOMPARE(decoded, picture.convertToFormat(QImage::Format_RGB32));
    else
        QVERIFY2(difference < 12, qPrintable(QString::number(difference)));
}

// Ten pages of every kind, one of them searchable: what a validator's first round
// looks at, and every page rendered by Ghostscript. A compact document (its text
// page split into layers) passes the same checks.
void TestPdfA::mixedDocumentIsArchival_data()
{
    QTest::addColumn<bool>("compact");
    QTest::newRow("archival") << false;
    QTest::newRow("archival and compact") << true;
}

void TestPdfA::mixedDocumentIsArchival()
{
    QFETCH(bool, compact);
    QStringList files;
    const auto add = [&](const QString &name, const QImage &image) {
        QVERIFY(image.save(path(name)));
        files << path(name);
    };
    TextPage text = textPage(QStringLiteral("Archive copy of the signed contract"));
    add(QStringLiteral("mixed-text.png"), text.image);
    for (int i = 0; i < 3; ++i) {
        QImage page = letterPage(1240, 1754);
        page.setDotsPerMeterX(5906);
        page.setDotsPerMeterY(5906);
        add(QStringLiteral("mixed-line%1.png").arg(i), page);
    }
    for (int i = 0; i < 3; ++i)
        add(QStringLiteral("mixed-gray%1.png").arg(i),
            photo(500, 700, true).convertToFormat(QImage::Format_Grayscale8));
    for (int i = 0; i < 3; ++i)
        add(QStringLiteral("mixed-colour%1.bmp").arg(i),
            i == 0 ? photo(700, 500, false) : drawing(700, 500, false));
    QCOMPARE(files.size(), 10);

    // The text page's words as if recognised before: no engine runs.
    OcrEnginePool engines(QStringLiteral("eng"));
    PdfExportOptions options;
    options.archival = true;
    options.compact = compact;
    options.ocr = &engines;
    PdfWords words;
    for (const DrawnWord &w : text.words)
        words.append({w.text, w.box.toRect()});
    options.knownWords.insert(files.first(), words);

    // A title that needs more than ASCII.
    const QString pdf = path(QString::fromUtf8("Договор 2026.pdf"));
    QString error;
    QVERIFY2(PdfExport::run(files, pdf, options, &error), qPrintable(error));
    QVERIFY(qpdfClean(pdf));
    QCOMPARE(pageCount(pdf), 10);

    const QByteArray doc = readFile(pdf);
    // Header and binary comment.
    QVERIFY(doc.startsWith("%PDF-1.7\n%"));
    const QByteArray comment = doc.mid(10, doc.indexOf('\n', 10) - 10);
    QVERIFY(comment.size() >= 4);
    for (const char c : comment)
        QVERIFY(uchar(c) >= 128);
    // Every stream's data ends in a line feed before "endstream".
    QCOMPARE(doc.count("endstream"), doc.count("\nendstream"));
    QVERIFY(!doc.contains("/Interpolate true"));
    QVERIFY(!doc.contains("/Encrypt"));

    // Trailer identifier and catalog, as qpdf reads them.
    const QByteArray trailer =
        runTool(QStringLiteral("qpdf"), {QStringLiteral("--show-object=trailer"), pdf}).out;
    QVERIFY2(QRegularExpression(QStringLiteral("/ID \\[ <[0-9a-fA-F]{32}> <[0-9a-fA-F]{32}> \\]"))
                 .match(QString::fromLatin1(trailer))
                 .hasMatch(),
             trailer);
    const QByteArray catalog =
        runTool(QStringLiteral("qpdf"), {QStringLiteral("--show-object=1"), pdf}).out;
    QVERIFY2(catalog.contains("/S /GTS_PDFA1") && catalog.contains("/DestOutputProfile") &&
                 catalog.contains("/Metadata"),
             catalog);
    const QRegularExpressionMatch profileRef =
        QRegularExpression(QStringLiteral("/DestOutputProfile (\\d+) 0 R"))
            .match(QString::fromLatin1(catalog));
    QVERIFY(profileRef.hasMatch());
    const QByteArray profile =
        runTool(QStringLiteral("qpdf"), {QStringLiteral("--show-object=") + profileRef.captured(1),
                                         QStringLiteral("--filtered-stream-data"), pdf})
            .out;
    QCOMPARE(profile.mid(36, 4), QByteArray("acsp")); // an ICC profile
    QCOMPARE(profile.mid(16, 4), QByteArray("RGB "));

    // Identification, title and dates, the same in XMP and in the Info dictionary.
    const QString xmp = metadataOf(pdf);
    QVERIFY(xmp.contains(QStringLiteral("<pdfaid:part>2</pdfaid:part>")));
    QVERIFY(xmp.contains(QStringLiteral("<pdfaid:conformance>B</pdfaid:conformance>")));
    QVERIFY(xmp.contains(QString::fromUtf8(">Договор 2026</rdf:li>")));
    QVERIFY(xmp.contains(QStringLiteral("<pdf:Producer>Pagora Pro " PAGORA_VERSION)));
    const QString info = QString::fromUtf8(
        runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-isodates"), pdf}).out);
    QVERIFY2(info.contains(QString::fromUtf8("Title:           Договор 2026")), qPrintable(info));
    QVERIFY(info.contains(QStringLiteral("Producer:        Pagora Pro " PAGORA_VERSION)));
    const QRegularExpressionMatch created =
        QRegularExpression(QStringLiteral("CreationDate:\\s+(\\S+)")).match(info);
    QVERIFY(created.hasMatch());
    const QRegularExpressionMatch xmpCreated =
        QRegularExpression(QStringLiteral("<xmp:CreateDate>([^<]+)<")).match(xmp);
    QVERIFY(xmpCreated.hasMatch());
    QCOMPARE(QDateTime::fromString(created.captured(1), Qt::ISODate),
             QDateTime::fromString(xmpCreated.captured(1), Qt::ISODate));

    // Every font embedded (the text page's).
    const QList<QByteArray> fonts =
        runTool(QStringLiteral("pdffonts"), {pdf}).out.split('\n').mid(2);
    int fontCount = 0;
    for (const QByteArray &line : fonts) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 6)
            continue;
        ++fontCount;
        QCOMPARE(f.at(f.size() - 5), QByteArray("yes")); // emb
    }
    QCOMPARE(fontCount, 1);
    // The words lie on the picture, scaled from its 300 dpi pixels to points.
    const QList<FoundWord> found = findWords(pdf);
    const DrawnWord &drawn = text.words.last();
    const QRectF expected(drawn.box.topLeft() * 72 / 300, drawn.box.size() * 72 / 300);
    QVERIFY(std::any_of(found.cbegin(), found.cend(), [&](const FoundWord &w) {
        return w.page == 1 && w.text == drawn.text && covered(expected, w.box) > 0.6;
    }));

    // Ghostscript renders every page without complaint.
    const ToolResult gs =
        runTool(QStringLiteral("gs"),
                {QStringLiteral("-q"), QStringLiteral("-dNOPAUSE"), QStringLiteral("-dBATCH"),
                 QStringLiteral("-dPDFSTOPONERROR"), QStringLiteral("-sDEVICE=nullpage"), pdf});
    QVERIFY2(gs.exitCode == 0 && gs.out.isEmpty() && gs.err.isEmpty(), gs.out + gs.err);
}

// A long document never sits in memory whole: the writer hands it to the file as
// it grows, and the file is whole only once saved.
void TestPdfA::streamsToItsFile()
{
    constexpr int pages = 24;
    PdfImage image;
    image.width = 420;
    image.height = 420;
    image.components = 3;
    image.filter = PdfImage::Filter::Flate;
    // Noise: Flate cannot shrink it, so every page adds its full size.
    QByteArray samples(image.width * image.height * 3, Qt::Uninitialized);
    QRandomGenerator(21).fillRange(reinterpret_cast<quint32 *>(samples.data()), samples.size() / 4);
    image.data = qCompress(samples, 1).mid(4);
    const QString out = path(QStringLiteral("streamed.pdf"));
    {
        TPDF pdf(pages, PdfArchiveInfo{QStringLiteral("streamed"), QDateTime::currentDateTime()});
        QVERIFY(pdf.streamTo(out));
        for (int i = 0; i < pages; ++i) {
            QVERIFY2(pdf.addImage(image, QStringLiteral("page %1").arg(i)),
                     qPrintable(pdf.errorString()));
            QVERIFY(pdf.data().size() < 3 * image.data.size());
        }
        QVERIFY(!QFile::exists(out));
        QVERIFY(pdf.SaveToFile(out));
    }
    QVERIFY(QFileInfo(out).size() > pages * image.data.size());
    QCOMPARE(readFile(out).right(5), QByteArray("%%EOF"));
    QVERIFY(qpdfClean(out));
    QCOMPARE(pageCount(out), pages);
}

// A damaged page stops the export: the existing file stays, no temporary is left.
void TestPdfA::failureWritesNothing()
{
    QDir().mkpath(path(QStringLiteral("fail")));
    const QString out = path(QStringLiteral("fail/out.pdf"));
    QVERIFY(writeFile(out, "old contents"));
    QVERIFY(writeFile(path(QStringLiteral("fail/bad.png")), "\x89PNG\r\n\x1a\nbroken"));
    QImage good = drawing(300, 200, false);
    QVERIFY(good.save(path(QStringLiteral("fail/good.png"))));

    PdfExportOptions options;
    options.archival = true;
    QString error;
    QVERIFY(!PdfExport::run(
        {path(QStringLiteral("fail/good.png")), path(QStringLiteral("fail/bad.png"))}, out, options,
        &error));
    QVERIFY2(error.contains(QStringLiteral("bad.png")), qPrintable(error));
    QCOMPARE(readFile(out), QByteArray("old contents"));
    QCOMPARE(QDir(path(QStringLiteral("fail"))).entryList(QDir::Files).size(), 3);
}

QTEST_MAIN(TestPdfA)
#include "tst_pdfa.moc"
