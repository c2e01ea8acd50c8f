#include "FakeTwainControl.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "pages/PageJournal.h"
#include "pages/PageStore.h"
#include "session/ScanSession.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The session's command flow against the fake scanner: what a command writes to
// the control, and that a stop or close keeps every sheet already read.
class tst_ScanSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void settings_data();
    void settings();
    void stopKeepsSheetsRead_data();
    void stopKeepsSheetsRead();
    void openAnsweredLater_data();
    void openAnsweredLater();
    void progressTexts_data();
    void progressTexts();
    void twoPassDuplex_data();
    void twoPassDuplex();

private:
    struct Run;
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_oldTemp;
};

// One session with its fake scanner and what it reports.
struct tst_ScanSession::Run
{
    FakeTwainControl control;
    PageStore store;
    ScanSession session{&control, &store};
    QList<PageEntry> listed;
    QList<QPair<QString, bool>> statuses;
    QList<ScanSession::State> states;

    explicit Run(const QString &destination)
    {
        control.setSources({QStringLiteral("Fake")});
        QObject::connect(&session, &ScanSession::pageListed,
                         [this](const PageEntry &page) { listed.append(page); });
        QObject::connect(&session, &ScanSession::status, [this](const QString &text, bool error) {
            statuses.append({text, error});
        });
        QObject::connect(&session, &ScanSession::stateChanged,
                         [this](ScanSession::State state) { states.append(state); });
        session.setNaming({QStringLiteral("Page"), QStringLiteral("bmp"), destination});
    }
    QString lastStatus() const { return statuses.isEmpty() ? QString() : statuses.last().first; }
};

void tst_ScanSession::init()
{
    m_oldTemp = qgetenv("TEMP");
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("scans"))));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("temp"))));
    qputenv("TEMP", QFile::encodeName(m_dir->filePath(QStringLiteral("temp"))));
}

void tst_ScanSession::cleanup()
{
    m_dir.reset();
    qputenv("TEMP", m_oldTemp);
}

void tst_ScanSession::settings_data()
{
    QTest::addColumn<bool>("forScan");
    QTest::addColumn<int>("pixelType");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("feeder");
    QTest::addColumn<bool>("duplex");
    QTest::addColumn<bool>("feederAvailable");
    QTest::addColumn<bool>("feederLoaded");
    QTest::addColumn<QList<int>>("accepted"); // resolutions the source offers; empty: all
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("gADF");
    QTest::addColumn<int>("scanResolution");

    QTest::newRow("scan, gray, A5 at 150")
        << true << 1 << 150 << 5 << false << false << true << true << QList<int>()
        << QStringList{"pixelType=1", "resolution=150", "pageSize=5", "feederAvailable?"} << true
        << false << 150;
    QTest::newRow("scan, drawn area in inches")
        << true << 2 << 75 << 0 << false << false << false << false << QList<int>()
        << QStringList{"pixelType=2", "resolution=75", "pageSize=0", "SetImageLayout(1,2,6,12)",
                       "feederAvailable?"}
        << true << false << 75;
    // A copy sends the drawn area too: what is printed is what is shown.
    QTest::newRow("copy, drawn area in inches")
        << false << 0 << 300 << 0 << false << false << false << false << QList<int>()
        << QStringList{"pixelType=0", "resolution=300", "pageSize=0", "SetImageLayout(1,2,6,12)",
                       "feederAvailable?"}
        << true << false << 300;
    QTest::newRow("feeder, duplex")
        << true << 2 << 300 << 1 << true << true << true << true << QList<int>()
        << QStringList{"pixelType=2",      "resolution=300",  "pageSize=1",
                       "feederAvailable?", "feederEnabled=1", "duplexEnabled=1",
                       "feederLoaded?",    "xferCount=-1",    "autoFeed=1"}
        << true << true << 300;
    QTest::newRow("copy from the feeder, one side")
        << false << 2 << 300 << 3 << true << false << true << true << QList<int>()
        << QStringList{"pixelType=2",      "resolution=300",  "pageSize=3",
                       "feederAvailable?", "feederEnabled=1", "duplexEnabled=0",
                       "feederLoaded?",    "xferCount=-1",    "autoFeed=1"}
        << true << true << 300;
    QTest::newRow("feeder ticked, source has none")
        << true << 2 << 300 << 1 << true << true << false << false << QList<int>()
        << QStringList{"pixelType=2", "resolution=300", "pageSize=1", "feederAvailable?"} << true
        << false << 300;
    QTest::newRow("feeder empty") << true << 2 << 300 << 1 << true << false << true << false
                                  << QList<int>()
                                  << QStringList{"pixelType=2",     "resolution=300",
                                                 "pageSize=1",      "feederAvailable?",
                                                 "feederEnabled=1", "duplexEnabled=0",
                                                 "feederLoaded?"}
                                  << false << true << 300;
    // The source settles on the nearest resolution it has; that one is kept.
    QTest::newRow("resolution read back")
        << true << 2 << 150 << 1 << false << false << false << false << QList<int>{75, 200, 600}
        << QStringList{"pixelType=2", "resolution=150", "pageSize=1", "feederAvailable?"} << true
        << false << 200;
}

