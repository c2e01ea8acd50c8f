// A session killed with SIGKILL after three sheets of a feeder batch, and the
// next start: it removes the unfinished files the session left, offers the
// three pages, and lists them again, deletes their working copies or leaves
// them for later. The killed session is this test
// program started again as a child, driving the window with the fake scanner.
#include "FakeTwainControl.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/StatusPanelBar.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/LeftoverSweep.h"
#include "pages/PageJournal.h"
#include "pages/PageModel.h"
#include "settings/SettingsStore.h"
#include "support/FileAge.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

const char *const SessionOption = "--session-to-kill";

QStringList filesIn(const QString &folder, const QString &filter = QStringLiteral("*"))
{
    return QDir(folder).entryList({filter}, QDir::Files | QDir::Hidden, QDir::Name);
}

std::unique_ptr<Tfrm_Main> startWindow(const QString &destination, bool feeder)
{
    auto *fake = new FakeTwainControl;
    fake->setSources({QStringLiteral("Fake scanner")});
    fake->setFeederAvailable(feeder);
    fake->setAutoPlay(false);
    auto w = std::make_unique<Tfrm_Main>(fake);
    w->show();
    w->scanSettings()->edt_FileName->setText(QStringLiteral("Pagora"));
    w->scanSettings()->cmb_Format->setCurrentIndex(
        1); // JPG: page files apart from their working copies
    w->scanSettings()->edt_Destination->setText(destination);
    return w;
}

// The session to be killed: three sheets of a five-sheet feeder batch listed,
// then it says so and waits.
int killedSession(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SettingsStore::setDefaultFilePath(QString::fromLocal8Bit(argv[3]));
    UserPrompts::setResponder([](const UserPrompts::Prompt &) { return UserPrompts::Answer(); });
    auto w = startWindow(QString::fromLocal8Bit(argv[2]), true);
    auto *fake = static_cast<FakeTwainControl *>(w->TwainControl);
    if (!QTest::qWaitFor([&] { return w->scanSettings()->ToolButtonScan->isEnabled(); }, 10000))
        return 2;
    w->scanSettings()->cb_ADF->setChecked(true);
    w->scanSettings()->cb_ADFClick();
    const auto sheet = FakeTwainControl::page(FakeTwainControl::makePage(240, 320));
    fake->queueBatch({sheet, sheet, sheet, sheet, sheet});
    w->TwainScan();
    for (int i = 0; i < 3; ++i)
        fake->deliverNext();
    if (!QTest::qWaitFor([&] { return w->imageList()->Pages->rowCount() == 3; }, 10000))
        return 3;
    std::printf("listed 3\n");
    std::fflush(stdout);
    return app.exec(); // until the kill
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void killedSessionOffered_data();
    void killedSessionOffered();
};

void TestRecovery::killedSessionOffered_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("list them again") << int(QMessageBox::Yes);
    QTest::newRow("delete them") << int(QMessageBox::Discard);
    QTest::newRow("later") << int(QMessageBox::Cancel);
}

