#include "pages/PageStore.h"
#include "scanner/SaneLibrary.h"
#include "scanner/SaneTwainControl.h"
#include "scanner/ScanErrors.h"
#include "session/ScanSession.h"
#include "support/Prerequisite.h"
#include "support/ScannerOpen.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

// The scanner control against the network scanner driver (sane-airscan) and a
// simulated eSCL scanner (escl-sim.py). Unlike SANE's test backend, this driver
// fetches each feeder page over HTTP in the background, makes sane_start wait
// until the next page has arrived, and takes a cancel to the device.
namespace {

// The simulator stamps its events with the wall clock; so does this side.
qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// What the simulator reported: "event <name> key=value ... t=<seconds>".
struct SimEvent
{
    QString name;
    QMap<QString, QString> fields;
    qint64 ms = 0;
    int sheet() const
    {
        return fields.value(QStringLiteral("sheet"), QStringLiteral("-1")).toInt();
    }
};

// One simulator for the whole run: SANE reads the device address once per
// initialisation, so the port must not change; each case reconfigures it.
class Simulator
{
public:
    ~Simulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.closeWriteChannel(); // it ends at the end of its input
            if (!m_process.waitForFinished(5000))
                m_process.kill();
        }
    }

    // Tries each Python in turn: the one first in PATH may lack the imaging module
    // the system's own has. Empty on success, else why it could not start.
    QString start()
    {
        QStringList pythons;
        for (const QString &candidate : {QStandardPaths::findExecutable(QStringLiteral("python3")),
                                         QStringLiteral("/usr/bin/python3")}) {
            if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable() &&
                !pythons.contains(candidate))
                pythons.append(candidate);
        }
        QString why = QStringLiteral("python3 was not found");
        for (const QString &python : std::as_const(pythons)) {
            QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                             [this] { readLines(); });
            m_process.start(python,
                            {QStringLiteral(PAGORA_SOURCE_DIR "/tests/scanner/escl-sim.py")});
            (void)QTest::qWaitFor(
                [this] { return m_port > 0 || m_process.state() == QProcess::NotRunning; }, 10000);
            if (m_port > 0)
                return {};
            m_process.kill();
            m_process.waitForFinished(2000);
            why = python + QStringLiteral(": ") +
                  QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
            m_process.disconnect();
        }
        return why;
    }

    int port() const { return m_port; }

    // New settings; the events so far are forgotten.
    bool configure(const QString &flags)
    {
        const QString line = QStringLiteral("config ") + flags;
        m_configured.clear();
        m_process.write(line.toUtf8() + '\n');
        return QTest::qWaitFor([&] { return m_configured == flags; }, 10000);
    }

    QList<SimEvent> events(const QString &name) const
    {
        QList<SimEvent> found;
        for (const SimEvent &e : m_events) {
            if (e.name == name)
                found.append(e);
        }
        return found;
    }
    QString log() const { return m_log.join(QLatin1Char('\n')); }

private:
    void readLines()
    {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            m_log.append(line);
            const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.value(0) == QLatin1String("port")) {
                m_port = words.value(1).toInt();
            } else if (words.value(0) == QLatin1String("configured")) {
                // Whatever came before belongs to the previous case.
                m_configured = line.mid(int(qstrlen("configured "))).trimmed();
                m_events.clear();
            } else if (words.value(0) == QLatin1String("event") && words.size() >= 2) {
                SimEvent e;
                e.name = words.at(1);
                for (const QString &w : words.mid(2)) {
                    const int eq = int(w.indexOf(QLatin1Char('=')));
                    e.fields.insert(w.left(eq), w.mid(eq + 1));
                }
                e.ms = qRound64(e.fields.value(QStringLiteral("t")).toDouble() * 1000.0);
                m_events.append(e);
            }
        }
    }

    QProcess m_process;
    int m_port = 0;
    QString m_configured;
    QList<SimEvent> m_events;
    QStringList m_log;
};

// The simulator fills sheet k with RGB (25 k, 255 - 25 k, 100). -1: the pixel is
// not a sheet's colour (a cut or damaged page).
int sheetOf(QRgb pixel)
{
    const int sheet = qRound(qRed(pixel) / 25.0);
    const bool matches = qAbs(qRed(pixel) - 25 * sheet) <= 12 &&
                         qAbs(qGreen(pixel) - (255 - 25 * sheet)) <= 12 &&
                         qAbs(qBlue(pixel) - 100) <= 12;
    return sheet >= 1 && matches ? sheet : -1;
}

