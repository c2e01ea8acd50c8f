// Scan and copy commands and the page pipeline through the main window, against
// the scripted fake control: the order of the steps, the destination question,
// the feeder and error paths, failed writes.
#include "FakeTwainControl.h"
#include "app/SignalShutdown.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageModel.h"
#include "settings/SettingsStore.h"
#include "support/PromptRecorder.h"
#include "support/TestFolders.h"
#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace {

QString text(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

// Whether wanted occurs in calls in this order (other calls may lie between).
bool inOrder(const QStringList &calls, const QStringList &wanted)
{
    qsizetype at = 0;
    for (const QString &w : wanted) {
        at = calls.indexOf(w, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void scanCallsInOrder();
    void copyNeedsNoDestinationAndSendsArea();
    void destinationQuestion_data();
    void destinationQuestion();
    void destinationWithBlanks();
    void prefixAndDestinationRules_data();
    void prefixAndDestinationRules();
    void feederEmptyEndsCommand();
    void errorAfterConfiguring_data();
    void errorAfterConfiguring();
    void pageFileNotWritable();
    void workingCopyNotWritable();
    void failureNotification();
    void errorWithLastPage();
    void menuCommandDuringBatchIgnored();
    void faceRepeatsLastCommand();
    void copyWithoutPrinter();
    void chooseDestination_data();
    void chooseDestination();
    void tempUnsetIsNeverRoot();
    void signalEndsBatchKeepingPages();

private:
    void startWindow();
    bool waitForEnd();

    TestFolders m_folders;
    FakeTwainControl *m_fake = nullptr;
    std::unique_ptr<Tfrm_Main> m_w;
    std::unique_ptr<PromptRecorder> m_recorder;
};

void TestCommands::initTestCase()
{
    // No print server: copies here never reach a real queue, and the copy
    // command meets the no-printer case (CUPS reads this before its first use).
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock");
}

void TestCommands::init()
{
    QVERIFY(m_folders.setUp());
    m_recorder = std::make_unique<PromptRecorder>();
    m_recorder->answer = QMessageBox::Yes;
    startWindow();
}

void TestCommands::cleanup()
{
    m_w.reset();
    m_recorder.reset();
    m_folders.tearDown();
}

void TestCommands::startWindow()
{
    m_fake = new FakeTwainControl;
    m_fake->setSources({QStringLiteral("Fake scanner")});
    m_w = std::make_unique<Tfrm_Main>(m_fake);
    m_w->FormShow();
    m_w->scanSettings()->edt_FileName->setText(QStringLiteral("Pagora"));
    m_w->scanSettings()->cmb_Format->setCurrentIndex(1); // JPG
    m_w->scanSettings()->edt_Destination->setText(m_folders.dest);
    m_w->session()->setSkipBlank(false);
    m_fake->clearCalls();
}

bool TestCommands::waitForEnd()
{
    return QTest::qWaitFor([this] { return m_w->scanSettings()->ToolButtonScan->isEnabled(); },
                           5000);
}

void TestCommands::scanCallsInOrder()
{
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_w->scanSettings()->Scan1Click();
    QCOMPARE(int(m_w->session()->ScanMode()), 2);
    QVERIFY(!m_w->scanSettings()->ToolButtonScan->isEnabled());
    QVERIFY(!m_w->scanSettings()->ToolButtonPreview->isEnabled());
    QCOMPARE(m_w->StatusText, text("IDS_41"));
    QVERIFY(inOrder(m_fake->calls(),
                    {"sourceIndex=0", "StartDevice", "sourceIndex=0", "OpenDataSource",
                     "transferMode=1", "showUI=0", "showIndicators=0", "disableAfterAcquire=1",
                     "unitOfMeasure=0", "pixelType=2", "resolution=300", "pageSize=1", "Acquire"}));
    QVERIFY(waitForEnd());
    // The page is taken from the control before it is released; its page file and
    // a working copy of the same name are written before the batch ends.
    QVERIFY(inOrder(m_fake->calls(), {"GetImage(0)", "StopDevice"}));
    const QStringList pages = entriesOf(m_folders.dest);
    QCOMPARE(pages.size(), 1);
    QVERIFY2(pages.at(0).startsWith(QLatin1String("Pagora_")) &&
                 pages.at(0).endsWith(QLatin1String(".jpg")),
             qPrintable(pages.at(0)));
    QVERIFY(QFile::exists(m_folders.temp + '/' + QFileInfo(pages.at(0)).completeBaseName() +
                          QStringLiteral(".bmp")));
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 1);
    QCOMPARE(m_w->StatusText, text("IDS_6"));
    QVERIFY(!m_w->StatusIsError);
    QVERIFY(m_w->scanSettings()->ToolButtonPreview->isEnabled());
    // A flatbed page is never tested for blankness.
    QVERIFY(m_fake->calls().filter(QStringLiteral("IsBlankImage")).isEmpty());
}

void TestCommands::copyNeedsNoDestinationAndSendsArea()
{
    QVERIFY(QDir(m_folders.dest).removeRecursively());
    m_w->scanSettings()->cmb_Size->setCurrentIndex(0); // Custom
    m_fake->queueBatch({FakeTwainControl::failure(12, QStringLiteral("Cancelled."))});
    m_w->scanSettings()->Copy1Click();
    QCOMPARE(int(m_w->session()->ScanMode()), 3);
    QCOMPARE(m_w->StatusText, text("IDS_43"));
    QVERIFY(m_recorder->prompts.isEmpty());
    QVERIFY(!QFileInfo::exists(m_folders.dest));
    // The drawn area goes to the scanner as for a scan: the copy prints what is shown.
    const QStringList copyArea = m_fake->calls().filter(QStringLiteral("SetImageLayout"));
    QCOMPARE(copyArea.size(), 1);
    QVERIFY(inOrder(m_fake->calls(), {"pixelType=2", "pageSize=0", copyArea.first(), "Acquire"}));
    QVERIFY(waitForEnd());

    QVERIFY(QDir().mkpath(m_folders.dest));
    m_fake->clearCalls();
    m_fake->queueBatch({FakeTwainControl::failure(12, QStringLiteral("Cancelled."))});
    m_w->TwainScan();
    QCOMPARE(m_fake->calls().filter(QStringLiteral("SetImageLayout")), copyArea);
    QVERIFY(waitForEnd());
}

void TestCommands::destinationQuestion_data()
{
    QTest::addColumn<QString>("folder"); // below the test folder
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("created");
    QTest::addColumn<bool>("warned");

    QTest::newRow("Yes creates") << "new" << int(QMessageBox::Yes) << true << false;
    QTest::newRow("No stops") << "new" << int(QMessageBox::No) << false << false;
    QTest::newRow("missing parent warns")
        << "missing/new" << int(QMessageBox::Yes) << false << true;
    QTest::newRow("empty text warns") << "" << int(QMessageBox::Yes) << false << true;
}

void TestCommands::destinationQuestion()
{
    QFETCH(QString, folder);
    QFETCH(int, answer);
    QFETCH(bool, created);
    QFETCH(bool, warned);
    m_recorder->answer = QMessageBox::StandardButton(answer);
    const QString path = folder.isEmpty() ? QString() : m_folders.dir->filePath(folder);
    m_w->scanSettings()->edt_Destination->setText(path);
    m_fake->queueBatch({FakeTwainControl::failure(12, QStringLiteral("Cancelled."))});
    m_w->TwainScan();

    QVERIFY(!m_recorder->prompts.isEmpty());
    QCOMPARE(m_recorder->prompts.first().icon, QMessageBox::Question);
    QCOMPARE(m_recorder->prompts.first().title, text("IDS_38"));
    // The question as worded, then the folder it would create.
    const QString question = m_recorder->prompts.first().text;
    QVERIFY(question.startsWith(text("IDS_37")));
    QVERIFY(text("IDS_37").contains(QLatin1Char('\n')));
    QCOMPARE(question.mid(text("IDS_37").size()),
             path.isEmpty() ? QString() : QLatin1Char('\n') + QDir::toNativeSeparators(path));
    QCOMPARE(m_recorder->prompts.size(), warned ? 2 : 1);
    if (warned) {
        QCOMPARE(m_recorder->prompts.at(1).icon, QMessageBox::Warning);
        QCOMPARE(m_recorder->prompts.at(1).text, text("IDS_39"));
    }
    QCOMPARE(!path.isEmpty() && QFileInfo(path).isDir(), created);
    QCOMPARE(m_fake->calls().contains(QStringLiteral("Acquire")), created);
    // A command that stops here changes nothing.
    QCOMPARE(int(m_w->session()->ScanMode()), created ? 2 : 0);
    if (!created) {
        QVERIFY(m_fake->calls().isEmpty());
        QVERIFY(m_w->scanSettings()->ToolButtonScan->isEnabled());
    }
    QVERIFY(waitForEnd());
}

void TestCommands::destinationWithBlanks()
{
    // The folder created is the one the page files go to, whatever blanks surround it.
    m_recorder->answer = QMessageBox::Yes;
    const QString path = m_folders.dir->filePath(QStringLiteral("typed"));
    m_w->scanSettings()->edt_Destination->setText(QStringLiteral("  ") + path +
                                                  QStringLiteral(" "));
    m_fake->queueBatch({FakeTwainControl::failure(12, QStringLiteral("Cancelled."))});
    m_w->TwainScan();
    QCOMPARE(m_recorder->prompts.size(), 1);
    QVERIFY(QFileInfo(path).isDir());
    QVERIFY(!QFileInfo::exists(path + QStringLiteral(" ")));
    QVERIFY(waitForEnd());
}

void TestCommands::prefixAndDestinationRules_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("destination"); // as typed; HOME is the test folder
    QTest::addColumn<QString>("problem");     // part of the red message; empty: scans
    QTest::addColumn<QString>("folder");      // below HOME, where the page goes

    QTest::newRow("separator") << "sub/page"
                               << "scans"
                               << "\"/\""
                               << "";
    QTest::newRow("escape upwards") << "../esc"
                                    << "scans"
                                    << "\"/\""
                                    << "";
    QTest::newRow("backslash") << "a\\b"
                               << "scans"
                               << "\"/\""
                               << "";
    QTest::newRow("dot dot") << ".."
                             << "scans"
                             << "\"..\""
                             << "";
    QTest::newRow("control character") << "a\tb"
                                       << "scans"
                                       << "control"
                                       << "";
    QTest::newRow("too long") << QString(101, 'x') << "scans"
                              << "100"
                              << "";
    QTest::newRow("100 characters") << QString(100, 'x') << "scans"
                                    << ""
                                    << "scans";
    QTest::newRow("tilde") << "Pagora"
                           << "~/Tilde"
                           << ""
                           << "Tilde";
    QTest::newRow("relative to home") << "Pagora"
                                      << " rel/ative "
                                      << ""
                                      << "rel/ative";
}

void TestCommands::prefixAndDestinationRules()
{
    QFETCH(QString, prefix);
    QFETCH(QString, destination);
    QFETCH(QString, problem);
    QFETCH(QString, folder);
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_folders.dir->path()));
    QDir(m_folders.dir->path()).mkdir(QStringLiteral("rel"));
    m_w->scanSettings()->edt_FileName->setText(prefix);
    m_w->scanSettings()->edt_Destination->setText(destination);
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_w->TwainScan();
    const bool refused = !problem.isEmpty();
    if (refused) {
        QVERIFY(m_w->StatusIsError);
        QVERIFY2(m_w->StatusText.contains(problem), qPrintable(m_w->StatusText));
        QCOMPARE(m_w->focusWidget(), m_w->scanSettings()->edt_FileName);
        QVERIFY(m_fake->calls().isEmpty()); // nothing scanned
        QVERIFY(m_w->scanSettings()->ToolButtonScan->isEnabled());
    }
    QVERIFY(waitForEnd());
    qputenv("HOME", oldHome);
    // Nothing anywhere but in the folder the destination names.
    QStringList written;
    QDirIterator it(m_folders.dir->path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = QDir(m_folders.dir->path()).relativeFilePath(it.next());
        if (!file.startsWith(QLatin1String("temp/")) && file != QLatin1String("settings.conf"))
            written << file;
    }
    if (refused) {
        QVERIFY2(written.isEmpty(), qPrintable(written.join(", ")));
        return;
    }
    QCOMPARE(written.size(), 1);
    QVERIFY2(written.at(0).startsWith(folder + QLatin1Char('/')), qPrintable(written.at(0)));
    QCOMPARE(m_w->scanSettings()->edt_Destination->text(),
             QDir(m_folders.dir->path()).filePath(folder));
}