void TestRecovery::killedSessionOffered()
{
    QFETCH(int, answer);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString temp = dir.filePath(QStringLiteral("temp"));
    const QString dest = dir.filePath(QStringLiteral("scans"));
    const QString settings = dir.filePath(QStringLiteral("settings.conf"));
    QVERIFY(QDir().mkpath(temp) && QDir().mkpath(dest));
    qputenv("TEMP", QFile::encodeName(temp));
    SettingsStore::setDefaultFilePath(settings);

    QProcess session;
    session.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    session.start(QCoreApplication::applicationFilePath(),
                  {QLatin1String(SessionOption), dest, settings});
    QVERIFY(session.waitForStarted(10000));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += session.readAllStandardOutput()).contains("listed 3"), 30000);
    // Files the running session is still writing, and a file of the user's own
    // that only looks like one.
    const QStringList unfinished{QDir(temp).filePath(".Pagora.bmp.0a1b2c3d.part"),
                                 QDir(dest).filePath(".Pagora.jpg.0a1b2c3d.part")};
    const QString usersFile = QDir(dest).filePath("Pagora.jpg.part");
    for (const QString &path : unfinished + QStringList{usersFile}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("part") == 4);
    }
    for (const QString &path : unfinished)
        QVERIFY(QTest::qWaitFor([&] { return changedBeforeThisTick(path); }, 5000));
    {
        // A start while the session runs removes none of them.
        LeftoverSweep otherStart(temp, nullptr);
        QSignalSpy swept(&otherStart, &LeftoverSweep::finished);
        otherStart.start();
        QVERIFY(swept.wait());
        QCOMPARE(swept.first().first().toStringList(), QStringList());
    }
    QCOMPARE(::kill(pid_t(session.processId()), SIGKILL), 0);
    QVERIFY(session.waitForFinished(10000));
    QCOMPARE(session.exitStatus(), QProcess::CrashExit);

    const QStringList pageFiles = filesIn(dest, QStringLiteral("*.jpg"));
    QCOMPARE(pageFiles.size(), 3);
    const QStringList workingCopies = filesIn(temp, QStringLiteral("*.bmp"));
    QCOMPARE(workingCopies.size(), 3);
    const QStringList journals = filesIn(temp, PageJournal::nameFilter());
    QCOMPARE(journals.size(), 1);
    // The last line half written when the kill came.
    {
        QFile journal(QDir(temp).filePath(journals.first()));
        QVERIFY(journal.open(QIODevice::Append));
        journal.write("{\"pageFile\":\"/cut");
    }
    // One page file gone meanwhile: its working copy is now its only copy.
    QVERIFY(QFile::remove(QDir(dest).filePath(pageFiles.at(1))));

    QList<UserPrompts::Prompt> prompts;
    UserPrompts::setResponder([&](const UserPrompts::Prompt &p) {
        prompts.append(p);
        UserPrompts::Answer a;
        a.button = prompts.size() == 1 ? QMessageBox::StandardButton(answer) : QMessageBox::Yes;
        return a;
    });
    auto w = startWindow(dest, false);
    QTRY_VERIFY(!prompts.isEmpty());
    QCOMPARE(prompts.first().icon, QMessageBox::Question);
    QVERIFY2(prompts.first().text.contains(QLatin1String(": 3.")),
             qPrintable(prompts.first().text));
    QVERIFY2(prompts.first().text.contains(QLatin1String("skipped: 1.")),
             qPrintable(prompts.first().text));
    QCOMPARE(prompts.first().buttons,
             QMessageBox::Yes | QMessageBox::Discard | QMessageBox::Cancel);
    // Asked once the killed session's leftovers are gone; the user's file stays.
    for (const QString &path : unfinished)
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    QVERIFY(QFile::remove(usersFile));

    if (answer == QMessageBox::Yes) {
        QTRY_COMPARE(w->imageList()->Pages->rowCount(), 3);
        QCOMPARE(w->sb_Main->panelText(3), QStringLiteral("3 files"));
        for (int row = 0; row < 3; ++row) {
            // Listed at once; the thumbnails of the rows shown follow.
            QTRY_VERIFY(!w->imageList()->Pages->entry(row).thumbnail.isNull());
            const PageEntry &e = w->imageList()->Pages->entry(row);
            QCOMPARE(e.caption, pageFiles.at(row));
            QCOMPARE(e.pageFile, QDir(dest).filePath(pageFiles.at(row)));
            QCOMPARE(QDir(temp).filePath(QFileInfo(e.workingCopy).fileName()), e.workingCopy);
            QCOMPARE(e.pageFileWritten, row != 1);
        }
        QVERIFY2(w->imageList()
                     ->Pages->index(1)
                     .data(Qt::ToolTipRole)
                     .toString()
                     .contains("does not exist"),
                 qPrintable(w->imageList()->Pages->index(1).data(Qt::ToolTipRole).toString()));
        // The killed session's journal is gone; this run's journal holds the pages.
        const QStringList now = filesIn(temp, PageJournal::nameFilter());
        QCOMPARE(now.size(), 1);
        QVERIFY(now.first() != journals.first());
        QCOMPARE(PageJournal::read(QDir(temp).filePath(now.first())).pages.size(), 3);
        // A delete keeps the journal true: a crash now would offer two pages.
        const QString onlyCopy = QFileInfo(w->imageList()->Pages->entry(1).workingCopy).fileName();
        w->imageList()->lv_Images->selectionModel()->select(w->imageList()->Pages->index(0),
                                                            QItemSelectionModel::Select);
        w->imageList()->Action_DeleteExecute();
        QTRY_COMPARE(w->imageList()->Pages->rowCount(), 2);
        QTRY_COMPARE(PageJournal::read(QDir(temp).filePath(now.first())).pages.size(), 2);
        // A normal close: the working copies go, except the only copy of the missing page.
        w->close();
        QCOMPARE(filesIn(temp), QStringList{onlyCopy});
    } else if (answer == QMessageBox::Discard) {
        QCOMPARE(prompts.size(), 2); // the confirmation
        QCOMPARE(prompts.at(1).icon, QMessageBox::Warning);
        QCOMPARE(w->imageList()->Pages->rowCount(), 0);
        QCOMPARE(filesIn(temp), QStringList());
        QCOMPARE(filesIn(dest).size(), 2); // page files are never touched
    } else {
        QTest::qWait(200);
        QCOMPARE(w->imageList()->Pages->rowCount(), 0);
        QCOMPARE(filesIn(temp, QStringLiteral("*.bmp")), workingCopies);
        // Asked again at the next start.
        prompts.clear();
        w.reset();
        w = startWindow(dest, false);
        QTRY_COMPARE(prompts.size(), 1);
        QVERIFY(prompts.first().text.contains(QLatin1String(": 3.")));
    }
    w.reset();
    UserPrompts::setResponder({});
}

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], SessionOption) == 0)
        return killedSession(argc, argv);
    QApplication app(argc, argv);
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
