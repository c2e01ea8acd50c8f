#include "scanner/SaneDeviceLister.h"
#include "scanner/SaneLibrary.h"
#include "scanner/SaneTwainControl.h"
#include "scanner/ScanErrors.h"
#include "support/ScannerOpen.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

// Against SANE's real test backend, configured by data/sane (SANE_CONFIG_DIR).
namespace {

struct Event
{
    int flag;
    int state;
    int errorCode;
    int numImages;
    int width;
    int height;
    QImage::Format format = QImage::Format_Invalid;
};

// Records what the program would see in its OnPostScan handler.
class Recorder : public QObject
{
public:
    explicit Recorder(SaneTwainControl *c) : m_c(c)
    {
        connect(c, &TTwainControl::OnPostScan, this, [this](int flag) {
            const int index = m_c->numImages() - 1;
            events.append({flag, m_c->dataSourceState(), m_c->errorCode(), m_c->numImages(),
                           m_c->GetImageWidth(index), m_c->GetImageHeight(index)});
            if (onEvent)
                onEvent(flag);
        });
        connect(c, &TTwainControl::OnProgress, this, [this](int action, int percent) {
            QCOMPARE(action, int(TTwainControl::Acquiring));
            progress.append({clock.isValid() ? clock.restart() : (clock.start(), 0), percent});
        });
        connect(c, &TTwainControl::OnSourceFinished, this, [this] {
            finishes.append({m_c->dataSourceState(), m_c->errorCode(), int(events.size())});
        });
        connect(c, &TTwainControl::OnStopped, this, [this] {
            stopped.append(int(events.size()));
            stoppedInsideCall = stoppedInsideCall || insideStopCall;
            stateAtStopped = m_c->dataSourceState();
        });
    }
    // The last page said so, or the end of a feeder batch came after it.
    bool finished() const
    {
        return (!events.isEmpty() && events.last().state == 0) ||
               (!finishes.isEmpty() && finishes.last().pagesBefore == events.size());
    }
    void stop()
    {
        insideStopCall = true;
        m_c->StopDevice();
        insideStopCall = false;
    }

    struct Finish
    {
        int state;
        int errorCode;
        qsizetype pagesBefore;
    };
    QList<Event> events;
    QList<Finish> finishes; // OnSourceFinished
    QList<int> stopped;     // events recorded before each OnStopped
    bool insideStopCall = false;
    bool stoppedInsideCall = false;
    int stateAtStopped = -1;
    QList<QPair<qint64, int>> progress; // ms since the previous one, percent
    std::function<void(int)> onEvent;

private:
    SaneTwainControl *m_c;
    QElapsedTimer clock;
};

int testDevice(SaneTwainControl &c)
{
    for (int i = 0; i < c.sourceCount(); ++i) {
        if (c.deviceName(i) == QLatin1String("test:0"))
            return i;
    }
    return -1;
}

// The test backend keeps option values from one open to the next: every test
// starts from the same device.
void resetDevice(SaneTwainControl &c)
{
    c.clearDeviceOptionOverrides();
    c.setDeviceOptionOverride("read-return-value", QStringLiteral("Default"));
    c.setDeviceOptionOverride("test-picture", QStringLiteral("Color pattern"));
    c.setDeviceOptionOverride("read-limit", false);
    c.setDeviceOptionOverride("read-delay", false);
    c.setDeviceOptionOverride("hand-scanner", false);
}

bool open(SaneTwainControl &c, int dpi = 50, int pixelType = 2)
{
    return ScannerOpen::open(
        c, [](const QString &name) { return name == QLatin1String("test:0"); }, dpi, pixelType);
}

constexpr int kBatchTimeoutMs = 30000;

} // namespace

class TestSaneTwainControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deviceListed();
    void sourcesListedWithoutWaiting();
    void rememberedDeviceBeforeList_data();
    void listInSeparateProcess_data();
    void listInSeparateProcess();
    void scanDuringSeparateSearch();
    void rememberedDeviceBeforeList();
    void flatbedPage_data();
    void flatbedPage();
    void pageSizeClampedToBed();
    void resolutionReadBack();
    void feederBatch();
    void duplexUnavailableDoesNotStop();
    void injectedStatus_data();
    void injectedStatus();
    void pageTooLarge();
    void progressIsThrottled();
    void blankSheetFromTestPicture();
    void stopDuringBatch_data();
    void stopDuringBatch();
    void commandsWithoutSource();
    void commandWhileScannerThreadBusy_data();
    void commandWhileScannerThreadBusy();

private:
    QTemporaryDir m_dir;
};

void TestSaneTwainControl::initTestCase()
{
    // The shipped demo scanner with only the test backend enabled: listing every
    // backend of the system would cost a second per control and probe the network.
    QVERIFY(m_dir.isValid());
    const QString config = m_dir.filePath(QStringLiteral("sane"));
    QVERIFY(QDir().mkpath(config));
    QVERIFY(QFile::copy(QStringLiteral(PAGORA_SOURCE_DIR "/data/sane/test.conf"),
                        config + QStringLiteral("/test.conf")));
    QFile dll(config + QStringLiteral("/dll.conf"));
    QVERIFY(dll.open(QIODevice::WriteOnly));
    dll.write("test\n");
    dll.close();
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(config));
}

void TestSaneTwainControl::deviceListed()
{
    SaneTwainControl c;
    QVERIFY(ScannerOpen::list(c));
    const int index = testDevice(c);
    QVERIFY(index >= 0);
    QVERIFY(c.GetSourceProductName(index).contains(QLatin1String("frontend-tester")));
    QVERIFY(c.sourceIndex() >= 0);
    QVERIFY(c.GetSourceProductName(c.sourceCount()).isEmpty());
}

void TestSaneTwainControl::sourcesListedWithoutWaiting()
{
    SaneTwainControl c;
    QSignalSpy listed(&c, &TTwainControl::OnSourcesListed);
    c.ListSources();
    c.ListSources();             // only the newer request is answered
    QCOMPARE(listed.count(), 0); // the answer comes from the worker, later
    QVERIFY(listed.wait(30000));
    // The worker answers in order: once a later stop is answered, a second list
    // would have arrived.
    QSignalSpy stopped(&c, &TTwainControl::OnStopped);
    c.StopDevice();
    QTRY_COMPARE(stopped.count(), 1);
    QCOMPARE(listed.count(), 1);
    QCOMPARE(listed.first().first().toInt(), 1);
    QVERIFY(testDevice(c) >= 0);
    QVERIFY(c.sourceIndex() >= 0);

    // Destroyed during a search: no answer reaches a deleted control, nothing hangs.
    auto *other = new SaneTwainControl;
    QSignalSpy otherListed(other, &TTwainControl::OnSourcesListed);
    other->ListSources();
    delete other;
    QCOMPARE(otherListed.count(), 0);
}

void TestSaneTwainControl::rememberedDeviceBeforeList_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("opens");
    QTest::newRow("the demo scanner") << "test:0" << true;
    QTest::newRow("no such device of a backend") << "test:7" << false;
    QTest::newRow("no such backend") << "gone:0" << false;
}

void TestSaneTwainControl::rememberedDeviceBeforeList()
{
    QFETCH(QString, device);
    QFETCH(bool, opens);
    SaneTwainControl c;
    QSignalSpy opened(&c, &TTwainControl::OnRememberedSourceOpened);
    c.OpenRememberedSource(device);
    QCOMPARE(opened.count(), 0); // the worker answers, later
    QVERIFY(opened.wait(30000));
    QCOMPARE(opened.first().first().toInt() != 0, opens);
    if (!opens) {
        QCOMPARE(c.sourceCount(), 0);
        return;
    }
    // Listed alone by its name, chosen, and ready for a command.
    QCOMPARE(c.sourceCount(), 1);
    QCOMPARE(c.sourceIndex(), 0);
    QCOMPARE(c.GetSourceDeviceName(0), device);
    QCOMPARE(c.GetSourceProductName(0), device);
    QCOMPARE(c.StartDevice(), 1);
    QVERIFY(ScannerOpen::openSource(c));

    // The full list keeps it chosen, now with its product name.
    QSignalSpy listed(&c, &TTwainControl::OnSourcesListed);
    c.ListSources();
    QVERIFY(listed.wait(30000));
    QCOMPARE(listed.first().first().toInt(), 1);
    QCOMPARE(c.GetSourceDeviceName(c.sourceIndex()), device);
    QVERIFY(c.GetSourceProductName(c.sourceIndex()).contains(QLatin1String("frontend-tester")));
    QVERIFY(ScannerOpen::openSource(c));
}

