#include "GalleryTestSupport.h"
#include "gallery/PdfSaveDialog.h"
#include "pages/PageRecogniser.h"
#include "support/DocumentScan.h"
#include "support/PdfInspector.h"
#include "support/TextPage.h"

#include <QAction>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using PdfInspector::pageSizes;
using PdfInspector::qpdfClean;

QStringList jpegFilesIn(const QString &folder)
{
    return QDir(folder).entryList({"*.jpg", "*.jpeg"}, QDir::Files);
}

} // namespace

class TestPdfExport : public QObject
{
    Q_OBJECT

private slots:
    void pagesInListOrder()
    {
        GalleryHarness h;
        QVERIFY(h.addPage("a.bmp", GalleryHarness::page(300, 200, qRgb(200, 0, 0))));
        QVERIFY(h.addPage("b.jpg", GalleryHarness::page(150, 250, qRgb(0, 200, 0)), "JPG"));
        QVERIFY(h.addPage("c.bmp", GalleryHarness::page(100, 100, qRgb(0, 0, 200))));
        // A renamed entry still exports its working copy; its page file plays no part.
        QString name = QStringLiteral("renamed.bmp");
        h.window->imageList()->lv_ImagesEdited(h.index(2), name);
        QVERIFY(h.pagesSettled());
        QVERIFY(QFile::remove(h.pageFile(name)));

        const QString out = h.scratch().filePath("out.pdf");
        h.savePath = out;
        QVERIFY(h.exportPdf());
        QCOMPARE(h.prompts.size(), 1);
        QCOMPARE(h.prompts.at(0).kind, UserPrompts::Kind::SaveFile);
        // The first time in the destination folder, not the program's working folder.
        QCOMPARE(h.prompts.at(0).suggestedPath, h.pageFile(QStringLiteral("pagora.pdf")));
        QCOMPARE(h.prompts.at(0).filter, QStringLiteral("PDF files (*.pdf)"));
        QVERIFY(qpdfClean(out));
        QCOMPARE(pageSizes(out), (QList<QSize>{{300, 200}, {150, 250}, {100, 100}}));
        QVERIFY(jpegFilesIn(TempFolder::path()).isEmpty());

        // The last chosen name is offered next; Cancel writes nothing.
        h.savePath.clear();
        QVERIFY(QFile::remove(out));
        QVERIFY(h.exportPdf());
        QCOMPARE(h.prompts.at(1).suggestedPath, out);
        QVERIFY(!QFile::exists(out));
    }

