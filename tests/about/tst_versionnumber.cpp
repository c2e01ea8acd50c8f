#include "about/VersionNumber.h"

#include <QTest>

// Version values and the "newer" rule, as the update check applies them to
// what the server announces.
class tst_VersionNumber : public QObject
{
    Q_OBJECT

private slots:
    void value_data();
    void value();
    void isNewer_data();
    void isNewer();
};

void tst_VersionNumber::value_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("release") << "2.0.3.41" << true << qint64(2000341);
    QTest::newRow("three numbers") << "2.0.4" << true << qint64(2000400);
    QTest::newRow("two numbers") << "2.1" << true << qint64(2010000);
    QTest::newRow("words after") << "2.0.3.41 beta" << true << qint64(2000341);
    QTest::newRow("fifth number ignored") << "build 2.0.3.41.7" << true << qint64(2000341);
    QTest::newRow("carry into the place before") << "1.0.100.0" << true << qint64(1010000);
    QTest::newRow("any separators") << "v10-20_30/40" << true << qint64(10203040);
    QTest::newRow("empty") << "" << true << qint64(0);
    QTest::newRow("no digits") << "beta" << true << qint64(0);
    QTest::newRow("other scripts' digits are no digits")
        << QString::fromUtf8("\u0662.\u0660") << true << qint64(0);
    QTest::newRow("leading zeros") << "0000000000000000000002.0.3.41" << true << qint64(2000341);
    // Beyond what 32-bit arithmetic could hold: 64-bit keeps the order.
    QTest::newRow("first number 2148") << "2148.0.0.0" << true << qint64(2148000000);
    QTest::newRow("largest run") << "2147483647.2147483647" << true
                                 << qint64(2147483647) * 1000000 + qint64(2147483647) * 10000;
    QTest::newRow("run beyond 32 bits") << "2147483648.0" << false << qint64(0);
    QTest::newRow("huge run in fourth place") << "2.0.3.99999999999999999999" << false << qint64(0);
    QTest::newRow("huge run after the fourth is ignored")
        << "2.0.3.41.99999999999999999999" << true << qint64(2000341);
}

void tst_VersionNumber::value()
{
    QFETCH(QString, text);
    QFETCH(bool, readable);
    QFETCH(qint64, expected);

    const std::optional<qint64> v = VersionNumber::value(text);
    QCOMPARE(v.has_value(), readable);
    if (readable)
        QCOMPARE(*v, expected);
}

void tst_VersionNumber::isNewer_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("announced");
    QTest::addColumn<int>("expected"); // 1 newer, 0 not newer, -1 unreadable

    QTest::newRow("equal") << "2.0.3.41"
                           << "2.0.3.41" << 0;
    QTest::newRow("2.0.4") << "2.0.3.41"
                           << "2.0.4" << 1;
    QTest::newRow("2.1") << "2.0.3.41"
                         << "2.1" << 1;
    QTest::newRow("older") << "2.0.3.41"
                           << "2.0.3.40" << 0;
    QTest::newRow("beta suffix") << "2.0.3.41"
                                 << "2.0.3.41 beta" << 0;
    QTest::newRow("build prefix, fifth number") << "2.0.3.41"
                                                << "build 2.0.3.41.7" << 0;
    QTest::newRow("1.0.100.0 vs 1.1") << "1.0.100.0"
                                      << "1.1" << 0;
    QTest::newRow("1.1 vs 1.0.100.1") << "1.1"
                                      << "1.0.100.1" << 1;
    QTest::newRow("2.0 vs 2.0.0.0") << "2.0"
                                    << "2.0.0.0" << 0;
    QTest::newRow("no digits") << "2.0.3.41"
                               << "latest" << 0;
    QTest::newRow("empty announcement") << "2.0.3.41"
                                        << "" << 0;
    QTest::newRow("empty local") << ""
                                 << "0.0.0.1" << 1;
    QTest::newRow("2148 beats 2147") << "2147.99.99.99"
                                     << "2148" << 1;
    QTest::newRow("largest runs") << "2147483646"
                                  << "2147483647" << 1;
    QTest::newRow("huge announced run") << "2.0.3.41"
                                        << "99999999999999999999" << -1;
    QTest::newRow("huge local run") << "4294967296"
                                    << "2.0" << -1;
}

void tst_VersionNumber::isNewer()
{
    QFETCH(QString, local);
    QFETCH(QString, announced);
    QFETCH(int, expected);

    const std::optional<bool> newer = VersionNumber::isNewer(local, announced);
    QCOMPARE(newer.has_value(), expected >= 0);
    if (newer)
        QCOMPARE(int(*newer), expected);
}

QTEST_GUILESS_MAIN(tst_VersionNumber)
#include "tst_versionnumber.moc"