void TestSaneTwainControl::listInSeparateProcess_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("product"); // of test:0; empty: not listed
    const QString sh = QStringLiteral("/bin/sh");
    QTest::newRow("the program itself")
        << QStringLiteral(PAGORA_PRO) << QStringList{QString::fromLatin1(SaneDeviceLister::kOption)}
        << 1 << "Noname frontend-tester";
    QTest::newRow("names with spaces and quotes")
        << sh
        << QStringList{"-c",
                       R"(printf '%s\n' '[{"name":"test:0","vendor":"A \"B\"","model":"C D"}]')"}
        << 1 << "A \"B\" C D";
    QTest::newRow("cannot be run: on the worker")
        << QStringLiteral("/nonexistent/pagora") << QStringList() << 1 << "Noname frontend-tester";
    QTest::newRow("fails") << sh << QStringList{"-c", "exit 3"} << 0 << QString();
    QTest::newRow("killed") << sh << QStringList{"-c", "kill -9 $$"} << 0 << QString();
    QTest::newRow("garbage") << sh << QStringList{"-c", "echo 'test:0 is a scanner'"} << 0
                             << QString();
    QTest::newRow("nameless device")
        << sh << QStringList{"-c", R"(echo '[{"vendor":"A","model":"B"}]')"} << 0 << QString();
}

void TestSaneTwainControl::listInSeparateProcess()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, result);
    QFETCH(QString, product);
    SaneDeviceLister::setCommand(program, arguments);
    const auto reset = qScopeGuard([] { SaneDeviceLister::setCommand({}, {}); });
    SaneTwainControl c;
    QSignalSpy listed(&c, &TTwainControl::OnSourcesListed);
    c.ListSources();
    QCOMPARE(listed.count(), 0);
    QVERIFY(listed.wait(30000));
    QCOMPARE(listed.count(), 1);
    QCOMPARE(listed.first().first().toInt(), result);
    if (result == 0) {
        QCOMPARE(c.sourceCount(), 0);
        return;
    }
    const int index = testDevice(c);
    QVERIFY(index >= 0);
    QCOMPARE(c.GetSourceProductName(index), product);
    // The list is the real one: its device opens.
    c.setSourceIndex(index);
    QVERIFY(ScannerOpen::openSource(c));
}

void TestSaneTwainControl::scanDuringSeparateSearch()
{
    // A search that never ends (a network backend waiting): the remembered device
    // scans meanwhile, and the control goes without waiting for the search.
    SaneDeviceLister::setCommand(QStringLiteral("/bin/sh"), {"-c", "exec sleep 600"});
    const auto reset = qScopeGuard([] { SaneDeviceLister::setCommand({}, {}); });
    QElapsedTimer clock;
    clock.start();
    {
        SaneTwainControl c;
        Recorder r(&c);
        QSignalSpy opened(&c, &TTwainControl::OnRememberedSourceOpened);
        c.OpenRememberedSource(QStringLiteral("test:0"));
        QVERIFY(opened.wait(30000));
        QSignalSpy listed(&c, &TTwainControl::OnSourcesListed);
        c.ListSources();
        resetDevice(c);
        QVERIFY(open(c, 20));
        c.Acquire();
        QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
        QCOMPARE(r.events.first().flag, 0);
        QCOMPARE(listed.count(), 0);
        QCOMPARE(c.GetSourceDeviceName(c.sourceIndex()), QStringLiteral("test:0"));
    }
    QVERIFY(clock.elapsed() < 60000);
}

