#include "session/PreviewRules.h"

#include <QtTest>
#include <algorithm>
#include <cmath>
#include <limits>

using namespace PreviewRules;

namespace {

// The resolution after a preview of 850 x 1170 pixels at 100 dpi in the 279 x 422 pane.
const float ExampleResolution = 100.0f * (279.0f / 850.0f);

bool near(double a, double b, double tolerance = 1e-3)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace

class tst_PreviewRules : public QObject
{
    Q_OBJECT

private slots:
    void rulers_data();
    void rulers();
    void blankRulers_data();
    void blankRulers();
    void fit_data();
    void fit();
    void fitRefusesEmpty();
    void resolutionAfterPreview_data();
    void resolutionAfterPreview();
    void sizeReadout_data();
    void sizeReadout();
    void limitScanArea_data();
    void limitScanArea();
};

void tst_PreviewRules::rulers_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<float>("resolution");
    QTest::addColumn<int>("digitWidth");
    QTest::addColumn<double>("pixelsPerUnit");

    // From a whole scanner bed squeezed into the pane to a close-up, with a
    // narrow and a wide font.
    for (const float r : {4.0f, StartResolution, ExampleResolution, 150.0f}) {
        for (const int digit : {7, 11}) {
            QTest::addRow("in %g digit %d", r, digit) << 1 << r << digit << double(r);
            QTest::addRow("mm %g digit %d", r, digit) << 2 << r << digit << r / 25.4;
        }
    }
}

// Each number sits on the tick of that many units, inside the ruler, and no
// two numbers touch, whatever the zoom and the font.
void tst_PreviewRules::rulers()
{
    QFETCH(int, units);
    QFETCH(float, resolution);
    QFETCH(int, digitWidth);
    QFETCH(double, pixelsPerUnit);
    const TextWidth width = [digitWidth](const QString &t) { return digitWidth * int(t.size()); };

    for (const bool top : {true, false}) {
        const int length = top ? 279 : 422;
        const RulerMarks m = top ? topRuler(units, resolution, length, width)
                                 : leftRuler(units, resolution, length, width);
        const auto along = [top](const QRect &r) { return top ? r.left() : r.top(); };
        const auto alongEnd = [top](const QRect &r) { return top ? r.right() : r.bottom(); };
        const auto across = [top](const QRect &r) {
            return top ? qMakePair(r.top(), r.bottom()) : qMakePair(r.left(), r.right());
        };
        QVERIFY(!m.ticks.isEmpty());
        QVERIFY(!m.labels.isEmpty());
        int previousEnd = -1;
        int previousValue = 0;
        int step = 0;
        for (const RulerLabel &label : m.labels) {
            bool ok = false;
            const int value = label.text.toInt(&ok);
            QVERIFY2(ok && value > 0, qPrintable(label.text));
            const int tickAt = int(std::trunc(value * pixelsPerUnit));
            const QRect &cell = label.cell;
            const double middle = (along(cell) + alongEnd(cell) + 1) / 2.0;
            QVERIFY2(std::abs(middle - tickAt) <= 1.0,
                     qPrintable(QStringLiteral("%1 at %2, tick at %3")
                                    .arg(label.text)
                                    .arg(middle)
                                    .arg(tickAt)));
            const bool longTick =
                std::any_of(m.ticks.cbegin(), m.ticks.cend(), [&](const QRect &t) {
                    return along(t) == tickAt && across(t).first <= 1;
                });
            QVERIFY2(longTick, qPrintable(label.text));
            QVERIFY(along(cell) >= 0 && alongEnd(cell) < length);
            QVERIFY(across(cell).first >= 0 && across(cell).second < 15);
            QVERIFY2(along(cell) > previousEnd,
                     qPrintable(QStringLiteral("%1 runs into the number before").arg(label.text)));
            // Evenly thinned: the same count of units between neighbours.
            if (previousValue > 0) {
                if (step == 0)
                    step = value - previousValue;
                QCOMPARE(value - previousValue, step);
            }
            previousEnd = alongEnd(cell);
            previousValue = value;
        }
    }
}

void tst_PreviewRules::blankRulers_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<float>("resolution");

    QTest::newRow("units 0") << 0 << 20.78f;
    QTest::newRow("units 3") << 3 << 20.78f;
    QTest::newRow("zero resolution") << 1 << 0.0f;
    QTest::newRow("not a number") << 1 << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("infinite") << 2 << std::numeric_limits<float>::infinity();
}

void tst_PreviewRules::blankRulers()
{
    QFETCH(int, units);
    QFETCH(float, resolution);

    for (const RulerMarks &m :
         {topRuler(units, resolution, 279), leftRuler(units, resolution, 422)}) {
        QVERIFY(m.ticks.isEmpty());
        QVERIFY(m.labels.isEmpty());
    }
    QCOMPARE(unitCaption(units).isEmpty(), units != 1 && units != 2);
}

