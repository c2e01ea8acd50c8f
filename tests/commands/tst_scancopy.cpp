// Scan and copy end to end: the main window driving SANE's test backend (a
// flatbed and a feeder of 10 sheets), and copies printed through a CUPS queue of
// cups-pdf. Scans run at 75 dpi to stay quick.
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/PreviewPane.h"
#include "mainwindow/ScanAreaPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageModel.h"
#include "scanner/SaneTwainControl.h"
#include "scanner/TTwainControl.h"
#include "settings/SettingsStore.h"
#include "support/FullDisk.h"
#include "support/PdfInspector.h"
#include "support/Prerequisite.h"
#include "support/PromptRecorder.h"
#include "support/TestFolders.h"
#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString text(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

QStringList filesIn(const QString &folder, const QStringList &filters = {})
{
    return QDir(folder).entryList(filters, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

// The folder cups-pdf writes this user's jobs to: "Out" of cups-pdf.conf with
// ${USER} and ${HOME} expanded as the backend does, from the password entry.
QString cupsPdfFolder()
{
    QString out = QStringLiteral("/var/spool/cups-pdf/${USER}");
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        const QRegularExpression re(QStringLiteral("^Out\\s+(\\S.*)$"));
        while (!conf.atEnd()) {
            const auto m = re.match(QString::fromUtf8(conf.readLine()).trimmed());
            if (m.hasMatch())
                out = m.captured(1).trimmed();
        }
    }
    const passwd *pw = getpwuid(getuid());
    if (!pw)
        return QString();
    out.replace(QLatin1String("${USER}"), QString::fromLocal8Bit(pw->pw_name));
    out.replace(QLatin1String("${HOME}"), QString::fromLocal8Bit(pw->pw_dir));
    return out;
}

// Where the PDF queue puts printed jobs; empty, with the reason, when the copy
// tests cannot run here.
QString printedJobsFolder(QString *why)
{
    if (QPrinterInfo::defaultPrinter().isNull()) {
        *why = QStringLiteral("No CUPS queue is reachable: run scripts/start-services.sh (as "
                              "root) first.");
        return {};
    }
    const QString out = cupsPdfFolder();
    if (out.isEmpty() || !QFileInfo(out).isDir()) {
        *why = QStringLiteral(
            "The cups-pdf output folder is missing: run scripts/start-services.sh first.");
        return {};
    }
    return out;
}

} // namespace

class TestScanCopy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void flatbedScan();
    void pageFileOnFullDisk();
    void feederBatchOfTen();
    void feederBatchFillsTheDisk();
    void blankSheets_data();
    void blankSheets();
    void jammedFeeder();
    void twoPassDuplex();
    void flatbedAfterFeeder();
    void stopFeederBatch_data();
    void stopFeederBatch();
    void copyPrintsOneJobPerSheet();
    void copyPrintsTheCustomArea();

private:
    bool startWindow();
    bool waitForEnd(int ms = 60000);
    void useFeeder(bool on);
    // About a second per sheet at 75 dpi: time to stop a batch in the middle.
    void setSlowFeeder(bool slow);

    TestFolders m_folders;
    std::unique_ptr<PromptRecorder> m_recorder;
    SaneTwainControl *m_control = nullptr;
    std::unique_ptr<Tfrm_Main> m_w;
};

void TestScanCopy::init()
{
    QVERIFY(m_folders.setUp());
    // Nothing here asks anything; what would is recorded, not shown.
    m_recorder = std::make_unique<PromptRecorder>();
    QVERIFY2(startWindow(), "SANE's test backend (test:0) is not in the source list");
}

void TestScanCopy::cleanup()
{
    m_w.reset();
    m_recorder.reset();
    m_folders.tearDown();
}