void TestSaneTwainControl::flatbedPage_data()
{
    QTest::addColumn<int>("pixelType");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<QRectF>("layout");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("format");
    // 50 dpi: A4 (8.3 x 11.7 in, set in whole mm by the device) is 415 x 585 pixels.
    QTest::newRow("line art A4") << 0 << 1 << QRectF() << QSize(415, 585)
                                 << int(QImage::Format_Mono);
    QTest::newRow("gray A5") << 1 << 5 << QRectF() << QSize(290, 415)
                             << int(QImage::Format_Grayscale8);
    QTest::newRow("colour US Letter")
        << 2 << 3 << QRectF() << QSize(425, 550) << int(QImage::Format_RGB888);
    QTest::newRow("colour custom area")
        << 2 << 0 << QRectF(1, 1, 2, 3) << QSize(100, 150) << int(QImage::Format_RGB888);
}

void TestSaneTwainControl::flatbedPage()
{
    QFETCH(int, pixelType);
    QFETCH(int, pageSize);
    QFETCH(QRectF, layout);
    QFETCH(QSize, size);
    QFETCH(int, format);
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    QImage::Format seen = QImage::Format_Invalid;
    QVERIFY(open(c, 50, pixelType));
    QCOMPARE(c.feederAvailable(), 1);
    c.setPageSize(pageSize);
    if (!layout.isNull())
        c.SetImageLayout(layout.left(), layout.top(), layout.right(), layout.bottom());
    QCOMPARE(c.errorCode(), 0);
    QCOMPARE(c.resolution(), 50);
    r.onEvent = [&](int) {
        // A failed save is reported, and forgotten once the next save works.
        QVERIFY(!c.SaveImage(c.numImages() - 1, m_dir.filePath(QStringLiteral("no/such/x.bmp"))));
        QCOMPARE(c.errorCode(), int(ScanError::WriteFailed));
        const QString path = m_dir.filePath(QStringLiteral("flatbed.bmp"));
        QVERIFY(c.SaveImage(c.numImages() - 1, path));
        QCOMPARE(c.errorCode(), 0);
        seen = QImage(path).format();
    };
    c.Acquire();
    QVERIFY(r.events.isEmpty()); // Acquire returns before any page
    QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
    QCOMPARE(r.events.size(), 1);
    const Event &e = r.events.first();
    QCOMPARE(e.flag, 0);
    QCOMPARE(e.errorCode, 0);
    QCOMPARE(e.numImages, 1);
    QVERIFY2(qAbs(e.width - size.width()) <= 1 && qAbs(e.height - size.height()) <= 1,
             qPrintable(QStringLiteral("%1 x %2").arg(e.width).arg(e.height)));
    // What the page file holds: 1-bit, 8-bit gray palette, 24-bit.
    const QImage::Format expectedFile = format == QImage::Format_Mono ? QImage::Format_Mono
                                        : format == QImage::Format_Grayscale8
                                            ? QImage::Format_Indexed8
                                            : QImage::Format_RGB32;
    QCOMPARE(seen, expectedFile);
}

void TestSaneTwainControl::pageSizeClampedToBed()
{
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    QVERIFY(open(c, 20));
    c.setPageSize(11); // B3 is 19.7 in tall, the bed 432 mm (17 in)
    QCOMPARE(c.errorCode(), int(ScanError::ValueAdjusted));
    c.Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
    QCOMPARE(r.events.first().flag, 0);
    QVERIFY(qAbs(r.events.first().height - 340) <= 1); // 432 mm at 20 dpi
    QCOMPARE(r.events.first().errorCode, 0);           // a warning never outlives the command
}