void TestCommands::feederEmptyEndsCommand()
{
    m_fake->setFeederAvailable(true);
    m_fake->setFeederLoaded(false);
    m_w->scanSettings()->cb_ADF->setChecked(true);
    m_w->scanSettings()->cb_ADFClick();
    m_w->TwainScan();
    QCOMPARE(m_w->StatusText, text("IDS_42"));
    QVERIFY(m_w->StatusIsError);
    QVERIFY(m_w->scanSettings()->ToolButtonScan->isEnabled());
    QVERIFY(m_w->scanSettings()->ToolButtonPreview->isEnabled());
    QCOMPARE(int(m_w->session()->ScanMode()), 2);
    QVERIFY(!m_fake->calls().contains(QStringLiteral("Acquire")));
    QVERIFY(!m_fake->calls().contains(QStringLiteral("xferCount=-1")));
}

void TestCommands::errorAfterConfiguring_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("acquires");
    QTest::newRow("39 goes on") << 39 << true;
    QTest::newRow("45 goes on") << 45 << true;
    QTest::newRow("11 stops") << 11 << false;
    QTest::newRow("4 stops") << 4 << false;
}

void TestCommands::errorAfterConfiguring()
{
    QFETCH(int, code);
    QFETCH(bool, acquires);
    const QString reason = QStringLiteral("Refused setting %1").arg(code);
    m_fake->setPropertyError(QStringLiteral("pageSize"), code, reason);
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_w->TwainScan();
    QCOMPARE(m_fake->calls().contains(QStringLiteral("Acquire")), acquires);
    // A warning is shown though the acquisition starts (and clears the control's error).
    QCOMPARE(m_w->StatusText, reason);
    QVERIFY(m_w->StatusIsError);
    if (!acquires) {
        QVERIFY(m_w->scanSettings()->ToolButtonScan->isEnabled());
        QCOMPARE(int(m_w->session()->ScanMode()), 2);
    }
    QVERIFY(waitForEnd());
    // ...and again when the batch has ended, where the user sees it.
    QCOMPARE(m_w->StatusText, reason);
    QVERIFY(m_w->StatusIsError);
}