bool TestScanCopy::startWindow()
{
    m_control = new SaneTwainControl;
    setSlowFeeder(false);
    m_w = std::make_unique<Tfrm_Main>(m_control);
    m_w->FormShow();
    // The device search ends on its own; the commands wait for it.
    if (!QTest::qWaitFor([this] { return m_w->scanSettings()->ToolButtonScan->isEnabled(); },
                         60000))
        return false;
    int test = -1;
    for (int i = 0; i < m_control->sourceCount(); ++i) {
        if (m_control->deviceName(i) == QLatin1String("test:0"))
            test = i;
    }
    if (test < 0)
        return false;
    m_w->scanSettings()->cmb_Sources->setCurrentIndex(test);
    m_w->scanSettings()->cmb_Resolution->setCurrentIndex(0); // 75 dpi
    m_w->scanSettings()->cmb_Mode->setCurrentIndex(2);
    m_w->scanSettings()->cmb_Size->setCurrentIndex(1);   // A4
    m_w->scanSettings()->cmb_Format->setCurrentIndex(1); // JPG
    m_w->scanSettings()->edt_FileName->setText(QStringLiteral("Pagora"));
    m_w->scanSettings()->edt_Destination->setText(m_folders.dest);
    m_w->session()->setSkipBlank(false);
    return true;
}

bool TestScanCopy::waitForEnd(int ms)
{
    return QTest::qWaitFor([this] { return m_w->scanSettings()->ToolButtonScan->isEnabled(); }, ms);
}

void TestScanCopy::useFeeder(bool on)
{
    m_w->scanSettings()->cb_ADF->setChecked(on);
    m_w->scanSettings()->cb_ADFClick();
}

void TestScanCopy::flatbedScan()
{
    m_w->Action1->trigger(); // File, "S&can"
    QVERIFY(waitForEnd());
    QCOMPARE(m_w->StatusText, text("IDS_6"));
    QVERIFY(!m_w->StatusIsError);
    QVERIFY(!m_w->session()->gADF());
    const QStringList pages = filesIn(m_folders.dest);
    QCOMPARE(pages.size(), 1);
    QImageReader reader(m_folders.dest + QLatin1Char('/') + pages.first());
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage page = reader.read();
    // 8.3 x 11.7 inches at 75 dpi: about 622 x 877 pixels.
    QVERIFY2(qAbs(page.width() - 622) <= 3 && qAbs(page.height() - 877) <= 3,
             qPrintable(QStringLiteral("%1 x %2").arg(page.width()).arg(page.height())));
    const QStringList copies = filesIn(m_folders.temp, {QStringLiteral("*.bmp")});
    QCOMPARE(copies, QStringList{pages.first().chopped(4) + QStringLiteral(".bmp")});
    QCOMPARE(QImageReader(m_folders.temp + QLatin1Char('/') + copies.first()).format(),
             QByteArray("bmp"));
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 1);
    QCOMPARE(m_w->imageList()->Pages->entry(0).caption, pages.first());
}

// A destination too full for the page is said before the scanner is started,
// naming the folder.
void TestScanCopy::pageFileOnFullDisk()
{
    FullDisk disk(m_folders.dest + QStringLiteral("/full"));
    if (!disk.isMounted())
        SKIP_OR_FAIL_IN_CI("no small file system can be mounted here (needs root)");
    m_w->scanSettings()->edt_Destination->setText(m_folders.dest + QStringLiteral("/full"));
    m_w->scanSettings()->cmb_Format->setCurrentIndex(0); // BMP: far larger than the disk
    m_w->Action1->trigger();
    QVERIFY(waitForEnd());
    QVERIFY(m_w->StatusIsError);
    QVERIFY2(m_w->StatusText.contains(QDir::toNativeSeparators(m_folders.dest + "/full")),
             qPrintable(m_w->StatusText));
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 0);
    QVERIFY(filesIn(m_folders.temp, {QStringLiteral("*.bmp")}).isEmpty());
}

