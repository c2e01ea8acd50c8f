// Scanners shared by saned, reached through SANE's network backend: a saned of the
// test's own exports SANE's test backend and a device whose feeder cannot be chosen
// (sane-stucksource.cpp), and the control scans from them as net:<address>:<device>.
// The network backend refuses every option call until the frontend has fetched the
// descriptors again after a reload; settings that never arrive show here as pages
// of the device's default kind, a feeder never chosen as a batch without end.
#include "scanner/PageSizes.h"
#include "scanner/SaneTwainControl.h"
#include "scanner/ScanErrors.h"
#include "support/Prerequisite.h"
#include "support/ScannerOpen.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <unistd.h>

namespace {

// Debian's network backend always connects to the sane-port service (6566): a port
// cannot be named in net.conf. Each run takes an address of its own in 127.0.0.0/8
// instead, so that two runs on one machine do not meet.
constexpr quint16 kSanePort = 6566;
constexpr int kBatchTimeoutMs = 120000;

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

struct Page
{
    QSize size;
    int depth;
    int dpi;
};

} // namespace

class TestSaneNet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void scanThroughNet_data();
    void scanThroughNet();

private:
    bool startSaned(const QString &saned);
    QTemporaryDir m_dir;
    QProcess m_saned;
    QString m_address;
};

