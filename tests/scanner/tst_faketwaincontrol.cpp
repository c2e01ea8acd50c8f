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

QTEST_GUILESS_MAIN(TestFakeTwainControl)
#include "tst_faketwaincontrol.moc"