// The demo feeder's ten sheets onto one small file system that holds the temporary
// folder and the destination: the batch stops soon after the first page that cannot
// be written, every sheet fed is listed (as files or held in memory), and once there
// is space again the PDF holds them all.
void TestScanCopy::feederBatchFillsTheDisk()
{
    const QString root = m_folders.dir->filePath(QStringLiteral("small"));
    FullDisk disk(root, "3m");
    if (!disk.isMounted())
        SKIP_OR_FAIL_IN_CI("no small file system can be mounted here (needs root)");
    const QString scans = root + QStringLiteral("/scans");
    const QString temp = root + QStringLiteral("/temp");
    QVERIFY(QDir().mkpath(scans) && QDir().mkpath(temp));
    qputenv("TEMP", QFile::encodeName(temp));
    m_w->scanSettings()->edt_Destination->setText(scans);
    m_w->scanSettings()->cmb_Size->setCurrentIndex(5); // A5: a few pages fit
    useFeeder(true);
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QVERIFY(m_w->StatusIsError);

    const PageModel *pages = m_w->imageList()->Pages;
    const int fed = m_control->numImages();
    int firstFailed = -1;
    for (int i = 0; i < pages->rowCount() && firstFailed < 0; ++i) {
        const PageEntry &e = pages->entry(i);
        if (!e.pageFileWritten || e.workingCopy == e.pageFile || e.heldInMemory())
            firstFailed = i;
    }
    qInfo("%d sheets fed, %d listed, %d held in memory, %d dropped; the first page not written "
          "whole was sheet %d",
          fed, int(pages->rowCount()), pages->heldCount(), m_control->droppedSheets(),
          firstFailed + 1);
    QCOMPARE(pages->rowCount(), fed);
    QVERIFY(firstFailed >= 0);
    // Fed before the failure was known, at worst: the two pages the pipeline holds
    // ahead and the sheet the scanner reads meanwhile (the demo feeder is instant).
    QVERIFY2(fed - 1 - firstFailed <= 3, qPrintable(QString::number(fed - 1 - firstFailed)));
    QVERIFY(fed < 10);

    QVERIFY(disk.grow("64m"));
    const QString pdf = root + QStringLiteral("/all.pdf");
    m_recorder->path = pdf;
    m_w->imageList()->Action_PDFExecute();
    QTRY_VERIFY_WITH_TIMEOUT(!m_w->imageList()->pdfExportRunning(), 60000);
    QCOMPARE(PdfInspector::pageSizes(pdf).size(), fed);
}

void TestScanCopy::feederBatchOfTen()
{
    useFeeder(true);
    const QDateTime before = QDateTime::currentDateTime();
    // The page work runs on a worker: "Ready" must not come before the last page
    // is listed, and pages are listed in the order they were scanned.
    QStringList statusAtEachPage;
    connect(m_w->imageList()->Pages, &QAbstractItemModel::rowsInserted, this,
            [this, &statusAtEachPage] { statusAtEachPage.append(m_w->StatusText); });
    m_w->Action1->trigger();
    QVERIFY(waitForEnd());
    QVERIFY(m_w->session()->gADF()); // decided once the scanner has opened
    QCOMPARE(m_w->StatusText, text("IDS_6"));
    QVERIFY(!m_w->StatusIsError);
    QCOMPARE(statusAtEachPage.size(), 10);
    QVERIFY(!statusAtEachPage.contains(text("IDS_6")));
    for (int i = 1; i < m_w->imageList()->Pages->rowCount(); ++i)
        QVERIFY(QFileInfo(m_w->imageList()->Pages->entry(i - 1).pageFile).lastModified() <=
                QFileInfo(m_w->imageList()->Pages->entry(i).pageFile).lastModified());

    const QStringList pages = filesIn(m_folders.dest);
    QCOMPARE(pages.size(), 10);
    QCOMPARE(filesIn(m_folders.temp, {QStringLiteral("*.bmp")}).size(), 10);
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 10);
    // Pagora_<stamp>.jpg, then Pagora_<stamp>_1.jpg and on within one second.
    const QRegularExpression name(QStringLiteral("^Pagora_([^_]+)(_([1-9][0-9]*))?\\.jpg$"));
    QSet<QString> stamps;
    for (const QString &page : pages) {
        const auto m = name.match(page);
        QVERIFY2(m.hasMatch(), qPrintable(page));
        stamps.insert(m.captured(1));
        QCOMPARE(QImageReader(m_folders.dest + QLatin1Char('/') + page).format(),
                 QByteArray("jpeg"));
        QVERIFY(QFileInfo::exists(m_folders.temp + QLatin1Char('/') + page.chopped(4) +
                                  QStringLiteral(".bmp")));
    }
    // Every stamp is the time of some page of this batch; the first page of each
    // second has no number.
    for (const QString &stamp : stamps) {
        QVERIFY(pages.contains(QStringLiteral("Pagora_") + stamp + QStringLiteral(".jpg")));
        QVERIFY(!stamp.contains(QLatin1Char(':')) && !stamp.contains(QLatin1Char('/')));
    }
    const qint64 seconds =
        QDateTime::currentDateTime().toSecsSinceEpoch() - before.toSecsSinceEpoch() + 1;
    QVERIFY(stamps.size() <= seconds);

    // Closing keeps the page files and removes the working copies of listed pages.
    m_w->close();
    QCOMPARE(filesIn(m_folders.dest).size(), 10);
    QCOMPARE(filesIn(m_folders.temp).size(), 0);
}