bool TestSaneNet::startSaned(const QString &saned)
{
    const QString serverConfig = m_dir.filePath(QStringLiteral("server"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SANE_CONFIG_DIR"), serverConfig); // no ':': this folder alone
    const QString libraries = env.value(QStringLiteral("LD_LIBRARY_PATH"));
    env.insert(QStringLiteral("LD_LIBRARY_PATH"),
               QStringLiteral(PAGORA_TEST_BACKENDS) +
                   (libraries.isEmpty() ? QString() : QLatin1Char(':') + libraries));
    m_saned.setProcessEnvironment(env);
    m_saned.setProgram(saned);
    // A session of its own: the children serving each connection go with it.
    m_saned.setChildProcessModifier([] { ::setsid(); });
    m_saned.setStandardOutputFile(m_dir.filePath(QStringLiteral("saned.log")));
    m_saned.setStandardErrorFile(m_dir.filePath(QStringLiteral("saned.log")), QIODevice::Append);
    for (int attempt = 0; attempt < 5; ++attempt) {
        auto *random = QRandomGenerator::global();
        m_address = QStringLiteral("127.%1.%2.%3")
                        .arg(random->bounded(100, 255))
                        .arg(random->bounded(0, 256))
                        .arg(random->bounded(1, 255));
        // Standalone, in the foreground, on that address only.
        m_saned.setArguments({QStringLiteral("-l"), QStringLiteral("-e"), QStringLiteral("-b"),
                              m_address, QStringLiteral("-p"), QString::number(kSanePort)});
        m_saned.start();
        if (!m_saned.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(10000);
        while (m_saned.state() == QProcess::Running && !deadline.hasExpired()) {
            QTcpSocket probe;
            probe.connectToHost(m_address, kSanePort);
            if (probe.waitForConnected(200))
                return true;
            QTest::qWait(50); // saned binds in its own time; lets the process state move on
        }
        // The port is taken there (a saned listening on every address): another one.
        m_saned.kill();
        m_saned.waitForFinished(5000);
    }
    return false;
}

void TestSaneNet::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString saned = QStandardPaths::findExecutable(
        QStringLiteral("saned"),
        {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin")});
    if (saned.isEmpty())
        SKIP_OR_FAIL_IN_CI("saned (sane-utils) is not installed");

    // The server: the demo scanner's test backend and ours. Loopback peers are always
    // let in; saned.conf names them anyway, as a real set-up would.
    const QString server = m_dir.filePath(QStringLiteral("server"));
    QVERIFY(QDir().mkpath(server));
    QVERIFY(QFile::copy(QStringLiteral(PAGORA_SOURCE_DIR "/data/sane/test.conf"),
                        server + QStringLiteral("/test.conf")));
    QVERIFY(writeFile(server + QStringLiteral("/dll.conf"), "test\nstucksource\n"));
    QVERIFY(writeFile(server + QStringLiteral("/saned.conf"), "127.0.0.0/8\nlocalhost\n"));
    if (!startSaned(saned)) {
        QFile log(m_dir.filePath(QStringLiteral("saned.log")));
        log.open(QIODevice::ReadOnly);
        SKIP_OR_FAIL_IN_CI(QStringLiteral("saned did not listen on port %1 of a loopback "
                                          "address (a saned of the system listening on every "
                                          "address?): %2")
                               .arg(kSanePort)
                               .arg(QString::fromLocal8Bit(log.readAll().right(2000))));
    }

    // The client (this process): the network backend alone, pointed at that address.
    // SANE reads it when it starts, that is when the first control attaches.
    const QString client = m_dir.filePath(QStringLiteral("client"));
    QVERIFY(QDir().mkpath(client));
    QVERIFY(writeFile(client + QStringLiteral("/dll.conf"), "net\n"));
    QVERIFY(writeFile(client + QStringLiteral("/net.conf"),
                      "connect_timeout = 10\n" + m_address.toLatin1() + '\n'));
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(client));
    qunsetenv("SANE_NET_HOSTS");
}

void TestSaneNet::cleanupTestCase()
{
    if (m_saned.state() == QProcess::NotRunning)
        return;
    ::kill(-pid_t(m_saned.processId()), SIGTERM);
    if (!m_saned.waitForFinished(10000)) {
        ::kill(-pid_t(m_saned.processId()), SIGKILL);
        m_saned.waitForFinished(10000);
    }
}

void TestSaneNet::scanThroughNet_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("feeder");
    QTest::addColumn<int>("pixelType");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("depth"); // bits per pixel: colour 24, gray 8, line art 1
    QTest::addColumn<int>("error"); // after the settings, and then for the batch
    // The test device's own defaults are colour, 50 dpi, the flatbed and an area of
    // 210 x 297 mm. Page size 1 is A4, 5 is A5.
    const QString test = QStringLiteral("test:0");
    QTest::newRow("flatbed colour 300 dpi A4") << test << false << 2 << 300 << 1 << 1 << 24 << 0;
    QTest::newRow("flatbed gray 150 dpi A5") << test << false << 1 << 150 << 5 << 1 << 8 << 0;
    QTest::newRow("flatbed line art 100 dpi A5") << test << false << 0 << 100 << 5 << 1 << 1 << 0;
    // The test backend's feeder holds 10 sheets, then reports it is empty.
    QTest::newRow("feeder colour 300 dpi A5, every sheet")
        << test << true << 2 << 300 << 5 << 10 << 24 << 0;
    // Refused: scanning the flatbed instead would never end.
    QTest::newRow("feeder that cannot be chosen")
        << QStringLiteral("stucksource:stuck") << true << 2 << 300 << 5 << 0 << 24
        << int(ScanError::FeederNotSelected);
}

void TestSaneNet::scanThroughNet()
{
    QFETCH(QString, device);
    QFETCH(bool, feeder);
    QFETCH(int, pixelType);
    QFETCH(int, dpi);
    QFETCH(int, pageSize);
    QFETCH(int, pages);
    QFETCH(int, depth);
    QFETCH(int, error);
    // The paper at the resolution; the device sets its area in whole millimetres.
    const PageSizes::PageSize &paper = PageSizes::at(pageSize);
    const QSize size(qRound(paper.width * dpi), qRound(paper.height * dpi));
    const int tolerance = qCeil(dpi / 25.4) + 1;

    SaneTwainControl c;
    const QString name = QStringLiteral("net:%1:%2").arg(m_address, device);
    QVERIFY2(ScannerOpen::open(
                 c, [&](const QString &listed) { return listed == name; }, dpi, pixelType),
             qPrintable(name + QStringLiteral(": ") + c.errorString()));
    c.setPageSize(pageSize);
    if (feeder) {
        QCOMPARE(c.feederAvailable(), 1);
        c.setFeederEnabled(1);
        c.setDuplexEnabled(0);
        QCOMPARE(c.feederLoaded(), 1);
        c.setXferCount(-1);
        c.setAutoFeed(1);
    }
    QVERIFY2(c.errorCode() == error, qPrintable(c.errorString()));
    if (error != 0)
        QCOMPARE(c.errorString(), ScanError::text(error));
    QCOMPARE(c.resolution(), dpi);

    QList<Page> received;
    QList<int> failures;
    connect(&c, &TTwainControl::OnPostScan, this, [&](int flag) {
        if (flag != 0) {
            // An empty feeder ends a batch; anything else is a failure.
            if (c.errorCode() != 0 && !(feeder && c.errorCode() == ScanError::NoDocuments))
                failures << c.errorCode();
            return;
        }
        const QImage image = c.GetImage(c.numImages() - 1);
        received.append({image.size(), image.depth(), qRound(image.dotsPerMeterX() * 0.0254)});
    });
    c.Acquire();
    // Even refused settings are tried by a caller that scans on regardless. However
    // the end of the batch is announced, the source is closed after it; a batch that
    // never ends (the feeder never chosen, every start a flatbed page) stops the
    // wait once it has gone past the count.
    QTRY_VERIFY2_WITH_TIMEOUT(c.dataSourceState() == 0 || received.size() > pages,
                              qPrintable(QStringLiteral("%1 pages so far").arg(received.size())),
                              kBatchTimeoutMs);
    QCOMPARE(failures, error != 0 ? QList<int>{error} : QList<int>());
    QCOMPARE(received.size(), pages);
    QCOMPARE(c.numImages(), pages);
    for (const Page &p : received) {
        QVERIFY2(qAbs(p.size.width() - size.width()) <= tolerance &&
                     qAbs(p.size.height() - size.height()) <= tolerance,
                 qPrintable(QStringLiteral("%1 x %2, not %3 x %4")
                                .arg(p.size.width())
                                .arg(p.size.height())
                                .arg(size.width())
                                .arg(size.height())));
        QCOMPARE(p.depth, depth);
        QCOMPARE(p.dpi, dpi);
    }

    QSignalSpy stopped(&c, &TTwainControl::OnStopped);
    c.StopDevice();
    QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, 30000);
}

QTEST_GUILESS_MAIN(TestSaneNet)
#include "tst_sanenet.moc"