    // Ctrl+Down on the first page makes it the second page of the PDF; Ctrl+Up
    // brings it back. The files keep their names. Ctrl+R turns the page.
    void reorderedAndTurnedPages()
    {
        GalleryHarness h;
        QVERIFY(h.addPage("a.bmp", GalleryHarness::page(300, 200, qRgb(200, 0, 0))));
        QVERIFY(h.addPage("b.bmp", GalleryHarness::page(150, 250, qRgb(0, 200, 0))));
        QVERIFY(h.addPage("c.bmp", GalleryHarness::page(100, 100, qRgb(0, 0, 200))));
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.list()->setFocus();
        h.list()->setCurrentIndex(h.index(0));
        QTest::keyClick(h.list(), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(h.caption(1), QStringLiteral("a.bmp"));
        QCOMPARE(h.window->imageList()->Pages->entry(1).pageFile, h.pageFile("a.bmp"));
        h.savePath = h.scratch().filePath("moved.pdf");
        QVERIFY(h.exportPdf());
        QCOMPARE(pageSizes(h.savePath), (QList<QSize>{{150, 250}, {300, 200}, {100, 100}}));

        h.window->activateWindow(); // the export's progress dialog had the focus
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.list()->setFocus();
        QTest::keyClick(h.list(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(h.caption(0), QStringLiteral("a.bmp"));
        QVERIFY(h.list()->selectionModel()->isSelected(h.index(0)));

        // Ctrl+R turns the selected page's file and its PDF page.
        QTest::keyClick(h.list(), Qt::Key_R, Qt::ControlModifier);
        QVERIFY(h.pagesSettled());
        QCOMPARE(QImage(h.pageFile("a.bmp")).size(), QSize(200, 300));
        QVERIFY(h.exportPdf());
        QCOMPARE(pageSizes(h.savePath), (QList<QSize>{{200, 300}, {150, 250}, {100, 100}}));
    }

    void manyPages()
    {
        GalleryHarness h;
        for (int i = 0; i < 120; ++i)
            QVERIFY(h.addPage(QStringLiteral("p%1.bmp").arg(i),
                              GalleryHarness::page(16 + i, 12, qRgb(i, 50, 90))));
        h.savePath = h.scratch().filePath("many.pdf");
        QVERIFY(h.exportPdf());
        QVERIFY(qpdfClean(h.savePath));
        const QList<QSize> sizes = pageSizes(h.savePath);
        QCOMPARE(sizes.size(), 120);
        QCOMPARE(sizes.first(), QSize(16, 12));
        QCOMPARE(sizes.last(), QSize(135, 12));
    }

    void failureWritesNothing()
    {
        GalleryHarness h;
        for (const char *name : {"a.bmp", "b.bmp", "c.bmp"})
            QVERIFY(h.addPage(QLatin1String(name), GalleryHarness::page(60, 40, qRgb(1, 2, 3))));
        QVERIFY(QFile::remove(h.workingCopy("b.bmp")));
        const QString folder = h.scratch().filePath("out");
        QVERIFY(QDir().mkpath(folder));
        h.savePath = folder + "/doc.pdf";
        const QStringList tempBefore = QDir(TempFolder::path()).entryList(QDir::Files);

        QVERIFY(h.exportPdf());
        QCOMPARE(h.prompts.size(), 2);
        QCOMPARE(h.prompts.at(1).icon, QMessageBox::Critical);
        QVERIFY2(h.prompts.at(1).text.contains(h.workingCopy("b.bmp")),
                 qPrintable(h.prompts.at(1).text));
        QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(QDir(TempFolder::path()).entryList(QDir::Files), tempBefore);

        // An existing document is left as it was.
        QVERIFY(GalleryHarness::page(2, 2, 0).save(h.savePath, "PNG"));
        const QByteArray before = [&] {
            QFile f(h.savePath);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QVERIFY(h.exportPdf());
        QFile after(h.savePath);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // A searchable PDF, asked for in the save dialog (off at first, then as last
    // chosen): the words of a text page are found; a page without text gets no text
    // layer and is no error.
    void searchable()
    {
        GalleryHarness h;
        QVERIFY(
            h.addPage("text.bmp",
                      textPage(QStringLiteral("Searchable pages help everyone"), 1600, 500).image));
        QVERIFY(h.addPage("plain.bmp", GalleryHarness::page(300, 200, qRgb(200, 0, 0))));
        h.savePath = h.scratch().filePath("searchable.pdf");
        h.option = true;
        QVERIFY(h.exportPdf());
        QCOMPARE(h.prompts.size(), 1);
        QCOMPARE(h.prompts.at(0).option, QStringLiteral("Searchable PDF (text recognition)"));
        QVERIFY(!h.prompts.at(0).optionChecked);
        QVERIFY(qpdfClean(h.savePath));
        const QString text = QString::fromUtf8(
            PdfInspector::runTool(QStringLiteral("pdftotext"), {h.savePath, QStringLiteral("-")})
                .out);
        for (const char *word : {"Searchable", "pages", "help", "everyone"})
            QVERIFY2(text.contains(QLatin1String(word)), qPrintable(text));
        QFile pdf(h.savePath);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.readAll().count("/Font << /F1 "), 1);

        h.savePath.clear(); // cancelled: the choice is offered again as it was
        QVERIFY(h.exportPdf());
        QVERIFY(h.prompts.at(1).optionChecked);
    }

    // The preferences, where they say it, set the check box at every opening and
    // choose the languages: one not installed is named and nothing is written.
    void searchableFromPreferences()
    {
        GalleryHarness h;
        QVERIFY(h.addPage("plain.bmp", GalleryHarness::page(300, 200, qRgb(200, 0, 0))));
        {
            SettingsStore store;
            store.WriteBool(SettingsStore::SearchablePdf, true);
            store.WriteString(SettingsStore::OcrLanguages, QStringLiteral("xyz+eng"));
        }
        h.savePath = h.scratch().filePath("preferred.pdf");
        h.option = true;
        QVERIFY(h.exportPdf());
        QCOMPARE(h.prompts.size(), 2);
        QVERIFY(h.prompts.at(0).optionChecked);
        QCOMPARE(h.prompts.at(1).icon, QMessageBox::Critical);
        QVERIFY2(h.prompts.at(1).text.contains(QLatin1String("'xyz'")),
                 qPrintable(h.prompts.at(1).text));
        QVERIFY(!QFile::exists(h.savePath));

        // Switched off in the preferences: off again, whatever was last chosen.
        SettingsStore().WriteBool(SettingsStore::SearchablePdf, false);
        h.savePath.clear();
        QVERIFY(h.exportPdf());
        QVERIFY(!h.prompts.at(2).optionChecked);
    }

    // The archival box under the chooser: as the preference says where it says it
    // (absent: off), otherwise as last chosen; ticked, the pages take their size
    // from their resolution and the document identifies itself as PDF/A.
    void archival_data()
    {
        QTest::addColumn<int>("stored");  // ArchivalPdf: -1 absent, 0 off, 1 on
        QTest::addColumn<bool>("shown");  // the box when the chooser opens
        QTest::addColumn<bool>("ticked"); // the box when the user confirms
        QTest::newRow("absent: off, left off") << -1 << false << false;
        QTest::newRow("absent: off, ticked") << -1 << false << true;
        QTest::newRow("stored on") << 1 << true << true;
        QTest::newRow("stored on, unticked for this file") << 1 << true << false;
        QTest::newRow("stored off") << 0 << false << false;
    }

    void archival()
    {
        QFETCH(int, stored);
        QFETCH(bool, shown);
        QFETCH(bool, ticked);
        GalleryHarness h;
        if (stored >= 0)
            SettingsStore().WriteBool(SettingsStore::ArchivalPdf, stored == 1);
        QImage scan = GalleryHarness::page(600, 300, qRgb(0, 90, 200));
        scan.setDotsPerMeterX(11811); // 300 dpi
        scan.setDotsPerMeterY(11811);
        QVERIFY(h.addPage("scan.bmp", scan));
        h.savePath = h.scratch().filePath("archive.pdf");
        h.recorder.secondOption = ticked;
        QVERIFY(h.exportPdf());

        QCOMPARE(h.prompts.size(), 1);
        QCOMPARE(h.prompts.at(0).secondOption, QStringLiteral("PDF/A (for archiving)"));
        QCOMPARE(h.prompts.at(0).secondOptionChecked, shown);
        QVERIFY(qpdfClean(h.savePath));
        const QString xmp = QString::fromUtf8(
            PdfInspector::runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), h.savePath})
                .out);
        QCOMPARE(xmp.contains(QLatin1String("<pdfaid:part>2</pdfaid:part>")), ticked);
        QCOMPARE(pageSizes(h.savePath), QList<QSize>{ticked ? QSize(144, 72) : QSize(600, 300)});

        // Without a preference the choice is offered again as made.
        h.savePath.clear();
        QVERIFY(h.exportPdf());
        QCOMPARE(h.prompts.at(1).secondOptionChecked, stored >= 0 ? stored == 1 : ticked);
    }

    // The compact box: off until first ticked, then as last chosen, remembered in
    // the preferences; ticked, a document page is stored as its layers (a
    // black-and-white stencil over the paper).
    void compact_data()
    {
        QTest::addColumn<int>("stored");  // CompactPdf: -1 absent, 0 off, 1 on
        QTest::addColumn<bool>("shown");  // the box when the chooser opens
        QTest::addColumn<bool>("ticked"); // the box when the user confirms
        QTest::newRow("absent: off, left off") << -1 << false << false;
        QTest::newRow("absent: off, ticked") << -1 << false << true;
        QTest::newRow("stored on") << 1 << true << true;
        QTest::newRow("stored on, unticked") << 1 << true << false;
    }

    void compact()
    {
        QFETCH(int, stored);
        QFETCH(bool, shown);
        QFETCH(bool, ticked);
        GalleryHarness h;
        if (stored >= 0)
            SettingsStore().WriteBool(SettingsStore::CompactPdf, stored == 1);
        QVERIFY(h.addPage("letter.bmp", DocumentScan::make(1240, 1600, 300).image));
        h.savePath = h.scratch().filePath("letter.pdf");
        h.recorder.thirdOption = ticked;
        QVERIFY(h.exportPdf());

        QCOMPARE(h.prompts.size(), 1);
        QVERIFY(!h.prompts.at(0).thirdOption.isEmpty());
        QCOMPARE(h.prompts.at(0).thirdOptionChecked, shown);
        QVERIFY(qpdfClean(h.savePath));
        const QList<PdfInspector::ListedImage> images = PdfInspector::listImages(h.savePath);
        const bool stencil =
            std::any_of(images.cbegin(), images.cend(), [](const PdfInspector::ListedImage &i) {
                return i.encoding == QLatin1String("ccitt") && i.color == QLatin1String("-");
            });
        QCOMPARE(stencil, ticked);

        bool value = false;
        const bool kept = SettingsStore().readBool(SettingsStore::CompactPdf, value);
        QCOMPARE(kept, stored >= 0 || ticked);
        QCOMPARE(value, kept && ticked);
        h.savePath.clear();
        QVERIFY(h.exportPdf());
        QCOMPARE(h.prompts.at(1).thirdOptionChecked, ticked);
    }

    // With recognition on in the preferences, listed pages are recognised in the
    // background; the export takes those words while the working copy is as it was
    // read and reads a changed one again.
    void recognisedInTheBackground()
    {
        GalleryHarness h;
        {
            SettingsStore store;
            store.WriteBool(SettingsStore::SearchablePdf, true);
            store.WriteString(SettingsStore::OcrLanguages, QStringLiteral("eng"));
        }
        PageRecogniser *recogniser = h.window->imageList()->Recogniser;
        recogniser->setLanguages(PdfSaveDialog::preferredRecognition());
        QCOMPARE(recogniser->languages(), QStringLiteral("eng"));
        QVERIFY(
            h.addPage("text.bmp",
                      textPage(QStringLiteral("Searchable pages help everyone"), 1600, 500).image));
        QVERIFY(h.addPage("plain.bmp", GalleryHarness::page(300, 200, qRgb(200, 0, 0))));
        QTRY_VERIFY_WITH_TIMEOUT(!recogniser->busy(), 60000);
        const PageModel &pages = *h.window->imageList()->Pages;
        QStringList read;
        for (const PdfWord &word : pages.entry(0).text.words)
            read << word.text;
        QVERIFY2(read.contains(QStringLiteral("everyone")), qPrintable(read.join(' ')));
        QCOMPARE(pages.entry(1).text.languages, QStringLiteral("eng"));
        QVERIFY(pages.entry(1).text.words.isEmpty()); // no text, no error

        // Words that only the kept result holds show that it is used.
        const QString plain = pages.entry(1).workingCopy;
        PageText kept = PageText::of(plain, QStringLiteral("eng"));
        kept.words = {{QStringLiteral("Zebra"), QRect(10, 10, 100, 40)}};
        h.window->imageList()->Pages->setText(plain, kept);
        const auto exportedText = [&h] {
            h.savePath = h.scratch().filePath("background.pdf");
            h.option = true;
            if (!h.exportPdf() || !qpdfClean(h.savePath))
                return QString();
            return QString::fromUtf8(PdfInspector::runTool(QStringLiteral("pdftotext"),
                                                           {h.savePath, QStringLiteral("-")})
                                         .out);
        };
        QString text = exportedText();
        QVERIFY2(text.contains(QLatin1String("Zebra")) && text.contains(QLatin1String("everyone")),
                 qPrintable(text));

        // The page's file changed since: read again, the kept words dropped.
        QFile file(plain);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(kept.fileTime.addSecs(10), QFileDevice::FileModificationTime));
        file.close();
        text = exportedText();
        QVERIFY2(!text.contains(QLatin1String("Zebra")) && text.contains(QLatin1String("everyone")),
                 qPrintable(text));
        QCOMPARE(h.prompts.size(), 2); // the save dialogs only
    }