void TestCommands::pageFileNotWritable()
{
    m_fake->setAutoPlay(false);
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100)),
                        FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_w->TwainScan();
    // The destination disappears in mid-batch.
    QVERIFY(QDir(m_folders.dest).removeRecursively());
    QVERIFY(m_fake->deliverNext());
    QTRY_VERIFY(m_w->StatusIsError);
    QVERIFY2(m_w->StatusText.contains(QLatin1String("Pagora_")), qPrintable(m_w->StatusText));
    QVERIFY(m_w->StatusText.contains(QLatin1String(".jpg")));
    QVERIFY(m_w->StatusText.contains(QLatin1String("No such file or directory")));
    // The batch stops as at a jam: the next sheet would fail the same way.
    QTRY_VERIFY(m_w->scanSettings()->ToolButtonScan->isEnabled());
    QVERIFY(m_fake->calls().contains(QStringLiteral("StopDevice")));
    QVERIFY(!m_fake->deliverNext());
    // The page says what is missing; nothing is lost: it is listed from its
    // working copy, and the end of the batch still shows what went wrong.
    QVERIFY(!m_w->imageList()->Pages->entry(0).pageFileWritten);
    QVERIFY(m_w->imageList()->Pages->index(0).data(Qt::ToolTipRole).toString().contains(".jpg"));
    QCOMPARE(QDir(m_folders.temp).entryList({QStringLiteral("*.bmp")}, QDir::Files).size(), 1);
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 1);
    QVERIFY(m_w->StatusIsError);
    QVERIFY(m_w->StatusText.contains(QLatin1String("Pagora_")));
}