void TestSaneTwainControl::resolutionReadBack()
{
    SaneTwainControl c;
    resetDevice(c);
    QVERIFY(open(c, 75));
    QCOMPARE(c.resolution(), 75);
    c.setResolution(2400);
    QCOMPARE(c.resolution(), 1200); // the device's maximum
    QCOMPARE(c.errorCode(), 0);
}

void TestSaneTwainControl::feederBatch()
{
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    QVERIFY(open(c, 20));
    c.setPageSize(1);
    c.setFeederEnabled(1);
    c.setDuplexEnabled(0);
    QCOMPARE(c.feederLoaded(), 1);
    c.setXferCount(-1);
    c.setAutoFeed(1);
    QCOMPARE(c.errorCode(), 0);
    c.Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
    QCOMPARE(r.events.size(), 10);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(r.events.at(i).flag, 0);
        QCOMPARE(r.events.at(i).numImages, i + 1);
        // Handed over before the next sheet is asked for: the end comes apart.
        QVERIFY(r.events.at(i).state != 0);
        QCOMPARE(r.events.at(i).errorCode, 0);
        QVERIFY(r.events.at(i).width > 0);
    }
    QCOMPARE(r.finishes.size(), 1);
    QCOMPARE(r.finishes.first().state, 0);
    QCOMPARE(r.finishes.first().errorCode, 0);
    // Only what can still be asked for is kept.
    QCOMPARE(c.numImages(), 10);
    QCOMPARE(c.GetImageWidth(0), 0);
    QVERIFY(c.GetImageWidth(9) > 0);
    // Released as the program does after the last page: answered once, nothing more.
    r.stop();
    QTRY_COMPARE(r.stopped.size(), 1);
    QVERIFY(!r.stoppedInsideCall);
    QCOMPARE(r.events.size(), 10);
    QCOMPARE(c.dataSourceState(), 0);
}

void TestSaneTwainControl::duplexUnavailableDoesNotStop()
{
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    QVERIFY(open(c, 20));
    c.setFeederEnabled(1);
    c.setDuplexEnabled(1); // the test backend's feeder is single-sided
    QCOMPARE(c.errorCode(), int(ScanError::FeatureUnavailable));
    c.setXferCount(1);
    c.Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
    QCOMPARE(r.events.size(), 1);
    QCOMPARE(r.events.first().flag, 0);
}

void TestSaneTwainControl::injectedStatus_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("code");
    QTest::newRow("jammed") << "SANE_STATUS_JAMMED" << int(ScanError::Jammed);
    QTest::newRow("cover open") << "SANE_STATUS_COVER_OPEN" << int(ScanError::CoverOpen);
    QTest::newRow("no docs") << "SANE_STATUS_NO_DOCS" << int(ScanError::NoDocuments);
    QTest::newRow("I/O error") << "SANE_STATUS_IO_ERROR" << int(ScanError::IoError);
    QTest::newRow("busy") << "SANE_STATUS_DEVICE_BUSY" << int(ScanError::Busy);
    QTest::newRow("access denied") << "SANE_STATUS_ACCESS_DENIED" << int(ScanError::AccessDenied);
    QTest::newRow("out of memory") << "SANE_STATUS_NO_MEM" << int(ScanError::OutOfMemory);
}

void TestSaneTwainControl::injectedStatus()
{
    QFETCH(QString, status);
    QFETCH(int, code);
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    c.setDeviceOptionOverride("read-return-value", status);
    QVERIFY(open(c, 20));
    c.Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
    QCOMPARE(r.events.size(), 1);
    QVERIFY(r.events.first().flag != 0);
    QCOMPARE(c.errorCode(), code);
    QCOMPARE(c.errorString(), ScanError::text(code));
    QCOMPARE(c.numImages(), 0);
    // The next command starts clean.
    resetDevice(c);
    QVERIFY(ScannerOpen::openSource(c));
    QCOMPARE(c.errorCode(), 0);
}

