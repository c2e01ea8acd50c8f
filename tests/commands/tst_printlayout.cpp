// Where a copied page lands on the printed sheet.
#include "session/PrintLayout.h"

#include <QTest>

class TestPrintLayout : public QObject
{
    Q_OBJECT

private slots:
    void rectangle_data();
    void rectangle();
};

void TestPrintLayout::rectangle_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("printable");
    QTest::addColumn<QRect>("expected");

    // A4 portrait printable area at 600 dpi.
    const QSize a4(4760, 6814);
    // Landscape page: full printable width, height 2480 * 4760 / 3508 = 3365.3.
    QTest::newRow("landscape page on portrait paper")
        << QSize(3508, 2480) << a4 << QRect(0, 0, 4760, 3365);
    // Tall narrow page: full printable height, width 6814 * 1000 / 10000 = 681.4.
    QTest::newRow("tall narrow page") << QSize(1000, 10000) << a4 << QRect(0, 0, 681, 6814);
    QTest::newRow("same shape fills the area")
        << QSize(2380, 3407) << a4 << QRect(0, 0, 4760, 6814);
    // Multiply first, then divide: 3 * 1000 / 7 = 428, not 3 * (1000 / 7) = 426.
    QTest::newRow("multiply before dividing")
        << QSize(7, 3) << QSize(1000, 1000) << QRect(0, 0, 1000, 428);
    // Products beyond 32 bits: 60000 * 40000.
    QTest::newRow("large sizes do not overflow")
        << QSize(50000, 60000) << QSize(40000, 50000) << QRect(0, 0, 40000, 48000);
    QTest::newRow("empty page") << QSize(0, 100) << a4 << QRect();
    QTest::newRow("no printable area") << QSize(100, 100) << QSize(0, 0) << QRect();
}

void TestPrintLayout::rectangle()
{
    QFETCH(QSize, image);
    QFETCH(QSize, printable);
    QFETCH(QRect, expected);
    const QRect r =
        printRectangle(image.width(), image.height(), printable.width(), printable.height());
    QCOMPARE(r, expected);
    if (!r.isEmpty()) {
        QVERIFY(r.width() <= printable.width());
        QVERIFY(r.height() <= printable.height());
    }
}

QTEST_GUILESS_MAIN(TestPrintLayout)
#include "tst_printlayout.moc"
