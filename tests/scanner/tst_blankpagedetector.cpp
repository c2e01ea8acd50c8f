#include "imaging/JpegCodec.h"
#include "scanner/BlankPageDetector.h"

#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QtTest>
#include <cmath>

namespace {

constexpr int kDpi = 200;
constexpr double kPxPerMm = kDpi / 25.4;

int mm(double v)
{
    return int(std::lround(v * kPxPerMm));
}

// An A4 sheet at 200 dpi in the given paper colour.
QImage sheet(QColor paper = Qt::white)
{
    QImage img(mm(210), mm(297), QImage::Format_RGB888);
    img.setDotsPerMeterX(qRound(kDpi / 0.0254));
    img.setDotsPerMeterY(qRound(kDpi / 0.0254));
    img.fill(paper);
    return img;
}

// Scanner noise: every channel of every pixel moved by a roughly Gaussian amount.
void addNoise(QImage &img, double sigma)
{
    QRandomGenerator rng(42);
    std::vector<int> table(65536);
    for (int &v : table) {
        const double u1 = rng.generateDouble() + 1e-12, u2 = rng.generateDouble();
        v = int(std::lround(sigma * std::sqrt(-2 * std::log(u1)) * std::cos(2 * M_PI * u2)));
    }
    quint32 state = 1;
    for (int y = 0; y < img.height(); ++y) {
        uchar *row = img.scanLine(y);
        for (int x = 0; x < img.width() * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            row[x] = uchar(qBound(0, row[x] + table[state >> 16], 255));
        }
    }
}

// Dust: dark specks 1 to 3 pixels across until the given share of pixels is covered.
void addDust(QImage &img, double share)
{
    QRandomGenerator rng(7);
    const qint64 target = qint64(share * img.width() * img.height());
    qint64 covered = 0;
    while (covered < target) {
        const int d = 1 + int(rng.bounded(3));
        const int x = int(rng.bounded(img.width() - d)), y = int(rng.bounded(img.height() - d));
        for (int dy = 0; dy < d; ++dy)
            for (int dx = 0; dx < d; ++dx)
                img.setPixel(x + dx, y + dy, qRgb(30, 30, 30));
        covered += d * d;
    }
}

void paintText(QImage &img, const QString &text, QPointF atMm, double points,
               QColor color = Qt::black)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    p.setFont(font);
    p.setPen(color);
    p.drawText(QPointF(atMm.x() * kPxPerMm, atMm.y() * kPxPerMm), text);
}

void darkEdges(QImage &img)
{
    QPainter p(&img);
    p.fillRect(0, 0, mm(3), img.height(), QColor(20, 20, 20));
    p.fillRect(0, 0, img.width(), mm(2), QColor(40, 40, 40));
    QLinearGradient shadow(img.width() - mm(5), 0, img.width(), 0);
    shadow.setColorAt(0, QColor(255, 255, 255));
    shadow.setColorAt(1, QColor(60, 60, 60));
    p.fillRect(img.width() - mm(5), 0, mm(5), img.height(), shadow);
}

void punchHoles(QImage &img)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(15, 15, 15));
    for (double yMm : {148.5 - 40, 148.5 + 40})
        p.drawEllipse(QPointF(mm(12), mm(yMm)), mm(3), mm(3));
}

QImage viaJpeg(const QImage &img)
{
    JpegCodec::EncodeOptions options;
    options.quality = 75;
    QImage decoded =
        JpegCodec::decode(JpegCodec::encode(img, options)).convertToFormat(QImage::Format_RGB888);
    decoded.setDotsPerMeterX(img.dotsPerMeterX());
    decoded.setDotsPerMeterY(img.dotsPerMeterY());
    return decoded;
}

} // namespace

class TestBlankPageDetector : public QObject
{
    Q_OBJECT

private slots:
    void sheets_data();
    void sheets();
    void otherFormats();
};