void TestSaneTwainControl::pageTooLarge()
{
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    c.setMaxPageBytes(100 * 1000); // stands in for 2400 dpi on a real machine
    QVERIFY(open(c, 300));
    c.setPageSize(1);
    c.Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
    QVERIFY(r.events.first().flag != 0);
    QCOMPARE(c.errorCode(), int(ScanError::OutOfMemory));
    QCOMPARE(c.numImages(), 0);
}

void TestSaneTwainControl::progressIsThrottled()
{
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    // A slow device: about a second for the page.
    c.setDeviceOptionOverride("read-limit", true);
    c.setDeviceOptionOverride("read-limit-size", 4096);
    c.setDeviceOptionOverride("read-delay", true);
    c.setDeviceOptionOverride("read-delay-duration", 20000);
    QVERIFY(open(c, 20, 1));
    c.setPageSize(1);
    c.Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
    QVERIFY(r.progress.size() >= 3);
    QCOMPARE(r.progress.last().second, 100); // the bar ends full
    // At most about ten a second; the last one may come early, just before the page.
    for (int i = 1; i + 1 < r.progress.size(); ++i)
        QVERIFY2(r.progress.at(i).first >= 90, qPrintable(QString::number(r.progress.at(i).first)));
    for (int i = 1; i < r.progress.size(); ++i)
        QVERIFY(r.progress.at(i).second >= r.progress.at(i - 1).second);
}

void TestSaneTwainControl::blankSheetFromTestPicture()
{
    for (const auto &[picture, blank] :
         {std::pair{"Solid white", 1}, std::pair{"Color pattern", 0}}) {
        SaneTwainControl c;
        Recorder r(&c);
        resetDevice(c);
        c.setDeviceOptionOverride("test-picture", QString::fromLatin1(picture));
        QVERIFY(open(c, 50));
        c.setPageSize(1);
        c.Acquire();
        QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
        float level = -1;
        QCOMPARE(c.IsBlankImage(0, 0.01f, level), blank);
        QVERIFY(level >= 0);
    }
}

void TestSaneTwainControl::stopDuringBatch_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("minPages");
    QTest::addColumn<int>("maxPages");
    // In the page's own handler, as the program's Stop does: the next sheet may
    // already have been read completely, then it comes too.
    QTest::newRow("from the third page's handler") << "in handler" << 3 << 4;
    // While a sheet is being read: that sheet is read to its end and kept, or dropped.
    QTest::newRow("while a sheet is read") << "mid sheet" << 1 << 3;
    // The second sheet is read and waits for the first to be taken: it has left the
    // feeder, so it is delivered.
    QTest::newRow("sheet read, waiting for room") << "waiting" << 2 << 2;
    QTest::newRow("before the first sheet") << "at once" << 0 << 1;
    // The control goes away mid-sheet: nothing arrives, nothing waits long.
    QTest::newRow("control destroyed") << "destroy" << 0 << 0;
}

