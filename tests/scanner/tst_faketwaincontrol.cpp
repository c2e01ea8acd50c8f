#include "FakeTwainControl.h"

#include <QSignalSpy>
#include <QtTest>

// The scripted fake must behave like the real control where window tests rely on it.
class TestFakeTwainControl : public QObject
{
    Q_OBJECT

private slots:
    void recordsCallsInOrder();
    void playsBatchThenFailure();
    void stopAnsweredAfterPagesRead_data();
    void stopAnsweredAfterPagesRead();
};

void TestFakeTwainControl::recordsCallsInOrder()
{
    FakeTwainControl c;
    c.setSources({QStringLiteral("Demo")});
    c.setAcceptedResolutions({150, 300});
    c.setPropertyError(QStringLiteral("pageSize"), 45, QStringLiteral("adjusted"));
    QCOMPARE(c.StartDevice(), 1);
    c.setSourceIndex(0);
    QCOMPARE(c.OpenDataSource(), 1);
    c.setPixelType(1);
    c.setResolution(200);
    c.setPageSize(3);
    QCOMPARE(c.resolution(), 150);
    QCOMPARE(c.errorCode(), 45);
    QCOMPARE(c.calls(), (QStringList{"StartDevice", "sourceIndex=0", "OpenDataSource",
                                     "pixelType=1", "resolution=200", "pageSize=3"}));
}

void TestFakeTwainControl::playsBatchThenFailure()
{
    FakeTwainControl c;
    c.setSources({QStringLiteral("Demo")});
    c.StartDevice();
    c.OpenDataSource();
    const QImage page = FakeTwainControl::makePage(80, 100);
    c.queueBatch({FakeTwainControl::page(page), FakeTwainControl::page(page, 9, "gone"),
                  FakeTwainControl::failure(4, QStringLiteral("jam"))});
    QList<QPair<int, int>> seen; // flag, dataSourceState
    connect(&c, &TTwainControl::OnPostScan, this, [&](int flag) {
        seen.append({flag, c.dataSourceState()});
    });
    c.Acquire();
    QVERIFY(seen.isEmpty());
    QTRY_COMPARE(seen.size(), 3);
    QCOMPARE(seen.at(0), qMakePair(0, 6));
    QCOMPARE(seen.at(1), qMakePair(0, 6));
    QCOMPARE(seen.at(2), qMakePair(1, 0));
    QCOMPARE(c.errorCode(), 4);
    QCOMPARE(c.numImages(), 2);
    QCOMPARE(c.GetImageWidth(1), 80);
}

void TestFakeTwainControl::stopAnsweredAfterPagesRead_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("readAtStop");
    QTest::addColumn<int>("pagesAfterStop");
    QTest::newRow("idle") << false << 1 << 0;
    QTest::newRow("batch, nothing read ahead") << true << 0 << 0;
    QTest::newRow("batch, one sheet read") << true << 1 << 1;
    QTest::newRow("batch, more read than left") << true << 5 << 2;
}

// As the real control: OnStopped once per StopDevice, never from inside it, after
// the pages already read and before anything else.
void TestFakeTwainControl::stopAnsweredAfterPagesRead()
{
    QFETCH(bool, running);
    QFETCH(int, readAtStop);
    QFETCH(int, pagesAfterStop);
    FakeTwainControl c;
    c.setSources({QStringLiteral("Demo")});
    c.setAutoPlay(false);
    c.setSheetsReadAtStop(readAtStop);
    c.StartDevice();
    c.OpenDataSource();
    const auto sheet = FakeTwainControl::page(FakeTwainControl::makePage(80, 100));
    QStringList seen;
    connect(&c, &TTwainControl::OnPostScan, this, [&](int flag) {
        seen.append(QStringLiteral("page %1 state %2").arg(flag).arg(c.dataSourceState()));
    });
    connect(&c, &TTwainControl::OnStopped, this,
            [&] { seen.append(QStringLiteral("stopped state %1").arg(c.dataSourceState())); });
    if (running) {
        c.queueBatch({sheet, sheet, sheet});
        c.Acquire();
        QVERIFY(c.deliverNext());
        seen.clear();
    }
    c.StopDevice();
    QVERIFY(seen.isEmpty());
    QStringList expected;
    for (int i = 0; i < pagesAfterStop; ++i)
        expected << QStringLiteral("page 0 state 5");
    expected << QStringLiteral("stopped state 0");
    QTRY_COMPARE(seen, expected);
    QVERIFY(!c.deliverNext()); // the rest of the batch is gone
}

QTEST_GUILESS_MAIN(TestFakeTwainControl)
#include "tst_faketwaincontrol.moc"