void TestBlankPageDetector::sheets_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<bool>("blank");

    QImage noisy = sheet();
    addNoise(noisy, 6);
    QTest::newRow("white with scanner noise") << noisy << true;

    QImage dusty = sheet();
    addNoise(dusty, 4);
    addDust(dusty, 0.002);
    QTest::newRow("dust specks, 0.2 % of the pixels") << dusty << true;

    QImage tinted = sheet(QColor(240, 232, 205));
    addNoise(tinted, 4);
    QTest::newRow("faint paper tint") << tinted << true;

    QTest::newRow("JPEG noise") << viaJpeg(noisy) << true;

    QImage edges = sheet();
    addNoise(edges, 4);
    darkEdges(edges);
    QTest::newRow("dark edges") << edges << true;

    QImage holes = edges;
    punchHoles(holes);
    QTest::newRow("punch holes at the border") << holes << true;

    QImage worst = sheet(QColor(245, 240, 222));
    addNoise(worst, 5);
    addDust(worst, 0.002);
    darkEdges(worst);
    punchHoles(worst);
    QTest::newRow("all of it, through JPEG") << viaJpeg(worst) << true;

    QImage line = sheet();
    addNoise(line, 4);
    paintText(line, QStringLiteral("See overleaf."), {80, 140}, 10);
    QTest::newRow("one short line of text") << line << false;

    QImage lineOnWorst = worst;
    paintText(lineOnWorst, QStringLiteral("Page 2"), {90, 60}, 10);
    QTest::newRow("short text on dusty tinted paper with holes") << viaJpeg(lineOnWorst) << false;

    QImage footer = sheet();
    addNoise(footer, 4);
    darkEdges(footer);
    paintText(footer, QStringLiteral("- 7 -"), {100, 286}, 9);
    QTest::newRow("page number in the bottom margin") << footer << false;

    QImage signature = sheet();
    addNoise(signature, 4);
    {
        QPainter p(&signature);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(20, 30, 120), mm(0.4)));
        QPainterPath path(QPointF(mm(120), mm(250)));
        path.cubicTo(QPointF(mm(130), mm(235)), QPointF(mm(140), mm(262)),
                     QPointF(mm(150), mm(245)));
        path.cubicTo(QPointF(mm(155), mm(238)), QPointF(mm(162), mm(258)),
                     QPointF(mm(170), mm(248)));
        p.drawPath(path);
    }
    QTest::newRow("signature") << signature << false;

    QImage stamp = sheet();
    addNoise(stamp, 4);
    {
        QPainter p(&stamp);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(200, 60, 60), mm(0.6)));
        p.drawEllipse(QPointF(mm(150), mm(60)), mm(10), mm(10));
    }
    paintText(stamp, QStringLiteral("PAID"), {144, 62}, 7, QColor(200, 60, 60));
    QTest::newRow("small stamp") << stamp << false;

    QImage pencil = sheet();
    addNoise(pencil, 4);
    paintText(pencil, QStringLiteral("ok"), {60, 100}, 11, QColor(150, 150, 150));
    QTest::newRow("a pencilled word") << pencil << false;
}

void TestBlankPageDetector::sheets()
{
    QFETCH(QImage, image);
    QFETCH(bool, blank);
    float level = -1;
    const bool measuredBlank = BlankPageDetector::isBlank(image, 0.01f, &level);
    qInfo("level %.4f", level);
    QVERIFY2(measuredBlank == blank, qPrintable(QStringLiteral("level %1").arg(level)));
    QVERIFY(level >= 0 && level <= 1);
}

void TestBlankPageDetector::otherFormats()
{
    // Gray and line-art pages are judged like colour ones.
    QImage text = sheet();
    paintText(text, QStringLiteral("Short note"), {50, 50}, 10);
    QVERIFY(!BlankPageDetector::isBlank(text.convertToFormat(QImage::Format_Grayscale8), 0.01f));
    QVERIFY(!BlankPageDetector::isBlank(text.convertToFormat(QImage::Format_Mono), 0.01f));
    QVERIFY(BlankPageDetector::isBlank(sheet().convertToFormat(QImage::Format_Mono), 0.01f));
    QVERIFY(!BlankPageDetector::isBlank(QImage(), 0.01f)); // nothing to judge: keep
}

QTEST_MAIN(TestBlankPageDetector)
#include "tst_blankpagedetector.moc"