void TestCommands::workingCopyNotWritable()
{
    qputenv("TEMP", QFile::encodeName(m_folders.dir->filePath(QStringLiteral("no-such-folder"))));
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100)),
                        FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_fake->setFeederAvailable(true);
    m_w->scanSettings()->cb_ADF->setChecked(true);
    m_w->scanSettings()->cb_ADFClick();
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    // A working copy that cannot be written stops the batch; the pages delivered by
    // then (the second may already have come) keep their page files and are
    // listed from them, and the error is shown in red.
    const int delivered = m_fake->numImages();
    QVERIFY(delivered >= 1);
    QCOMPARE(entriesOf(m_folders.dest).size(), delivered);
    QCOMPARE(m_w->imageList()->Pages->rowCount(), delivered);
    QCOMPARE(m_w->imageList()->Pages->entry(0).workingCopy,
             m_w->imageList()->Pages->entry(0).pageFile);
    QVERIFY(m_w->StatusIsError);
    QVERIFY2(m_w->StatusText.contains(QLatin1String("no-such-folder")),
             qPrintable(m_w->StatusText));
    QCOMPARE(m_fake->calls().filter(QStringLiteral("StopDevice")).size(), 1);
}

void TestCommands::failureNotification()
{
    m_fake->setFeederAvailable(true);
    m_w->scanSettings()->cb_ADF->setChecked(true);
    m_w->scanSettings()->cb_ADFClick();
    m_fake->queueBatch({FakeTwainControl::failure(4, QStringLiteral("Paper jam in the feeder."))});
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QCOMPARE(m_w->StatusText, QStringLiteral("Paper jam in the feeder."));
    QVERIFY(m_w->StatusIsError);
    QVERIFY(m_w->scanSettings()->ToolButtonPreview->isEnabled());
    QVERIFY(m_fake->calls().contains(QStringLiteral("StopDevice")));
    QVERIFY(entriesOf(m_folders.dest).isEmpty());

    // The program stays usable: the next scan runs.
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QCOMPARE(entriesOf(m_folders.dest).size(), 1);
    QCOMPARE(m_w->StatusText, text("IDS_6"));
}