void tst_ScanSession::settings()
{
    QFETCH(bool, forScan);
    QFETCH(bool, feederAvailable);
    QFETCH(bool, feederLoaded);
    QFETCH(QList<int>, accepted);
    QFETCH(QStringList, calls);
    QFETCH(bool, started);

    Run run(m_dir->filePath(QStringLiteral("scans")));
    run.control.setFeederAvailable(feederAvailable);
    run.control.setFeederLoaded(feederLoaded);
    run.control.setAcceptedResolutions(accepted);
    run.control.queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(50, 50))});
    ScanSession::Request request;
    request.source = 0;
    QFETCH(int, pixelType);
    QFETCH(int, resolution);
    QFETCH(int, size);
    QFETCH(bool, feeder);
    QFETCH(bool, duplex);
    request.pixelType = pixelType;
    request.resolution = resolution;
    request.sizeIndex = size;
    request.areaInches = QRectF(QPointF(1, 2), QPointF(6, 12));
    request.feeder = feeder;
    request.duplex = duplex;
    request.print = [](const QImage &, int, int) { return QString(); };

    const bool result = forScan ? run.session.TwainScan(request) : run.session.TwainCopy(request);
    QCOMPARE(result, started);
    // What the command writes after the fixed settings, up to Acquire.
    QStringList written = run.control.calls();
    written = written.mid(written.indexOf(QStringLiteral("pixelType=%1").arg(pixelType)));
    written = written.mid(0, written.indexOf(QStringLiteral("Acquire")));
    QCOMPARE(written, calls);
    QTEST(run.session.gADF(), "gADF");
    QTEST(run.session.ScanResolution(), "scanResolution");
    if (!started) {
        QCOMPARE(run.session.state(), ScanSession::State::Idle);
        QCOMPARE(run.lastStatus(), QStringLiteral("There are no documents loaded in the feeder"));
        QVERIFY(run.statuses.last().second);
        return;
    }
    QCOMPARE(run.session.state(), ScanSession::State::Acquiring);
    QTRY_COMPARE(run.session.state(), ScanSession::State::Idle);
    QCOMPARE(run.listed.size(), forScan ? 1 : 0);
}

void tst_ScanSession::stopKeepsSheetsRead_data()
{
    QTest::addColumn<int>("delivered"); // pages announced before the stop
    QTest::addColumn<bool>("close");    // the program closes instead of Stop
    QTest::addColumn<int>("listed");

    // Two pages fit in the pipeline ahead of the scanner; the third is held
    // back, so the fourth sheet has been read and waits: it is kept, the fifth
    // (being read) is dropped.
    QTest::newRow("stop, a read sheet waits") << 3 << false << 4;
    QTest::newRow("close, a read sheet waits") << 3 << true << 4;
    QTest::newRow("stop before any page") << 0 << false << 0;
    QTest::newRow("stop after one page") << 1 << false << 1;
}