void tst_PreviewRules::fit_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("layerWidth");
    QTest::addColumn<double>("layerHeight");
    QTest::addColumn<QSize>("reduced");

    // The reduced image is the layer rectangle cut to whole pixels.
    QTest::newRow("example 850x1170")
        << QSize(850, 1170) << 279.0 / 850 << 279.0 << 384.0353 << QSize(279, 384);
    QTest::newRow("demo A4 827x1169")
        << QSize(827, 1169) << 279.0 / 827 << 279.0 << 394.3785 << QSize(279, 394);
    QTest::newRow("landscape 1169x827")
        << QSize(1169, 827) << 279.0 / 1169 << 279.0 << 197.3764 << QSize(279, 197);
    QTest::newRow("square") << QSize(500, 500) << 279.0 / 500 << 279.0 << 279.0 << QSize(279, 279);
    // Height-bound: a tall strip fills the pane's height.
    QTest::newRow("tall strip") << QSize(100, 1000) << 0.422 << 42.2 << 422.0 << QSize(42, 422);
    // Smaller than the pane: enlarged to fit.
    QTest::newRow("small") << QSize(100, 50) << 2.79 << 279.0 << 139.5 << QSize(279, 139);
    // A sliver still gets one pixel.
    QTest::newRow("sliver") << QSize(10000, 1) << 0.0279 << 279.0 << 0.0279 << QSize(279, 1);
}

void tst_PreviewRules::fit()
{
    QFETCH(QSize, image);
    QFETCH(double, scale);
    QFETCH(double, layerWidth);
    QFETCH(double, layerHeight);

    PreviewFit f;
    QVERIFY(fitPreview(image, QSize(279, 422), &f));
    QVERIFY2(near(f.scale, scale, 1e-6), qPrintable(QString::number(f.scale, 'g', 9)));
    QCOMPARE(f.layer.topLeft(), QPointF(0, 0));
    QVERIFY2(near(f.layer.width(), layerWidth),
             qPrintable(QString::number(f.layer.width(), 'g', 9)));
    QVERIFY2(near(f.layer.height(), layerHeight),
             qPrintable(QString::number(f.layer.height(), 'g', 9)));
    QTEST(f.reduced, "reduced");
}

void tst_PreviewRules::fitRefusesEmpty()
{
    PreviewFit f;
    QVERIFY(!fitPreview(QSize(0, 100), QSize(279, 422), &f));
    QVERIFY(!fitPreview(QSize(100, -1), QSize(279, 422), &f));
    QVERIFY(!fitPreview(QSize(100, 100), QSize(0, 0), &f));
}

void tst_PreviewRules::resolutionAfterPreview_data()
{
    QTest::addColumn<int>("scanResolution");
    QTest::addColumn<float>("scale");
    QTest::addColumn<double>("expected");

    QTest::newRow("example") << 100 << 279.0f / 850.0f << 32.8235;
    QTest::newRow("device settled on 150") << 150 << 0.5f << 75.0;
    // No usable read-back: the 100 dpi the preview asked for.
    QTest::newRow("read back 0") << 0 << 0.5f << 50.0;
    QTest::newRow("read back negative") << -3 << 1.0f << 100.0;
}

void tst_PreviewRules::resolutionAfterPreview()
{
    QFETCH(int, scanResolution);
    QFETCH(float, scale);
    QFETCH(double, expected);
    QVERIFY(near(previewResolution(scanResolution, scale), expected, 1e-4));
}

void tst_PreviewRules::sizeReadout_data()
{
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<float>("resolution");
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("expected");

    const QRectF a4 = standardSizeArea(1, StartResolution);
    QTest::newRow("A4 at start, mm") << a4 << StartResolution << 2 << "211 x 297 mm";
    // Inches to the hundredth; whole inches without decimals.
    QTest::newRow("A4 at start, in") << a4 << StartResolution << 1 << "8.30 x 11.70 in";
    QTest::newRow("A4 at start, other units") << a4 << StartResolution << 7 << "8.30 x 11.70 in";
    QTest::newRow("B5 after preview, in")
        << standardSizeArea(2, ExampleResolution) << ExampleResolution << 1 << "6.90 x 9.80 in";
    QTest::newRow("US Letter after preview, in")
        << standardSizeArea(3, ExampleResolution) << ExampleResolution << 1 << "8.50 x 11 in";
    QTest::newRow("JIS B5 drawn, in") << QRectF(0, 0, 693, 984) << 100.0f << 1 << "6.93 x 9.84 in";
    QTest::newRow("A5 after preview, mm")
        << standardSizeArea(5, ExampleResolution) << ExampleResolution << 2 << "147 x 211 mm";
    // The area's offset does not count, only its size.
    QTest::newRow("offset area, mm") << QRectF(50, 60, 102, 100) << 100.0f << 2 << "26 x 25 mm";
    // 7.996 in reads 8, 7.994 in 7.99.
    QTest::newRow("7.996 in") << QRectF(0, 0, 799.6, 799.4) << 100.0f << 1 << "8 x 7.99 in";
    QTest::newRow("whole pane at start, in")
        << QRectF(0, 0, 279, 422) << StartResolution << 1 << "13.43 x 20.31 in";
    QTest::newRow("no resolution") << a4 << 0.0f << 2 << "";
}

