// The image list as a user meets it, against SANE's test backend: scanned pages
// appear as thumbnails, F2 renames, a preview opens at the remembered size,
// "Save all to PDF" writes every page in list order, Delete removes them all.
// With PAGORA_SHOTS set to a folder (and a real X display) the screen is saved
// there at the interesting moments.
#include "files/TempFolder.h"
#include "gallery/Tfrm_Preview.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/StatusPanelBar.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageModel.h"
#include "scanner/SaneTwainControl.h"
#include "settings/SettingsStore.h"
#include "support/PdfInspector.h"
#include "support/PromptRecorder.h"
#include "widgets/UserPrompts.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

constexpr int Timeout = 60000;

void screenshot(const QString &name)
{
    const QString folder = qEnvironmentVariable("PAGORA_SHOTS");
    if (folder.isEmpty())
        return;
    QTest::qWait(300); // let the window manager-less server paint
    QProcess::execute("import", {"-window", "root", QDir(folder).filePath(name + ".png")});
}

} // namespace

class TestDemoScanner : public QObject
{
    Q_OBJECT

private slots:
    void userSession()
    {
        QTemporaryDir scratch;
        SettingsStore::setDefaultFilePath(scratch.filePath("settings.ini"));
        SettingsStore().WriteInteger(SettingsStore::PWidth, 520);
        SettingsStore().WriteInteger(SettingsStore::PHeight, 640);
        const QString pdf = scratch.filePath("all.pdf");
        PromptRecorder recorder;
        recorder.answer = QMessageBox::Yes;
        recorder.path = pdf;

        auto *control = new SaneTwainControl;
        Tfrm_Main w(control);
        Tfrm_Preview preview(&w);
        w.setWindows(nullptr, nullptr, &preview);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The device search ends on its own; the commands wait for it.
        QTRY_VERIFY_WITH_TIMEOUT(w.scanSettings()->ToolButtonScan->isEnabled(), Timeout);
        int demo = -1;
        for (int i = 0; i < w.scanSettings()->cmb_Sources->count(); ++i) {
            if (control->deviceName(i) == QLatin1String("test:0"))
                demo = i;
        }
        QVERIFY2(demo >= 0, "SANE test backend not found");
        w.scanSettings()->cmb_Sources->setCurrentIndex(demo);
        w.scanSettings()->cmb_SourcesChange(demo);
        const QString destination = scratch.filePath("Scans");
        QVERIFY(QDir().mkpath(destination));
        w.scanSettings()->edt_Destination->setText(destination);
        w.scanSettings()->cmb_Resolution->setCurrentIndex(0); // 75 dpi keeps it quick

        // Three pages of two sizes from the flatbed.
        for (int size : {5, 1, 5}) {
            w.scanSettings()->cmb_Size->setCurrentIndex(size);
            w.scanSettings()->Scan1->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(w.scanSettings()->ToolButtonScan->isEnabled(), Timeout);
            QVERIFY2(!w.StatusIsError, qPrintable(w.StatusText));
        }
        QListView *list = w.imageList()->lv_Images;
        PageModel *pages = w.imageList()->Pages;
        QCOMPARE(pages->rowCount(), 3);
        QCOMPARE(w.sb_Main->panelText(3), QStringLiteral("3 files"));
        QVERIFY(QFile::exists(destination + '/' + pages->entry(2).caption));
        // The thumbnail is not blank paper: the colour pattern shows.
        QVERIFY(!pages->entry(0).thumbnail.allGray());
        QVERIFY(!w.imageList()->Action_Preview->isEnabled()); // nothing selected yet
        QVERIFY(w.imageList()->Action_PDF->isEnabled());
        screenshot("list");

        // F2 renames the page file on disk.
        const QString oldName = pages->entry(1).caption;
        list->setFocus();
        list->setCurrentIndex(pages->index(1));
        QTest::keyClick(list, Qt::Key_F2);
        QLineEdit *editor = list->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "Contract.bmp");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(pages->entry(1).caption, QStringLiteral("Contract.bmp"));
        QVERIFY(QFile::exists(destination + "/Contract.bmp"));
        QVERIFY(!QFile::exists(destination + '/' + oldName));

        // The preview opens at the remembered size.
        QSize shownSize;
        QTimer::singleShot(500, &preview, [&] {
            shownSize = preview.size();
            screenshot("preview");
            preview.reject();
        });
        w.imageList()->Action_PreviewExecute();
        QCOMPARE(shownSize, QSize(520, 640));

        // Save all to PDF: one page per entry, in list order, from the working copies.
        w.imageList()->Action_PDF->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.imageList()->pdfExportRunning(), Timeout);
        QVERIFY(QFile::exists(pdf));
        QVERIFY(PdfInspector::qpdfClean(pdf));
        QCOMPARE(PdfInspector::pageCount(pdf), 3);

        // Select all, Delete, Yes: every page file and working copy goes.
        QStringList copies;
        for (const PageEntry &page : pages->snapshot())
            copies << page.workingCopy;
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->selectionModel()->selectedIndexes().size(), 3);
        QTest::keyClick(list, Qt::Key_Delete);
        QTRY_COMPARE(pages->rowCount(), 0);
        QCOMPARE(w.sb_Main->panelText(3), QStringLiteral("0 files"));
        QVERIFY(QDir(destination).entryList(QDir::Files).isEmpty());
        for (const QString &copy : copies)
            QVERIFY(!QFile::exists(copy));
        QVERIFY(!w.imageList()->Action_PDF->isEnabled());
        // The save dialog and the delete question, nothing else.
        QCOMPARE(recorder.prompts.size(), 2);
        w.close();
    }
};

QTEST_MAIN(TestDemoScanner)
#include "tst_demoscanner.moc"