void tst_ScanSession::stopKeepsSheetsRead()
{
    QFETCH(int, delivered);
    QFETCH(bool, close);
    QFETCH(int, listed);

    Run run(m_dir->filePath(QStringLiteral("scans")));
    run.control.setFeederAvailable(true);
    run.control.setAutoPlay(false);
    QList<FakeTwainControl::Step> sheets;
    for (int i = 0; i < 8; ++i)
        sheets.append(FakeTwainControl::page(FakeTwainControl::makePage(40 + i, 60)));
    run.control.queueBatch(sheets);
    ScanSession::Request request;
    request.source = 0;
    request.sizeIndex = 1;
    request.feeder = true;
    QVERIFY(run.session.TwainScan(request));
    // The pages arrive faster than the pipeline writes them.
    for (int i = 0; i < delivered; ++i)
        QVERIFY(run.control.deliverNext());

    QSignalSpy closed(&run.session, &ScanSession::closed);
    if (close)
        run.session.close();
    else
        run.session.stop();
    QCOMPARE(run.session.state(), ScanSession::State::Stopping);
    QTRY_COMPARE(run.session.state(), ScanSession::State::Idle);
    QCOMPARE(closed.size(), close ? 1 : 0);

    QCOMPARE(run.listed.size(), listed);
    for (int i = 0; i < run.listed.size(); ++i) {
        const PageEntry &page = run.listed.at(i);
        QVERIFY2(QFileInfo(page.pageFile).size() > 0, qPrintable(page.pageFile));
        // In scan order: the first sheets, none skipped.
        QCOMPARE(page.size.width(), 40 + i);
    }
    QCOMPARE(run.lastStatus(), ScanSession::stoppedText());
    // Nothing of the stopped batch comes later, and the scanner takes the next command.
    QVERIFY(!run.control.deliverNext());
    QCOMPARE(run.listed.size(), listed);
    if (!close) {
        run.control.queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(30, 30))});
        run.control.setAutoPlay(true);
        request.feeder = false;
        QVERIFY(run.session.TwainScan(request));
        QTRY_COMPARE(run.session.state(), ScanSession::State::Idle);
        QCOMPARE(run.listed.size(), listed + 1);
    }
}

void tst_ScanSession::openAnsweredLater_data()
{
    QTest::addColumn<int>("before"); // 0 nothing, 1 stop, 2 close: before the open answers
    QTest::addColumn<int>("openError");
    QTest::addColumn<int>("listed");

    QTest::newRow("answered") << 0 << 0 << 1;
    QTest::newRow("stopped before the answer") << 1 << 0 << 0;
    QTest::newRow("closed before the answer") << 2 << 0 << 0;
    QTest::newRow("open fails") << 0 << 2 << 0;
}

void tst_ScanSession::openAnsweredLater()
{
    // A scanner that opens while the window goes on: the command's settings and
    // Acquire wait for the answer, and a stop or close meanwhile ends it cleanly.
    QFETCH(int, before);
    QFETCH(int, openError);
    QFETCH(int, listed);
    Run run(m_dir->filePath(QStringLiteral("scans")));
    run.control.setOpenLater(true);
    run.control.setFeederAvailable(true);
    const QString openErrorText = QStringLiteral("The scanner could not be opened.");
    if (openError != 0)
        run.control.setOpenError(openError, openErrorText);
    run.control.queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(50, 50))});
    ScanSession::Request request;
    request.source = 0;
    request.sizeIndex = 1;
    request.feeder = true;
    QSignalSpy closed(&run.session, &ScanSession::closed);
    QVERIFY(run.session.TwainScan(request));
    QVERIFY(!run.control.calls().contains(QStringLiteral("OpenDataSource")));
    QVERIFY(!run.control.calls().contains(QStringLiteral("pixelType=2")));
    if (before == 1)
        run.session.stop();
    else if (before == 2)
        run.session.close();
    QTRY_COMPARE(run.session.state(), ScanSession::State::Idle);
    QCOMPARE(run.listed.size(), listed);
    QCOMPARE(run.control.calls().contains(QStringLiteral("Acquire")), listed > 0);
    QCOMPARE(closed.size(), before == 2 ? 1 : 0);
    if (before != 0) {
        // Nothing of the dropped open reaches the scanner later.
        QVERIFY(!run.control.calls().contains(QStringLiteral("pixelType=2")));
        QCOMPARE(run.lastStatus(), ScanSession::stoppedText());
    } else if (openError != 0) {
        QCOMPARE(run.lastStatus(), openErrorText);
        QVERIFY(run.statuses.last().second);
    } else {
        QVERIFY(!run.statuses.last().second);
    }
    if (before == 2)
        return;
    // The next command opens and scans as usual.
    run.control.setOpenError(0, QString());
    run.control.queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(30, 30))});
    QVERIFY(run.session.TwainScan(request));
    QTRY_COMPARE(run.session.state(), ScanSession::State::Idle);
    QCOMPARE(run.listed.size(), listed + 1);
}