    void cancelWritesNothing_data()
    {
        QTest::addColumn<bool>("searchable");
        QTest::newRow("plain") << false;
        QTest::newRow("searchable") << true;
    }

    void cancelWritesNothing()
    {
        QFETCH(bool, searchable);
        GalleryHarness h;
        for (int i = 0; i < 12; ++i)
            QVERIFY(h.addPage(QStringLiteral("p%1.bmp").arg(i),
                              GalleryHarness::page(1200, 1700, qRgb(i, 9, 9))));
        h.savePath = h.scratch().filePath("cancelled.pdf");
        h.option = searchable;
        // Cancel as soon as the progress dialog runs its loop.
        bool clicked = false;
        QTimer::singleShot(0, h.window.get(), [&h, &clicked] {
            auto *progress = h.window->findChild<QProgressDialog *>();
            auto *button =
                progress && progress->isVisible() ? progress->findChild<QPushButton *>() : nullptr;
            if (button) {
                button->click();
                clicked = true;
            }
        });
        QVERIFY(h.exportPdf());
        QVERIFY(clicked);              // the dialog was up with its Cancel button
        QCOMPARE(h.prompts.size(), 1); // the save dialog; no error box
        QVERIFY(!QFile::exists(h.savePath));
        QCOMPARE(QDir(h.scratch().path())
                     .entryList({"*.pdf*", ".*pdf*"}, QDir::Files | QDir::Hidden)
                     .size(),
                 0);
    }

    void emptyListDoesNothing()
    {
        GalleryHarness h;
        QVERIFY(h.exportPdf());
        QVERIFY(h.prompts.isEmpty());
    }
};

QTEST_MAIN(TestPdfExport)
#include "tst_pdfexport.moc"