void TestCommands::errorWithLastPage()
{
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100)),
                        FakeTwainControl::page(FakeTwainControl::makePage(80, 100), 4,
                                               QStringLiteral("Paper jam in the feeder."))});
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    // The page that came with the error is kept; the error shows after it.
    QCOMPARE(entriesOf(m_folders.dest).size(), 2);
    QCOMPARE(m_w->StatusText, QStringLiteral("Paper jam in the feeder."));
    QVERIFY(m_w->StatusIsError);
}

void TestCommands::menuCommandDuringBatchIgnored()
{
    m_fake->setAutoPlay(false);
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_w->TwainScan();
    m_fake->clearCalls();
    m_w->Action3->trigger(); // File, "C&opy to printer" while the scan runs
    QCOMPARE(int(m_w->session()->ScanMode()), 2);
    QVERIFY(m_fake->calls().isEmpty());
    QVERIFY(m_fake->deliverNext());
    QTRY_VERIFY(m_w->scanSettings()->ToolButtonScan->isEnabled());
    QCOMPARE(entriesOf(m_folders.dest).size(), 1);
}

void TestCommands::faceRepeatsLastCommand()
{
    // Failures end each batch at once: nothing is printed or saved.
    for (int i = 0; i < 4; ++i)
        m_fake->queueBatch({FakeTwainControl::failure(12, QStringLiteral("Cancelled."))});
    m_w->scanSettings()->Copy1->trigger();
    QVERIFY(waitForEnd());
    QCOMPARE(m_w->scanSettings()->ToolButtonScan->text(), m_w->scanSettings()->Copy1->text());
    m_w->scanSettings()->ToolButtonScan->click();
    QCOMPARE(int(m_w->session()->ScanMode()), 3);
    QVERIFY(waitForEnd());
    m_w->Action1->trigger(); // File, "S&can"
    QCOMPARE(int(m_w->session()->ScanMode()), 2);
    QCOMPARE(m_w->scanSettings()->ToolButtonScan->text(), m_w->scanSettings()->Scan1->text());
    QVERIFY(waitForEnd());
    m_w->scanSettings()->ToolButtonScan->click();
    QCOMPARE(int(m_w->session()->ScanMode()), 2);
    QVERIFY(waitForEnd());
}