void TestScanCopy::blankSheets_data()
{
    QTest::addColumn<bool>("feeder");
    QTest::addColumn<bool>("skip");
    QTest::addColumn<int>("listed");
    QTest::newRow("feeder, skipping on") << true << true << 0;
    QTest::newRow("feeder, skipping off") << true << false << 10;
    QTest::newRow("flatbed, skipping on") << false << true << 1;
}

void TestScanCopy::blankSheets()
{
    QFETCH(bool, feeder);
    QFETCH(bool, skip);
    QFETCH(int, listed);
    m_control->setDeviceOptionOverride("test-picture", QStringLiteral("Solid white"));
    useFeeder(feeder);
    m_w->session()->setSkipBlank(skip);
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    const int sheets = feeder ? 10 : 1;
    // Saved either way; only the list leaves them out.
    QCOMPARE(filesIn(m_folders.dest).size(), sheets);
    QCOMPARE(filesIn(m_folders.temp, {QStringLiteral("*.bmp")}).size(), sheets);
    QCOMPARE(m_w->imageList()->Pages->rowCount(), listed);
    // Pages left out are accounted for: how many, and the folder that holds them.
    const int leftOut = sheets - listed;
    if (leftOut == 0) {
        QCOMPARE(m_w->StatusText, text("IDS_6"));
    } else {
        QVERIFY2(m_w->StatusText.contains(QString::number(leftOut)) &&
                     m_w->StatusText.contains(QDir::toNativeSeparators(m_folders.dest)),
                 qPrintable(m_w->StatusText));
        QVERIFY(!m_w->StatusIsError);
    }
}

void TestScanCopy::jammedFeeder()
{
    m_control->setDeviceOptionOverride("read-return-value", QStringLiteral("SANE_STATUS_JAMMED"));
    useFeeder(true);
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QVERIFY(m_w->StatusIsError);
    QVERIFY(!m_w->StatusText.isEmpty());
    QVERIFY(m_w->scanSettings()->ToolButtonPreview->isEnabled());
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 0);

    // Still usable: with the jam cleared the next batch runs.
    m_control->setDeviceOptionOverride("read-return-value", QStringLiteral("Default"));
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QCOMPARE(m_w->StatusText, text("IDS_6"));
    QCOMPARE(filesIn(m_folders.dest).size(), 10);
}

// Duplex on the demo feeder, which has no duplex unit: two passes of 10 sheets,
// the question answered "Scan the backs", and the list as sheet 1 front, sheet 1
// back, ...: by page file written, the 1st, 20th, 2nd, 19th, ..., 10th, 11th.
void TestScanCopy::twoPassDuplex()
{
    useFeeder(true);
    m_w->scanSettings()->cb_Duplex->setChecked(true);
    m_recorder->answer = QMessageBox::Yes;
    m_w->Action1->trigger();
    QVERIFY(waitForEnd(120000));
    QCOMPARE(m_w->StatusText, text("IDS_6"));
    QVERIFY(!m_w->StatusIsError);
    QCOMPARE(m_recorder->prompts.size(), 1);
    QVERIFY(m_recorder->prompts.first().text.contains(QLatin1String("10")));
    QCOMPARE(m_recorder->prompts.first().buttonTexts.value(QMessageBox::Yes),
             QStringLiteral("Scan the backs"));

    QStringList written = filesIn(m_folders.dest);
    QCOMPARE(written.size(), 20);
    // In the order written, to the nanosecond: pages come faster than a millisecond apart.
    const auto writtenAt = [this](const QString &name) {
        struct stat st = {};
        ::stat(QFile::encodeName(m_folders.dest + QLatin1Char('/') + name).constData(), &st);
        return std::make_pair(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    };
    std::sort(written.begin(), written.end(),
              [&](const QString &a, const QString &b) { return writtenAt(a) < writtenAt(b); });
    QStringList expected;
    for (int i = 0; i < 10; ++i)
        expected << written.at(i) << written.at(19 - i);
    QStringList listed;
    for (int row = 0; row < m_w->imageList()->Pages->rowCount(); ++row)
        listed.append(m_w->imageList()->Pages->entry(row).caption);
    QCOMPARE(listed, expected);
}

void TestScanCopy::flatbedAfterFeeder()
{
    useFeeder(true);
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QCOMPARE(filesIn(m_folders.dest).size(), 10);
    // With "Autofeeder" cleared the command writes no feeder property, so the
    // control must not carry the feeder over from the last command.
    useFeeder(false);
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QVERIFY(!m_w->session()->gADF());
    QCOMPARE(filesIn(m_folders.dest).size(), 11);
}

void TestScanCopy::setSlowFeeder(bool slow)
{
    // The test backend keeps option values for the whole process: every test
    // starts from its normal picture, no injected error and no delay.
    m_control->clearDeviceOptionOverrides();
    m_control->setDeviceOptionOverride("test-picture", QStringLiteral("Color pattern"));
    m_control->setDeviceOptionOverride("read-return-value", QStringLiteral("Default"));
    m_control->setDeviceOptionOverride("read-limit", slow);
    m_control->setDeviceOptionOverride("read-delay", slow);
    if (slow) {
        m_control->setDeviceOptionOverride("read-limit-size", 32768);
        m_control->setDeviceOptionOverride("read-delay-duration", 20000);
    }
}

void TestScanCopy::stopFeederBatch_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape") << QStringLiteral("escape");
    QTest::newRow("Stop button") << QStringLiteral("button");
    QTest::newRow("closing the window") << QStringLiteral("close");
}