// The sheet a colour page shows, top and bottom alike; -1 when they differ.
int sheetOf(const QImage &image)
{
    if (image.isNull())
        return -1;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int top = sheetOf(rgb.pixel(rgb.width() / 2, 2));
    const int bottom = sheetOf(rgb.pixel(rgb.width() / 2, rgb.height() - 3));
    return top == bottom ? top : -1;
}

// 0 black and white, 1 gray, 2 colour; -1 anything else.
int kindOf(QImage::Format format)
{
    switch (format) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 0;
    case QImage::Format_Grayscale8:
        return 1;
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return 2;
    default:
        return -1;
    }
}

struct Page
{
    int sheet;
    QSize size;
    QImage::Format format;
    int state; // dataSourceState during the page's event
    qint64 ms; // when it was handed over
};

// What the program would see in its OnPostScan handler.
class Recorder : public QObject
{
public:
    explicit Recorder(SaneTwainControl *c) : m_c(c)
    {
        connect(c, &TTwainControl::OnPostScan, this, [this](int flag) {
            if (flag != 0) {
                failures.append(m_c->errorCode());
                return;
            }
            const QImage image = m_c->GetImage(m_c->numImages() - 1);
            pages.append(
                {sheetOf(image), image.size(), image.format(), m_c->dataSourceState(), nowMs()});
            if (onPage)
                onPage();
        });
        connect(c, &TTwainControl::OnStopped, this, [this] { pagesAtStop.append(pages.size()); });
    }

    QList<Page> pages;
    QList<int> failures; // errorCode at each OnPostScan without a page
    QList<qsizetype> pagesAtStop;
    std::function<void()> onPage;

private:
    SaneTwainControl *m_c;
};

bool isSim(const QString &name)
{
    return name.startsWith(QLatin1String("airscan:")) && name.endsWith(QLatin1String(":Sim"));
}

int simDevice(const TTwainControl &c)
{
    return ScannerOpen::find(c, isSim);
}

bool open(SaneTwainControl &c, int dpi, int pixelType = 2)
{
    return ScannerOpen::open(c, isSim, dpi, pixelType) && c.errorCode() == 0;
}

bool startFeeder(SaneTwainControl &c)
{
    if (!open(c, 75))
        return false;
    c.setPageSize(1);
    c.setFeederEnabled(1);
    c.setDuplexEnabled(0);
    c.setXferCount(-1);
    c.setAutoFeed(1);
    if (c.errorCode() != 0 || c.feederLoaded() != 1)
        return false;
    c.Acquire();
    return true;
}

QList<int> sheets(const QList<Page> &pages)
{
    QList<int> out;
    for (const Page &p : pages)
        out.append(p.sheet);
    return out;
}

QList<int> sheets(const QList<SimEvent> &events)
{
    QList<int> out;
    for (const SimEvent &e : events)
        out.append(e.sheet());
    return out;
}

QList<int> oneTo(int n)
{
    QList<int> out;
    for (int i = 1; i <= n; ++i)
        out.append(i);
    return out;
}

constexpr int kBatchTimeoutMs = 60000;

} // namespace

class TestAirscan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void flatbedPage_data();
    void flatbedPage();
    void feederBatch_data();
    void feederBatch();
    void feederFailure_data();
    void feederFailure();
    void stopDuringSlowBatch();
    // Last: a driver left behind here leaves SANE unusable for what follows.
    void exitDuringBatch();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Simulator> m_sim;
};

