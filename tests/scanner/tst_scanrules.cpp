#include "scanner/PageBuffer.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScanRules.h"

#include <QtTest>

using namespace ScanRules;

class TestScanRules : public QObject
{
    Q_OBJECT

private slots:
    void pageArea_data();
    void pageArea();
    void layoutArea();
    void nearestValues();
    void sources_data();
    void sources();
    void displayNamesTellAlikeApart();
    void threshold();
    void bufferKeepsOnlyNewest();
    void errorTexts();
};

void TestScanRules::pageArea_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QRectF>("bed");
    QTest::addColumn<QRectF>("expected");
    const QRectF bed(0, 0, 432, 432);
    QTest::newRow("A4") << 1 << bed << QRectF(0, 0, 8.3 * 25.4, 11.7 * 25.4);
    QTest::newRow("US Executive") << 9 << bed << QRectF(0, 0, 7.25 * 25.4, 10.5 * 25.4);
    QTest::newRow("C6, last") << 15 << bed << QRectF(0, 0, 4.5 * 25.4, 6.4 * 25.4);
    QTest::newRow("B3 clamped to the bed") << 11 << bed << QRectF(0, 0, 13.9 * 25.4, 432);
    QTest::newRow("bed with an offset")
        << 12 << QRectF(5, 7, 200, 300) << QRectF(5, 7, 4.1 * 25.4, 5.8 * 25.4);
    QTest::newRow("0 is the whole bed") << 0 << bed << bed;
    QTest::newRow("unknown code is the whole bed") << 16 << bed << bed;
}

void TestScanRules::pageArea()
{
    QFETCH(int, code);
    QFETCH(QRectF, bed);
    QFETCH(QRectF, expected);
    const QRectF area = pageAreaMm(code, bed);
    // The sizes are single floats; a micrometre either way is the same page.
    QVERIFY2(qAbs(area.left() - expected.left()) < 1e-3 &&
                 qAbs(area.top() - expected.top()) < 1e-3 &&
                 qAbs(area.width() - expected.width()) < 1e-3 &&
                 qAbs(area.height() - expected.height()) < 1e-3,
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(area.left())
                            .arg(area.top())
                            .arg(area.width())
                            .arg(area.height())));
}

void TestScanRules::layoutArea()
{
    const QRectF bed(0, 0, 215.9, 297);
    QCOMPARE(layoutAreaMm(QRectF(1, 2, 3, 4), bed), QRectF(25.4, 50.8, 76.2, 101.6));
    // Beyond the bed: clamped. Entirely outside: the whole bed, never an empty scan.
    QCOMPARE(layoutAreaMm(QRectF(8, 0, 4, 4), bed), QRectF(203.2, 0, 215.9 - 203.2, 101.6));
    QCOMPARE(layoutAreaMm(QRectF(20, 20, 1, 1), bed), bed);
}

void TestScanRules::nearestValues()
{
    QCOMPARE(nearestInRange(300, 1, 1200, 1), 300.0);
    QCOMPARE(nearestInRange(2400, 1, 1200, 1), 1200.0);
    QCOMPARE(nearestInRange(310, 50, 1200, 25), 300.0);
    QCOMPARE(nearestInRange(1190, 50, 1190, 100), 1150.0); // never past the maximum
    const QList<double> list{75, 150, 300, 600, 1200};
    QCOMPARE(nearestInList(200, list), 150.0);
    QCOMPARE(nearestInList(225, list), 300.0); // a tie takes the finer one
    QCOMPARE(nearestInList(2400, list), 1200.0);
}

void TestScanRules::sources_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("flatbed");
    QTest::addColumn<int>("feeder");
    QTest::addColumn<int>("duplex");
    QTest::newRow("test backend") << QStringList{"Flatbed", "Automatic Document Feeder"} << 0 << 1
                                  << -1;
    QTest::newRow("sheet-fed") << QStringList{"ADF Front", "ADF Back", "ADF Duplex"} << -1 << 0
                               << 2;
    QTest::newRow("film first") << QStringList{"Transparency Adapter", "Document Table", "ADF"} << 1
                                << 2 << -1;
    QTest::newRow("duplex feeder only") << QStringList{"Flatbed", "Duplex"} << 0 << -1 << 1;
    QTest::newRow("no list") << QStringList{} << -1 << -1 << -1;
}

void TestScanRules::sources()
{
    QFETCH(QStringList, names);
    const SourceKinds kinds = classifySources(names);
    QTEST(kinds.flatbed, "flatbed");
    QTEST(kinds.feeder, "feeder");
    QTEST(kinds.duplex, "duplex");
}

void TestScanRules::displayNamesTellAlikeApart()
{
    const QList<DeviceEntry> devices{{"test:0", "Noname", "frontend-tester"},
                                     {"pixma:1", "Canon", "LiDE 300"},
                                     {"test:1", "Noname", "frontend-tester"}};
    const QStringList names = displayNames(devices);
    QCOMPARE(names.at(1), QStringLiteral("Canon LiDE 300"));
    QVERIFY(names.at(0).startsWith(QStringLiteral("Noname frontend-tester")));
    QVERIFY(names.at(0) != names.at(2));
}

void TestScanRules::threshold()
{
    QImage gray(10, 1, QImage::Format_Grayscale8);
    for (int x = 0; x < 10; ++x)
        gray.scanLine(0)[x] = uchar(x * 28); // 0 .. 252
    gray.setDotsPerMeterX(3937);
    const QImage mono = thresholdToMono(gray);
    QCOMPARE(mono.format(), QImage::Format_Mono);
    QCOMPARE(mono.dotsPerMeterX(), 3937);
    for (int x = 0; x < 10; ++x)
        QCOMPARE(qGray(mono.pixel(x, 0)) == 0, x * 28 < 128);
}

void TestScanRules::bufferKeepsOnlyNewest()
{
    PageBuffer buffer(2);
    for (int i = 1; i <= 5; ++i)
        buffer.append(QImage(i, 1, QImage::Format_Grayscale8));
    QCOMPARE(buffer.count(), 5);
    QVERIFY(!buffer.contains(2));
    QCOMPARE(buffer.at(3).width(), 4);
    QCOMPARE(buffer.at(4).width(), 5);
    QVERIFY(buffer.at(5).isNull());
    QVERIFY(buffer.at(-1).isNull());
    buffer.clear();
    QCOMPARE(buffer.count(), 0);
}

void TestScanRules::errorTexts()
{
    // Every failure the device can report has a text of its own.
    QSet<QString> texts;
    for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 39, 45}) {
        const QString text = ScanError::text(code);
        QVERIFY2(!text.isEmpty(), qPrintable(QString::number(code)));
        texts.insert(text);
    }
    QCOMPARE(texts.size(), 20);
    QVERIFY(ScanError::isWarning(39) && ScanError::isWarning(45) && !ScanError::isWarning(4));
}

QTEST_GUILESS_MAIN(TestScanRules)
#include "tst_scanrules.moc"