void tst_PreviewRules::sizeReadout()
{
    QFETCH(QRectF, area);
    QFETCH(float, resolution);
    QFETCH(int, units);
    QTEST(PreviewRules::sizeReadout(area, resolution, units), "expected");
}

void tst_PreviewRules::limitScanArea_data()
{
    QTest::addColumn<QRectF>("oldRect");
    QTest::addColumn<QRectF>("proposed");
    QTest::addColumn<int>("dragState");
    QTest::addColumn<QRectF>("expected");

    // Rectangles by their corners; the image bound is (0, 0)-(279, 384).
    auto r = [](double l, double t, double rr, double b) {
        return QRectF(QPointF(l, t), QPointF(rr, b));
    };
    const QRectF old = r(10, 10, 110, 210);

    QTest::newRow("move inside") << old << r(20, 20, 120, 220) << 1 << r(20, 20, 120, 220);
    QTest::newRow("move past left") << old << r(-15, 20, 85, 220) << 1 << r(0, 20, 100, 220);
    QTest::newRow("move past top") << old << r(20, -5, 120, 195) << 1 << r(20, 0, 120, 200);
    QTest::newRow("move past right") << old << r(200, 20, 300, 220) << 1 << r(179, 20, 279, 220);
    QTest::newRow("move past bottom") << old << r(20, 300, 120, 500) << 1 << r(20, 184, 120, 384);
    QTest::newRow("move past top-left") << old << r(-5, -7, 95, 193) << 1 << r(0, 0, 100, 200);
    QTest::newRow("move past bottom-right")
        << old << r(250, 300, 350, 500) << 1 << r(179, 184, 279, 384);
    // Wider than the image: the right edge is tested last and wins.
    QTest::newRow("move wider than image")
        << r(0, 0, 300, 100) << r(-10, 0, 290, 100) << 1 << r(-21, 0, 279, 100);

    QTest::newRow("left side") << old << r(-5, 10, 110, 210) << 2 << r(0, 10, 110, 210);
    QTest::newRow("left side leaves right")
        << old << r(-5, 10, 300, 210) << 2 << r(0, 10, 300, 210);
    QTest::newRow("top side") << old << r(10, -5, 110, 400) << 3 << r(10, 0, 110, 400);
    QTest::newRow("right side") << old << r(-5, 10, 300, 210) << 4 << r(-5, 10, 279, 210);
    QTest::newRow("bottom side") << old << r(10, -5, 110, 400) << 5 << r(10, -5, 110, 384);
    QTest::newRow("top-left") << old << r(-1, -1, 300, 400) << 6 << r(0, 0, 300, 400);
    QTest::newRow("top-right") << old << r(-1, -1, 300, 400) << 7 << r(-1, 0, 279, 400);
    QTest::newRow("bottom-left") << old << r(-1, -1, 300, 400) << 8 << r(0, -1, 300, 384);
    QTest::newRow("bottom-right") << old << r(-1, -1, 300, 400) << 9 << r(-1, -1, 279, 384);
    QTest::newRow("inside untouched") << old << r(12, 13, 100, 200) << 9 << r(12, 13, 100, 200);
    QTest::newRow("state 0: no limit")
        << old << r(-10, -10, 400, 500) << 0 << r(-10, -10, 400, 500);
    QTest::newRow("state 10: no limit")
        << old << r(-10, -10, 400, 500) << 10 << r(-10, -10, 400, 500);
}

void tst_PreviewRules::limitScanArea()
{
    QFETCH(QRectF, oldRect);
    QFETCH(QRectF, proposed);
    QFETCH(int, dragState);
    QTEST(PreviewRules::limitScanArea(oldRect, proposed, dragState, QRectF(0, 0, 279, 384)),
          "expected");
}

QTEST_GUILESS_MAIN(tst_PreviewRules)
#include "tst_previewrules.moc"