// Pages delivered before the stop are saved and listed, the rest of the feeder is
// not read, and the scanner serves the next command at once.
void TestScanCopy::stopFeederBatch()
{
    QFETCH(QString, how);
    setSlowFeeder(true);
    useFeeder(true);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    m_w->Action1->trigger();
    QVERIFY(m_w->scanSettings()->ToolButtonStop->isVisible() &&
            m_w->scanSettings()->ToolButtonStop->isEnabled());
    QVERIFY(!m_w->scanSettings()->ToolButtonScan->isVisible());
    QVERIFY(QTest::qWaitFor([this] { return m_w->imageList()->Pages->rowCount() >= 3; }, 60000));

    if (how == QLatin1String("close")) {
        QElapsedTimer clock;
        clock.start();
        // The window stops the scanner and closes once it has stopped.
        m_w->close();
        QTRY_VERIFY_WITH_TIMEOUT(!m_w->isVisible(), 10000);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        const int listed = m_w->imageList()->Pages->rowCount();
        QVERIFY2(listed >= 3 && listed < 10, qPrintable(QString::number(listed)));
        QCOMPARE(filesIn(m_folders.dest).size(), listed);
        // No working copy left behind.
        QVERIFY2(filesIn(m_folders.temp).isEmpty(), qPrintable(filesIn(m_folders.temp).join(", ")));
        return;
    }
    if (how == QLatin1String("escape"))
        QTest::keyClick(m_w.get(), Qt::Key_Escape);
    else
        m_w->scanSettings()->ToolButtonStop->click();
    QVERIFY(waitForEnd(30000));
    // A sheet cut short in the scanner is owned up to.
    QVERIFY(m_w->StatusText.startsWith(QStringLiteral("Scanning stopped")));
    QCOMPARE(m_w->StatusText == QStringLiteral("Scanning stopped"),
             m_control->droppedSheets() == 0);
    QVERIFY(!m_w->StatusIsError);
    QVERIFY(m_w->scanSettings()->ToolButtonScan->isVisible() &&
            !m_w->scanSettings()->ToolButtonStop->isVisible());
    const int listed = m_w->imageList()->Pages->rowCount();
    QVERIFY2(listed >= 3 && listed < 10, qPrintable(QString::number(listed)));
    QCOMPARE(filesIn(m_folders.dest).size(), listed);
    // One working copy per listed page (the page journal lives there too).
    QCOMPARE(filesIn(m_folders.temp, {QStringLiteral("*.bmp")}).size(), listed);

    setSlowFeeder(false);
    useFeeder(false);
    m_w->TwainScan();
    QVERIFY(waitForEnd());
    QCOMPARE(m_w->StatusText, text("IDS_6"));
    QCOMPARE(m_w->imageList()->Pages->rowCount(), listed + 1);
    QCOMPARE(filesIn(m_folders.dest).size(), listed + 1);
}