// A stop in a feeder batch: the sheets read completely before it come, whole, then
// OnStopped once and nothing after it; the device serves a flatbed scan at once.
void TestSaneTwainControl::stopDuringBatch()
{
    QFETCH(QString, how);
    QFETCH(int, minPages);
    QFETCH(int, maxPages);
    std::unique_ptr<SaneTwainControl> owner(new SaneTwainControl);
    SaneTwainControl *c = owner.get();
    Recorder r(c);
    resetDevice(*c);
    // Small sheets in two pieces, each after 60 ms, longer than the worker waits in
    // poll(): a stop finds a sheet starting or being read, and reads find no data.
    // Short enough to be read to its end after a stop even on a busy machine.
    c->setDeviceOptionOverride("read-delay", true);
    c->setDeviceOptionOverride("read-delay-duration", 60000);
    QVERIFY(open(*c, 20));
    c->setPageSize(0);
    c->SetImageLayout(0, 0, 2, 2);
    c->setFeederEnabled(1);
    c->setXferCount(-1);
    const QSize sheet(40, 40); // 2 x 2 inches at 20 dpi
    int progressAtFirstPage = -1;
    r.onEvent = [&](int) {
        if (r.events.size() == 1)
            progressAtFirstPage = int(r.progress.size());
        if (how == QLatin1String("in handler") && r.events.size() == 3)
            r.stop();
    };
    bool stopAsked = false;
    if (how == QLatin1String("mid sheet")) {
        // From the progress of a sheet after the first: that sheet (or, as progress
        // comes at most ten times a second, the one after it) is being read.
        connect(c, &TTwainControl::OnProgress, &r, [&](int, int percent) {
            if (!stopAsked && !r.events.isEmpty() && percent < 100) {
                stopAsked = true;
                r.stop();
            }
        });
    }
    c->setManualPageRelease(how == QLatin1String("waiting"));
    c->Acquire();
    if (how == QLatin1String("at once")) {
        r.stop();
    } else if (how == QLatin1String("mid sheet")) {
        QTRY_VERIFY_WITH_TIMEOUT(stopAsked, kBatchTimeoutMs);
    } else if (how == QLatin1String("destroy")) {
        QTRY_VERIFY_WITH_TIMEOUT(progressAtFirstPage >= 0 &&
                                     r.progress.size() > progressAtFirstPage &&
                                     r.progress.last().second < 100,
                                 kBatchTimeoutMs);
    } else if (how == QLatin1String("waiting")) {
        // The first page is never released: the second is read, then held.
        QTRY_VERIFY_WITH_TIMEOUT(progressAtFirstPage >= 0 &&
                                     r.progress.size() > progressAtFirstPage &&
                                     r.progress.last().second == 100,
                                 kBatchTimeoutMs);
    }
    if (how == QLatin1String("destroy")) {
        QElapsedTimer clock;
        clock.start();
        owner.reset();
        QVERIFY2(clock.elapsed() < SaneTwainControl::kShutdownMs,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(r.stopped.isEmpty());
        // SANE starts afresh for the next control.
        owner.reset(new SaneTwainControl);
        c = owner.get();
        Recorder again(c);
        resetDevice(*c);
        QVERIFY(open(*c, 20));
        c->Acquire();
        QTRY_VERIFY_WITH_TIMEOUT(again.finished(), kBatchTimeoutMs);
        QCOMPARE(again.events.first().flag, 0);
        return;
    }
    if (how == QLatin1String("waiting"))
        r.stop();
    QTRY_COMPARE_WITH_TIMEOUT(r.stopped.size(), 1, kBatchTimeoutMs);
    QVERIFY(!r.stoppedInsideCall);
    QCOMPARE(r.stateAtStopped, 0);
    const int pages = r.stopped.first();
    QCOMPARE(pages, int(r.events.size()));
    QVERIFY2(pages >= minPages && pages <= maxPages, qPrintable(QString::number(pages)));
    for (const Event &e : std::as_const(r.events)) {
        QCOMPARE(e.flag, 0);
        QCOMPARE(QSize(e.width, e.height), sheet); // whole sheets only
        QCOMPARE(e.errorCode, 0);
    }

    // The next command gets the device at once; nothing of the stopped batch follows.
    c->setManualPageRelease(false);
    QVERIFY(open(*c, 20));
    c->setPageSize(0);
    c->SetImageLayout(0, 0, 2, 2);
    c->Acquire();
    QTRY_VERIFY_WITH_TIMEOUT(r.events.size() > pages && r.finished(), kBatchTimeoutMs);
    QCOMPARE(r.events.size(), pages + 1);
    QCOMPARE(r.events.last().flag, 0);
    QCOMPARE(QSize(r.events.last().width, r.events.last().height), sheet);
    QCOMPARE(r.stopped.size(), 1);
}

void TestSaneTwainControl::commandsWithoutSource()
{
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    QVERIFY(ScannerOpen::list(c));
    c.setSourceIndex(-1);
    QCOMPARE(c.OpenDataSource(), 0);
    QCOMPARE(c.errorCode(), int(ScanError::NoSource));
    QVERIFY(!c.errorString().isEmpty());
    QCOMPARE(c.feederAvailable(), 0);
    c.Acquire();
    QVERIFY(r.events.isEmpty());
    QTRY_COMPARE(r.events.size(), 1);
    QVERIFY(r.events.first().flag != 0);
    QCOMPARE(c.errorCode(), int(ScanError::NotOpen));
    QVERIFY(!c.SaveImage(0, m_dir.filePath(QStringLiteral("none.bmp"))));
    QCOMPARE(c.errorCode(), int(ScanError::NotOpen)); // the first failure stays
}

void TestSaneTwainControl::commandWhileScannerThreadBusy_data()
{
    QTest::addColumn<bool>("openedBefore");
    QTest::newRow("source opened before") << true;
    QTest::newRow("source opened meanwhile") << false;
}

void TestSaneTwainControl::commandWhileScannerThreadBusy()
{
    // The SANE thread is held (a network scanner answering slowly): a whole feeder
    // command is given without waiting for it, and reaches the device once the
    // thread is free.
    QFETCH(bool, openedBefore);
    SaneTwainControl c;
    Recorder r(&c);
    resetDevice(c);
    QVERIFY(ScannerOpen::list(c));
    c.setSourceIndex(testDevice(c));
    if (openedBefore)
        QVERIFY(ScannerOpen::openSource(c));

    QSemaphore held;
    QSemaphore release;
    QThread *saneThread = SaneLibrary::instance().attach();
    const auto free = qScopeGuard([&] {
        release.release();
        SaneLibrary::instance().detach(QDeadlineTimer(5000));
    });
    auto *blocker = new QObject;
    blocker->moveToThread(saneThread);
    QMetaObject::invokeMethod(
        blocker,
        [&held, &release, blocker] {
            held.release();
            release.tryAcquire(1, 60000); // ends a hung test rather than the run
            delete blocker;
        },
        Qt::QueuedConnection);
    QVERIFY(held.tryAcquire(1, 30000));

    QSignalSpy opened(&c, &TTwainControl::OnSourceOpened);
    QElapsedTimer clock;
    clock.start();
    if (!openedBefore)
        QCOMPARE(c.OpenDataSource(), 1);
    c.setTransferMode(1);
    c.setShowUI(0);
    c.setShowIndicators(0);
    c.setDisableAfterAcquire(1);
    c.setUnitOfMeasure(0);
    c.setPixelType(2);
    c.setResolution(2400);
    const int dpi = c.resolution();
    c.setResolution(20);
    c.setPageSize(1);
    const int feeder = c.feederAvailable();
    c.setFeederEnabled(1);
    c.setDuplexEnabled(0);
    const int loaded = c.feederLoaded();
    c.setXferCount(2);
    c.setAutoFeed(1);
    c.Acquire();
    const qint64 givenIn = clock.elapsed();
    QVERIFY2(givenIn < 1000, qPrintable(QString::number(givenIn)));
    QCOMPARE(c.errorCode(), 0);
    if (openedBefore) {
        // Answered from what the open learnt: the device's maximum, its feeder.
        QCOMPARE(dpi, 1200);
        QCOMPARE(feeder, 1);
        QCOMPARE(loaded, 1);
    }
    QVERIFY(r.events.isEmpty());

    release.release();
    QTRY_VERIFY_WITH_TIMEOUT(r.finished(), kBatchTimeoutMs);
    QCOMPARE(opened.size(), openedBefore ? 0 : 1);
    QCOMPARE(r.events.size(), 2);
    for (const Event &e : std::as_const(r.events)) {
        QCOMPARE(e.flag, 0);
        QCOMPARE(e.errorCode, 0);
        // A4 at 20 dpi: the settings reached the device with Acquire.
        QVERIFY2(qAbs(e.width - 166) <= 1 && qAbs(e.height - 234) <= 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(e.width).arg(e.height)));
    }
    QCOMPARE(c.resolution(), 20);
}

QTEST_GUILESS_MAIN(TestSaneTwainControl)
#include "tst_sanetwaincontrol.moc"
