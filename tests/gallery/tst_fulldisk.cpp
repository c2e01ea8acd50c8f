// A disk that fills up under a feeder batch: the batch stops, no sheet fed is
// lost (each is a file or a list entry held in memory), and once space is freed
// the PDF and "Save to folder..." get every one of them back. Closing with pages
// held in memory asks first.
#include "FakeTwainControl.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/FreeSpace.h"
#include "pages/PageModel.h"
#include "scanner/PageSizes.h"
#include "support/Prerequisite.h"
#include "support/FullDisk.h"
#include "support/PdfInspector.h"
#include "support/PromptRecorder.h"
#include "support/TestFolders.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImageReader>
#include <QLineEdit>
#include <QListView>
#include <QStorageInfo>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr int Sheets = 10;

std::unique_ptr<Tfrm_Main> startWindow(const QString &destination, int format)
{
    auto *fake = new FakeTwainControl;
    fake->setSources({QStringLiteral("Fake scanner")});
    fake->setFeederAvailable(true);
    auto w = std::make_unique<Tfrm_Main>(fake);
    w->show();
    ScanSettingsPane *settings = w->scanSettings();
    settings->edt_FileName->setText(QStringLiteral("Pagora"));
    settings->cmb_Format->setCurrentIndex(format);
    settings->edt_Destination->setText(destination);
    settings->cmb_Mode->setCurrentIndex(2);       // colour
    settings->cmb_Resolution->setCurrentIndex(0); // the lowest: small pages
    settings->cmb_Size->setCurrentIndex(1);
    settings->cb_ADF->setChecked(true);
    settings->cb_ADFClick();
    return w;
}

// Takes all but bytes of the free space of folder's file system.
bool leaveFree(const QString &folder, qint64 bytes)
{
    const qint64 fill = QStorageInfo(folder).bytesAvailable() - bytes;
    if (fill <= 0)
        return fill == 0;
    const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/filler")).constData(),
                          O_CREAT | O_WRONLY, 0600);
    const bool ok = fd >= 0 && ::posix_fallocate(fd, 0, fill) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace

class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_folders.setUp()); }
    void cleanup() { m_folders.tearDown(); }

    void feederBatchOnFullDisk_data()
    {
        QTest::addColumn<int>("format");         // 0 BMP, 1 JPEG
        QTest::addColumn<double>("roomInPages"); // free space, in pages as the check counts them
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("held"); // some sheets could be written nowhere

        // Page file and working copy alike are large: the sheets past the full
        // disk have no file at all.
        QTest::newRow("BMP, room for three pages and a bit") << 0 << 3.3 << true << true;
        // Small page files still fit where working copies do not.
        QTest::newRow("JPEG, room for three pages and a bit") << 1 << 3.3 << true << false;
        QTest::newRow("BMP, room for two and a half pages") << 0 << 2.5 << false << false;
    }

    // Temporary folder and destination on one small file system.
    void feederBatchOnFullDisk()
    {
        QFETCH(int, format);
        QFETCH(double, roomInPages);
        QFETCH(bool, started);
        QFETCH(bool, held);
        const QString root = m_folders.dir->filePath(QStringLiteral("disk"));
        FullDisk disk(root, "64m");
        if (!disk.isMounted())
            SKIP_OR_FAIL_IN_CI("no small file system can be mounted here (needs root)");
        const QString scans = root + QStringLiteral("/scans");
        const QString temp = root + QStringLiteral("/temp");
        QVERIFY(QDir().mkpath(scans) && QDir().mkpath(temp));
        qputenv("TEMP", QFile::encodeName(temp));
        PromptRecorder recorder;
        recorder.answer = QMessageBox::Ok;

        auto w = startWindow(scans, format);
        auto *fake = static_cast<FakeTwainControl *>(w->TwainControl);
        QTRY_VERIFY_WITH_TIMEOUT(w->scanSettings()->ToolButtonScan->isEnabled(), 10000);
        const ScanSession::Request request = w->scanRequest();
        const auto &size = PageSizes::at(request.sizeIndex);
        const QSize pixels = FreeSpace::pixelsOf(size.width, size.height, request.resolution);
        const qint64 page =
            FreeSpace::pageFileBytes(pixels, 2,
                                     format == 0 ? QStringLiteral("bmp") : QStringLiteral("jpg")) +
            FreeSpace::workingCopyBytes(pixels, 2);
        QVERIFY(leaveFree(root, qint64(roomInPages * double(page))));
        // Sheets told apart by their width.
        QList<FakeTwainControl::Step> sheets;
        for (int i = 0; i < Sheets; ++i)
            sheets.append(FakeTwainControl::page(FakeTwainControl::makePage(
                pixels.width() + i, pixels.height(), request.resolution)));
        fake->queueBatch(sheets);

        w->TwainScan();
        const QString noSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));
        if (!started) {
            // Said before any sheet is fed, naming the folder.
            QVERIFY(!fake->calls().contains(QStringLiteral("Acquire")));
            QVERIFY(w->StatusIsError);
            QVERIFY2(w->StatusText.contains(QDir::toNativeSeparators(scans)),
                     qPrintable(w->StatusText));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w->busy(), 60000);
        const int fed = fake->numImages();
        QVERIFY2(fed < Sheets, "the feeder ran on after the disk was full");
        QVERIFY(w->StatusIsError);
        QVERIFY2(w->StatusText.contains(noSpace) && w->StatusText.contains(root),
                 qPrintable(w->StatusText));

        // Every sheet fed is in the list, in order, kept as a file or in memory.
        const PageModel *pages = w->imageList()->Pages;
        QCOMPARE(pages->rowCount(), fed);
        int firstFailed = -1;
        int heldPages = 0;
        for (int i = 0; i < fed; ++i) {
            const PageEntry &e = pages->entry(i);
            QCOMPARE(e.size.width(), pixels.width() + i);
            const bool pageFile = e.pageFileWritten && QImageReader(e.pageFile).size() == e.size;
            // A page without a working copy of its own is listed from its page file.
            const bool copy =
                e.workingCopy != e.pageFile && QImageReader(e.workingCopy).size() == e.size;
            QVERIFY2(pageFile || copy || e.image.size() == e.size, qPrintable(e.caption));
            QVERIFY(!(e.heldInMemory() && (pageFile || copy)));
            if (firstFailed < 0 && !(pageFile && copy))
                firstFailed = i;
            heldPages += e.heldInMemory() ? 1 : 0;
        }
        QVERIFY2(firstFailed >= 3, qPrintable(QString::number(firstFailed))); // the check's room
        // Behind the failing sheet: the two in the page pipeline and the one the
        // scanner had read already.
        QVERIFY2(fed - 1 - firstFailed <= 3, qPrintable(QString::number(fed - 1 - firstFailed)));
        QCOMPARE(heldPages > 0, held);

        // Space freed: the PDF holds every sheet fed, in order.
        QVERIFY(QFile::remove(root + QStringLiteral("/filler")));
        const QString pdf = root + QStringLiteral("/all.pdf");
        recorder.path = pdf;
        w->imageList()->Action_PDFExecute();
        QTRY_VERIFY_WITH_TIMEOUT(!w->imageList()->pdfExportRunning(), 60000);
        const QList<QSize> pdfPages = PdfInspector::pageSizes(pdf);
        QCOMPARE(pdfPages.size(), fed);
        for (int i = 0; i < fed; ++i)
            QCOMPARE(pdfPages.at(i).width(), pixels.width() + i);

        // "Save to folder..." writes the held pages; they are saved pages from then on.
        const QString saved = root + QStringLiteral("/saved");
        QVERIFY(QDir().mkpath(saved));
        QList<int> heldRows;
        for (int i = 0; i < fed; ++i) {
            if (pages->entry(i).heldInMemory()) {
                heldRows.append(i);
                w->imageList()->lv_Images->selectionModel()->select(pages->index(i),
                                                                    QItemSelectionModel::Select);
            }
        }
        recorder.path = saved;
        w->imageList()->Action_SaveToFolderExecute();
        for (int i : std::as_const(heldRows)) {
            const PageEntry &e = pages->entry(i);
            QVERIFY(!e.heldInMemory() && e.pageFileWritten);
            QCOMPARE(QFileInfo(e.pageFile).absolutePath(), saved);
            QCOMPARE(QImageReader(e.pageFile).size(), e.size);
        }
        QCOMPARE(pages->heldCount(), 0);
        // Nothing left to ask about at close.
        recorder.prompts.clear();
        QVERIFY(w->close());
        QVERIFY(recorder.prompts.isEmpty());
    }

    void closeWithUnsavedPages_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("folderChosen");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("written");

        QTest::newRow("save to a folder") << int(QMessageBox::Save) << true << true << true;
        QTest::newRow("save, folder chooser cancelled")
            << int(QMessageBox::Save) << false << false << false;
        QTest::newRow("discard") << int(QMessageBox::Discard) << false << true << false;
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false << false;
    }

    void closeWithUnsavedPages()
    {
        QFETCH(int, answer);
        QFETCH(bool, folderChosen);
        QFETCH(bool, closes);
        QFETCH(bool, written);
        PromptRecorder recorder;
        auto w = startWindow(m_folders.dest, 1);
        PageEntry page;
        page.caption = QStringLiteral("Held.jpg");
        page.pageFile = m_folders.dest + QStringLiteral("/Held.jpg");
        page.workingCopy = m_folders.temp + QStringLiteral("/Held.bmp");
        page.image = FakeTwainControl::makePage(60, 40);
        page.size = page.image.size();
        page.pageFileWritten = false;
        w->imageList()->FillImageList(page);
        QCOMPARE(w->imageList()->Pages->heldCount(), 1);

        const QString folder = m_folders.dir->filePath(QStringLiteral("kept"));
        QVERIFY(QDir().mkpath(folder));
        recorder.answer = QMessageBox::StandardButton(answer);
        recorder.path = folderChosen ? folder : QString();
        QCOMPARE(w->close(), closes);
        QVERIFY(!recorder.prompts.isEmpty());
        const UserPrompts::Prompt &question = recorder.prompts.first();
        QCOMPARE(question.buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        QCOMPARE(QImageReader(folder + QStringLiteral("/Held.jpg")).size(),
                 written ? QSize(60, 40) : QSize());
        QCOMPARE(w->isVisible(), !closes);
        if (!closes)
            QCOMPARE(w->imageList()->Pages->heldCount(), 1); // still there to be saved
    }

private:
    TestFolders m_folders;
};

QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