void TestAirscan::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_sim = std::make_unique<Simulator>();
    const QString why = m_sim->start();
    if (!why.isEmpty())
        SKIP_OR_FAIL_IN_CI(QStringLiteral("the eSCL simulator does not start: ") + why);

    // Only this driver, only this device: no search of the network.
    const QString config = m_dir.filePath(QStringLiteral("sane"));
    QVERIFY(QDir().mkpath(config));
    QFile dll(config + QStringLiteral("/dll.conf"));
    QVERIFY(dll.open(QIODevice::WriteOnly));
    dll.write("airscan\n");
    dll.close();
    QFile airscan(config + QStringLiteral("/airscan.conf"));
    QVERIFY(airscan.open(QIODevice::WriteOnly));
    airscan.write(QStringLiteral("[devices]\n\"Sim\" = http://127.0.0.1:%1/eSCL, eSCL\n"
                                 "[options]\ndiscovery = disable\n")
                      .arg(m_sim->port())
                      .toUtf8());
    airscan.close();
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(config));
    // Working copies and the page journal go with the test's folder.
    const QString temp = m_dir.filePath(QStringLiteral("temp"));
    QVERIFY(QDir().mkpath(temp));
    qputenv("TEMP", QFile::encodeName(temp));

    SaneTwainControl c;
    if (!ScannerOpen::list(c) || simDevice(c) < 0)
        SKIP_OR_FAIL_IN_CI(QStringLiteral("sane-airscan does not list the simulated scanner"));
}

void TestAirscan::flatbedPage_data()
{
    QTest::addColumn<int>("pixelType");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<QRectF>("layout");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("kind");           // 0 black and white, 1 gray, 2 colour
    QTest::addColumn<QString>("deviceMode"); // what the scanner is asked for
    // 100 dpi. The size list counts A4 as 8.3 x 11.7 in and A5 as 5.8 x 8.3 in; the
    // bed is 297 mm (1169 pixels) tall.
    QTest::newRow("colour A4") << 2 << 1 << QRectF() << QSize(830, 1169) << 2 << "RGB24";
    QTest::newRow("gray A5") << 1 << 5 << QRectF() << QSize(580, 830) << 1 << "Grayscale8";
    // The driver offers no line art: the program makes it from gray.
    QTest::newRow("black and white Letter")
        << 0 << 3 << QRectF() << QSize(850, 1100) << 0 << "Grayscale8";
    QTest::newRow("colour drawn area")
        << 2 << 0 << QRectF(1, 1, 2, 3) << QSize(200, 300) << 2 << "RGB24";
}

void TestAirscan::flatbedPage()
{
    QFETCH(int, pixelType);
    QFETCH(int, pageSize);
    QFETCH(QRectF, layout);
    QFETCH(QSize, size);
    QFETCH(int, kind);
    QFETCH(QString, deviceMode);
    QVERIFY(m_sim->configure(QStringLiteral("--sheets 0")));
    SaneTwainControl c;
    Recorder r(&c);
    QVERIFY(open(c, 100, pixelType));
    QCOMPARE(c.feederAvailable(), 1);
    c.setPageSize(pageSize);
    if (!layout.isNull())
        c.SetImageLayout(layout.left(), layout.top(), layout.right(), layout.bottom());
    QCOMPARE(c.errorCode(), 0);
    QCOMPARE(c.resolution(), 100);
    c.Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(c.dataSourceState() == 0, kBatchTimeoutMs);
    QCOMPARE(r.pages.size(), 1);
    QVERIFY(r.failures.isEmpty() || r.failures == QList<int>{0}); // at most an end, no error
    QCOMPARE(c.errorCode(), 0);
    const Page &page = r.pages.first();
    QVERIFY2(qAbs(page.size.width() - size.width()) <= 2 &&
                 qAbs(page.size.height() - size.height()) <= 2,
             qPrintable(QStringLiteral("%1 x %2").arg(page.size.width()).arg(page.size.height())));
    QCOMPARE(kindOf(page.format), kind);
    if (kind == 2)
        QCOMPARE(page.sheet, 1); // the scanner's picture in its colours, whole

    // One flatbed job, of the asked kind and size, and nothing from the feeder.
    const QList<SimEvent> jobs = m_sim->events(QStringLiteral("job"));
    QCOMPARE(jobs.size(), 1);
    QCOMPARE(jobs.first().fields.value(QStringLiteral("source")), QStringLiteral("Platen"));
    QCOMPARE(jobs.first().fields.value(QStringLiteral("mode")), deviceMode);
    QCOMPARE(jobs.first().fields.value(QStringLiteral("res")).toInt(), 100);
    QVERIFY2(qAbs(jobs.first().fields.value(QStringLiteral("width")).toInt() - size.width()) <= 2,
             qPrintable(m_sim->log()));
    QCOMPARE(m_sim->events(QStringLiteral("sent")).size(), 1);
}