void tst_ScanSession::progressTexts_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("id"); // empty: no text
    QTest::newRow("despeckling") << 2 << 0 << "IDS_28";
    QTest::newRow("deskewing") << 3 << 1 << "IDS_29";
    QTest::newRow("rotating") << 1 << 2 << "IDS_30";
    QTest::newRow("border") << 2 << 3 << "IDS_31";
    QTest::newRow("acquiring preview") << 1 << 4 << "IDS_32";
    QTest::newRow("acquiring scan") << 2 << 4 << "IDS_33";
    QTest::newRow("acquiring copy") << 3 << 4 << "IDS_34";
    QTest::newRow("acquiring, no command") << 0 << 4 << "";
    QTest::newRow("unknown action") << 2 << 7 << "";
}

void tst_ScanSession::progressTexts()
{
    QFETCH(int, mode);
    QFETCH(int, action);
    QFETCH(QString, id);
    const QString expected = id.isEmpty() ? QString() : MessageTables::main().GetTextOrDefault(id);
    Run run(m_dir->filePath(QStringLiteral("scans")));
    run.control.setAutoPlay(false);
    run.control.queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(50, 50))});
    ScanSession::Request request;
    request.source = 0;
    if (mode == 1)
        QVERIFY(run.session.preview(0));
    else if (mode == 2)
        QVERIFY(run.session.TwainScan(request));
    else if (mode == 3)
        QVERIFY(run.session.TwainCopy(request));
    run.statuses.clear();
    QSignalSpy progress(&run.session, &ScanSession::progress);
    emit run.control.OnProgress(action, 42, false);
    QCOMPARE(run.lastStatus(), expected);
    QCOMPARE(progress.size(), 1);
    QCOMPARE(progress.first().first().toInt(), 42);
}

// Duplex on a one-sided feeder: the fronts' pass, the question, the backs' pass
// of the turned stack, and the list (and its journal) in sheet order. Sheets are
// told apart by their width: fronts 100 + sheet, backs 200 + sheet.
void tst_ScanSession::twoPassDuplex_data()
{
    QTest::addColumn<int>("fronts");
    QTest::addColumn<QList<int>>("backs"); // sheet numbers in the order the feeder gives them
    QTest::addColumn<QList<int>>("blankBacks");
    QTest::addColumn<bool>("firstFirst");
    QTest::addColumn<bool>("skipBlank");
    QTest::addColumn<bool>("scanBacks");
    QTest::addColumn<QString>("expected");

    QTest::newRow("equal passes, turned stack") << 3 << QList<int>{3, 2, 1} << QList<int>{} << false
                                                << false << true << "F1 B1 F2 B2 F3 B3";
    QTest::newRow("feeder gives backs first-first")
        << 3 << QList<int>{1, 2, 3} << QList<int>{} << true << false << true << "F1 B1 F2 B2 F3 B3";
    QTest::newRow("unequal passes stay in scan order")
        << 3 << QList<int>{3, 2} << QList<int>{} << false << false << true << "F1 F2 F3 B3 B2";
    QTest::newRow("blank back skipped after the merge")
        << 3 << QList<int>{3, 2, 1} << QList<int>{2} << false << true << true << "F1 B1 F2 F3 B3";
    QTest::newRow("blank back kept without skipping")
        << 2 << QList<int>{2, 1} << QList<int>{2} << false << false << true << "F1 B1 F2 B2";
    QTest::newRow("backs skipped")
        << 3 << QList<int>{3, 2, 1} << QList<int>{} << false << false << false << "F1 F2 F3";
}