void TestCommands::copyWithoutPrinter()
{
    m_fake->setFeederAvailable(true);
    m_w->scanSettings()->cb_ADF->setChecked(true);
    m_w->scanSettings()->cb_ADFClick();
    m_fake->setAutoPlay(false);
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100)),
                        FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_w->TwainCopy();
    QVERIFY(m_fake->deliverNext());
    // The failed job shows in red, and the batch goes on.
    QTRY_VERIFY(m_w->StatusIsError);
    const QString error = m_w->StatusText;
    QVERIFY(!error.isEmpty());
    QVERIFY(!m_w->scanSettings()->ToolButtonScan->isEnabled());
    QVERIFY(m_fake->deliverNext());
    QTRY_VERIFY(m_w->scanSettings()->ToolButtonScan->isEnabled());
    QCOMPARE(m_fake->calls().filter(QStringLiteral("StopDevice")).size(), 1);
    QCOMPARE(m_w->StatusText, error);
    QVERIFY(m_w->StatusIsError);
    // Nothing in the destination, nothing listed; the working copies stay.
    QVERIFY(entriesOf(m_folders.dest).isEmpty());
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 0);
    QVERIFY(!entriesOf(m_folders.temp).isEmpty());
}

void TestCommands::chooseDestination_data()
{
    QTest::addColumn<bool>("menu");
    QTest::addColumn<QString>("chosen"); // empty: cancelled
    QTest::newRow("button, chosen") << false << "/srv/scans";
    QTest::newRow("button, cancelled") << false << "";
    QTest::newRow("menu, chosen") << true << "/srv/scans";
    QTest::newRow("menu, cancelled") << true << "";
}

void TestCommands::chooseDestination()
{
    QFETCH(bool, menu);
    QFETCH(QString, chosen);
    m_recorder->path = chosen;
    if (menu)
        m_w->BrowseForFolder1->trigger();
    else
        m_w->scanSettings()->edt_DestinationButton->trigger();
    QCOMPARE(m_recorder->prompts.size(), 1);
    QCOMPARE(m_recorder->prompts.first().kind, UserPrompts::Kind::ExistingFolder);
    QCOMPARE(m_recorder->prompts.first().title, text("IDS_97"));
    QCOMPARE(m_w->scanSettings()->edt_Destination->text(),
             chosen.isEmpty() ? m_folders.dest : chosen);
}

void TestCommands::tempUnsetIsNeverRoot()
{
    qunsetenv("TEMP");
    m_fake->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(80, 100))});
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 1);
    const QString copy = m_w->imageList()->Pages->entry(0).workingCopy;
    QVERIFY2(QFileInfo(copy).isFile(), qPrintable(copy));
    const QString folder = QFileInfo(copy).absolutePath();
    QVERIFY2(folder != QDir::rootPath(), qPrintable(copy));
    QVERIFY2(folder.startsWith(QDir::tempPath()), qPrintable(copy));
    QFile::remove(copy);
}

// A termination signal in mid-batch: the sheet the scanner had already read when it
// was stopped still reaches its page file, then the window closes as File, Exit does.
void TestCommands::signalEndsBatchKeepingPages()
{
    m_fake->setAutoPlay(false);
    m_fake->setSheetsReadAtStop(1);
    const auto sheet = FakeTwainControl::page(FakeTwainControl::makePage(80, 100));
    m_fake->queueBatch({sheet, sheet, sheet});
    m_w->show();
    SignalShutdown shutdown(m_w.get());
    QSignalSpy stopped(m_fake, &TTwainControl::OnStopped);
    m_w->TwainScan();
    QVERIFY(m_fake->deliverNext());

    shutdown.closeProgram();
    QVERIFY(SignalShutdown::isClosing());
    QVERIFY(m_w->isVisible()); // not before the scanner has stopped
    QTRY_VERIFY(!m_w->isVisible());
    QVERIFY(stopped.count() >= 1);
    QCOMPARE(entriesOf(m_folders.dest).size(), 2);
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 2);
    QCOMPARE(entriesOf(m_folders.temp), QStringList()); // working copies removed
    QVERIFY(SettingsStore().ValueExists(QString::fromLatin1(SettingsStore::WWidth)));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