void TestAirscan::feederBatch_data()
{
    QTest::addColumn<int>("sheetCount");
    QTest::addColumn<double>("seconds"); // per sheet
    QTest::newRow("five quick sheets") << 5 << 0.0;
    // The driver asks for the next page only after it has the previous one: each
    // page must reach the program when it arrives, not when the next one does.
    QTest::newRow("three slow sheets") << 3 << 2.0;
}

// Every sheet arrives, whole and in order, as soon as the scanner has sent it; the
// batch then ends without an error, and nothing follows.
void TestAirscan::feederBatch()
{
    QFETCH(int, sheetCount);
    QFETCH(double, seconds);
    QVERIFY(
        m_sim->configure(QStringLiteral("--sheets %1 --seconds %2").arg(sheetCount).arg(seconds)));
    SaneTwainControl c;
    Recorder r(&c);
    QVERIFY(startFeeder(c));
    QTRY_VERIFY_WITH_TIMEOUT(c.dataSourceState() == 0, kBatchTimeoutMs);
    const QList<SimEvent> sent = m_sim->events(QStringLiteral("sent"));
    for (int i = 0; i < r.pages.size() && i < sent.size(); ++i)
        qInfo("page %d: sent %lld, handed over %lld ms later, state %d", i + 1, sent.at(i).ms,
              r.pages.at(i).ms - sent.at(i).ms, r.pages.at(i).state);

    QCOMPARE(sheets(sent), oneTo(sheetCount));
    QCOMPARE(sheets(r.pages), oneTo(sheetCount));
    for (const Page &p : std::as_const(r.pages))
        QCOMPARE(p.size, r.pages.first().size);
    QCOMPARE(c.errorCode(), 0); // an emptied feeder is the normal end
    QVERIFY(r.failures.isEmpty() || r.failures == QList<int>{0}); // at most an end, no error
    // The end is told apart from the pages: while a page is handled, the program
    // cannot yet know whether the feeder has more.
    for (const Page &p : std::as_const(r.pages))
        QVERIFY2(p.state != 0, qPrintable(QStringLiteral("sheet %1").arg(p.sheet)));
    for (int i = 0; i < sheetCount; ++i) {
        const qint64 late = r.pages.at(i).ms - sent.at(i).ms;
        QVERIFY2(late <= 1000, qPrintable(QStringLiteral("sheet %1 handed over %2 ms after it "
                                                         "was sent")
                                              .arg(i + 1)
                                              .arg(late)));
    }

    // Released as the program does after the last page: nothing more comes.
    QSignalSpy stopped(&c, &TTwainControl::OnStopped);
    c.StopDevice();
    QVERIFY(stopped.wait(10000));
    QCOMPARE(r.pages.size(), sheetCount);
    QCOMPARE(c.dataSourceState(), 0);
}

void TestAirscan::feederFailure_data()
{
    QTest::addColumn<QString>("flags");
    QTest::addColumn<int>("code");
    QTest::newRow("jam at sheet 3, 409")
        << "--sheets 5 --jam-at 3 --jam-status 409" << int(ScanError::Jammed);
    QTest::newRow("jam at sheet 3, 503")
        << "--sheets 5 --jam-at 3 --jam-status 503" << int(ScanError::Jammed);
    QTest::newRow("connection closed in sheet 3")
        << "--sheets 5 --drop-at 3" << int(ScanError::IoError);
}

// A feeder failure on the third sheet: the first two pages are kept, and the user
// is told what went wrong.
void TestAirscan::feederFailure()
{
    QFETCH(QString, flags);
    QFETCH(int, code);
    QVERIFY(m_sim->configure(flags));
    SaneTwainControl c;
    Recorder r(&c);
    QVERIFY(startFeeder(c));
    QTRY_VERIFY_WITH_TIMEOUT(c.dataSourceState() == 0, kBatchTimeoutMs);
    QCOMPARE(sheets(r.pages), oneTo(2));
    QCOMPARE(c.errorCode(), code);
    QCOMPARE(c.errorString(), ScanError::text(code));
    QVERIFY(!c.errorString().isEmpty());
    // The scanner's job is given up, not left holding the device.
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->events(QStringLiteral("delete")).size(), 1, 10000);
}