void tst_ScanSession::twoPassDuplex()
{
    QFETCH(int, fronts);
    QFETCH(QList<int>, backs);
    QFETCH(QList<int>, blankBacks);
    QFETCH(bool, firstFirst);
    QFETCH(bool, skipBlank);
    QFETCH(bool, scanBacks);
    QFETCH(QString, expected);

    Run run(m_dir->filePath(QStringLiteral("scans")));
    QObject::connect(&run.session, &ScanSession::pageListed, &run.store, &PageStore::add);
    run.control.setFeederAvailable(true);
    // The one-sided feeder refuses duplex with the warning 39.
    run.control.setPropertyError(QStringLiteral("duplexEnabled"), 39,
                                 QStringLiteral("Duplex is not available"));
    QList<FakeTwainControl::Step> frontSheets;
    for (int sheet = 1; sheet <= fronts; ++sheet)
        frontSheets.append(FakeTwainControl::page(FakeTwainControl::makePage(100 + sheet, 80)));
    QList<FakeTwainControl::Step> backSheets;
    for (int sheet : backs)
        backSheets.append(FakeTwainControl::page(
            FakeTwainControl::makePage(200 + sheet, 80, 100, blankBacks.contains(sheet))));
    run.control.queueBatch(frontSheets);
    run.control.queueBatch(backSheets);
    run.session.setSkipBlank(skipBlank);
    run.session.setBacksFirstFirst(firstFirst);
    QSignalSpy asked(&run.session, &ScanSession::backsWanted);

    ScanSession::Request request;
    request.source = 0;
    request.sizeIndex = 1;
    request.feeder = true;
    request.duplex = true;
    QVERIFY(run.session.TwainScan(request));
    QVERIFY(asked.wait());
    QCOMPARE(asked.first().first().toInt(), fronts);
    QVERIFY(run.session.awaitingBacks());
    QVERIFY(run.session.busy()); // no other command between the passes
    QVERIFY(run.listed.isEmpty());
    QCOMPARE(run.lastStatus(), ScanSession::turnStackText());
    if (scanBacks)
        run.session.scanBacks();
    else
        run.session.skipBacks();
    QTRY_COMPARE(run.session.state(), ScanSession::State::Idle);
    QCOMPARE(asked.size(), 1);

    QStringList listed;
    for (const PageEntry &page : run.listed) {
        const int w = page.size.width();
        listed.append(w < 200 ? QStringLiteral("F%1").arg(w - 100)
                              : QStringLiteral("B%1").arg(w - 200));
        QVERIFY(QFileInfo(page.pageFile).size() > 0);
    }
    QCOMPARE(listed.join(' '), expected);
    // A crash now brings the pages back in the list's order, not in scan order.
    run.store.waitForJobs();
    QStringList journalled;
    for (const PageEntry &page : PageJournal::read(run.store.journalPath()).pages)
        journalled.append(page.caption);
    QStringList captions;
    for (int row = 0; row < run.store.model()->rowCount(); ++row)
        captions.append(run.store.model()->entry(row).caption);
    QCOMPARE(captions.size(), run.listed.size());
    QCOMPARE(journalled, captions);
    // Every sheet is on disk, blank ones included.
    const int sheets = fronts + (scanBacks ? int(backs.size()) : 0);
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("scans"))).entryList(QDir::Files).size(), sheets);
    // Two passes were asked for: the refused duplex is no error. Unequal passes
    // are said in red, with both counts, after "Ready".
    const bool unequal = scanBacks && fronts != backs.size();
    for (const auto &status : run.statuses)
        QVERIFY2(status.first != QLatin1String("Duplex is not available"),
                 qPrintable(status.first));
    QCOMPARE(run.statuses.last().second, unequal);
    if (unequal) {
        QVERIFY(run.lastStatus().contains(QString::number(fronts)));
        QVERIFY(run.lastStatus().contains(QString::number(backs.size())));
    } else {
        // "Ready", then where any blank pages left out went.
        const QString ready = MessageTables::main().GetTextOrDefault("IDS_6");
        const bool blanksLeftOut = run.lastStatus() != ready;
        QVERIFY(run.statuses.contains(qMakePair(ready, false)));
        if (blanksLeftOut)
            QVERIFY2(run.lastStatus().contains(m_dir->filePath(QStringLiteral("scans"))),
                     qPrintable(run.lastStatus()));
    }
}

QTEST_GUILESS_MAIN(tst_ScanSession)
#include "tst_scansession.moc"