void TestScanCopy::copyPrintsOneJobPerSheet()
{
    QString why;
    const QString out = printedJobsFolder(&why);
    if (out.isEmpty())
        SKIP_OR_FAIL_IN_CI(why);
    const QStringList before = filesIn(out, {QStringLiteral("*.pdf")});

    // A fresh window: its printer is the default one as it is now.
    useFeeder(true);
    m_w->Action3->trigger(); // File, "C&opy to printer"
    QCOMPARE(int(m_w->session()->ScanMode()), 3);
    QVERIFY(!m_w->GetPrinterInfo().isEmpty());
    QVERIFY(waitForEnd());
    QCOMPARE(m_w->StatusText, text("IDS_6"));
    QVERIFY(!m_w->StatusIsError);
    // Nothing in the destination, nothing listed, and each working copy is gone
    // once its job was handed to the printing system.
    QVERIFY(filesIn(m_folders.dest).isEmpty());
    QCOMPARE(m_w->imageList()->Pages->rowCount(), 0);
    QVERIFY2(filesIn(m_folders.temp).isEmpty(), qPrintable(filesIn(m_folders.temp).join(", ")));

    QStringList jobs;
    const bool printed = QTest::qWaitFor(
        [&] {
            jobs.clear();
            for (const QString &f : filesIn(out, {QStringLiteral("*.pdf")})) {
                if (!before.contains(f))
                    jobs.append(f);
            }
            return jobs.size() >= 10;
        },
        120000);
    QVERIFY2(printed, qPrintable(QStringLiteral("%1 of 10 jobs printed").arg(jobs.size())));
    QCOMPARE(jobs.size(), 10);
    for (const QString &job : jobs) {
        QVERIFY2(job.contains(QLatin1String("Pagora_Pro_document")), qPrintable(job));
        const QString path = out + QLatin1Char('/') + job;
        // cups-pdf renames into place when done; wait for a complete file.
        QTRY_VERIFY_WITH_TIMEOUT(PdfInspector::pageCount(path) == 1, 10000);
        QFile::remove(path);
    }
}

// What is printed is the area drawn on the preview, not the whole bed.
void TestScanCopy::copyPrintsTheCustomArea()
{
    QString why;
    const QString out = printedJobsFolder(&why);
    if (out.isEmpty())
        SKIP_OR_FAIL_IN_CI(why);
    const QStringList before = filesIn(out, {QStringLiteral("*.pdf")});
    // (1, 2)-(3, 5) inches at the preview's 20.78 pixels per inch: 2 x 3 inches.
    const double r = 20.78;
    m_w->scanSettings()->cmb_Size->setCurrentIndex(0); // Custom
    m_w->scanArea()->I32_Preview->setAreaRect(QRectF(QPointF(1 * r, 2 * r), QPointF(3 * r, 5 * r)));
    // The delivered page is the printed picture: 2 x 3 inches at 75 dpi.
    QSize printed;
    TTwainControl *control = m_w->TwainControl;
    connect(control, &TTwainControl::OnPostScan, this, [&printed, control](int flag) {
        if (flag == 0)
            printed = QSize(control->GetImageWidth(control->numImages() - 1),
                            control->GetImageHeight(control->numImages() - 1));
    });
    m_w->Action3->trigger(); // File, "C&opy to printer"
    QVERIFY(waitForEnd());
    QCOMPARE(m_w->StatusText, text("IDS_6"));
    QVERIFY2(qAbs(printed.width() - 150) <= 2 && qAbs(printed.height() - 225) <= 2,
             qPrintable(QStringLiteral("%1 x %2").arg(printed.width()).arg(printed.height())));

    // Its job is printed, and cleared so no later test counts it.
    QString job;
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QString &f : filesIn(out, {QStringLiteral("*.pdf")})) {
                if (!before.contains(f))
                    job = out + QLatin1Char('/') + f;
            }
            return !job.isEmpty();
        },
        60000));
    QTRY_VERIFY_WITH_TIMEOUT(PdfInspector::pageCount(job) == 1, 10000);
    QFile::remove(job);
}

QTEST_MAIN(TestScanCopy)
#include "tst_scancopy.moc"