// Stop one second after the second of five slow sheets: every sheet the scanner
// sent arrives whole, the scanner hears of the stop at once, and the next scan runs.
void TestAirscan::stopDuringSlowBatch()
{
    QVERIFY(m_sim->configure(QStringLiteral("--sheets 5 --seconds 2")));
    SaneTwainControl c;
    Recorder r(&c);
    qint64 stopMs = 0;
    r.onPage = [&] {
        if (r.pages.size() == 2) {
            QTimer::singleShot(1000, &c, [&] {
                stopMs = nowMs();
                c.StopDevice();
            });
        }
    };
    QVERIFY(startFeeder(c));
    QTRY_VERIFY_WITH_TIMEOUT(!r.pagesAtStop.isEmpty(), kBatchTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!m_sim->events(QStringLiteral("delete")).isEmpty(), 15000);
    const qint64 heard = m_sim->events(QStringLiteral("delete")).first().ms - stopMs;
    qInfo("pages %s, sheets sent %s; the scanner heard of the stop %lld ms after it",
          qPrintable(QDebug::toString(sheets(r.pages))),
          qPrintable(QDebug::toString(sheets(m_sim->events(QStringLiteral("sent"))))), heard);

    QCOMPARE(r.pagesAtStop.size(), 1);
    QCOMPARE(r.pagesAtStop.first(), r.pages.size());
    QVERIFY(r.pages.size() >= 2);
    QCOMPARE(sheets(r.pages), sheets(m_sim->events(QStringLiteral("sent"))));
    for (const Page &p : std::as_const(r.pages))
        QCOMPARE(p.size, r.pages.first().size);
    QVERIFY2(heard <= 1000, qPrintable(QString::number(heard)));

    // The scanner is free again for the next command.
    QVERIFY(m_sim->configure(QStringLiteral("--sheets 0")));
    QVERIFY(open(c, 100));
    c.setPageSize(0);
    c.SetImageLayout(0, 0, 2, 2);
    const qsizetype before = r.pages.size();
    c.Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(c.dataSourceState() == 0, kBatchTimeoutMs);
    QCOMPARE(c.errorCode(), 0);
    QCOMPARE(r.pages.size(), before + 1);
    QCOMPARE(r.pages.last().size, QSize(200, 200));
}

// The program is closed during a slow feeder batch: the pages the scanner sent
// before are written and listed, and the control is gone within two seconds.
void TestAirscan::exitDuringBatch()
{
    QVERIFY(m_sim->configure(QStringLiteral("--sheets 5 --seconds 2")));
    const QString scans = m_dir.filePath(QStringLiteral("scans"));
    QVERIFY(QDir().mkpath(scans));
    auto *control = new SaneTwainControl;
    PageStore store;
    auto session = std::make_unique<ScanSession>(control, &store);
    session->setNaming({QStringLiteral("Page"), QStringLiteral("bmp"), scans});
    QList<PageEntry> listed;
    QElapsedTimer closing;
    connect(session.get(), &ScanSession::pageListed, this, [&](const PageEntry &page) {
        listed.append(page);
        if (listed.size() == 2) {
            QTimer::singleShot(1000, session.get(), [&] {
                closing.start();
                session->close();
            });
        }
    });
    QVERIFY(ScannerOpen::list(*control));
    ScanSession::Request request;
    request.source = simDevice(*control);
    QVERIFY(request.source >= 0);
    request.resolution = 75;
    request.sizeIndex = 1;
    request.feeder = true;
    QVERIFY(session->TwainScan(request));
    QTRY_VERIFY_WITH_TIMEOUT(session->isClosed() && !session->busy(), kBatchTimeoutMs);
    delete control; // as the window goes
    const qint64 closedIn = closing.elapsed();
    const QList<SimEvent> sent = m_sim->events(QStringLiteral("sent"));
    qInfo("closed in %lld ms; listed %lld page(s), sheets sent %s", closedIn, qint64(listed.size()),
          qPrintable(QDebug::toString(sheets(sent))));

    QVERIFY2(closedIn <= 2000, qPrintable(QString::number(closedIn)));
    QCOMPARE(listed.size(), sent.size());
    for (int i = 0; i < listed.size(); ++i)
        QCOMPARE(sheetOf(QImage(listed.at(i).pageFile)), sent.at(i).sheet());
    QVERIFY(!SaneLibrary::instance().isAbandoned()); // the driver itself came back
}

QTEST_GUILESS_MAIN(TestAirscan)
#include "tst_airscan.moc"
