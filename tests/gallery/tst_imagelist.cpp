#include "GalleryTestSupport.h"
#include "files/LocalFileName.h"
#include "gallery/PageListView.h"
#include "i18n/TLangDispatcher.h"
#include "mainwindow/StatusPanelBar.h"
#include "ocr/PageStraightener.h"
#include "pages/Thumbnail.h"
#include "support/PdfInspector.h"
#include "support/PdfSamples.h"
#include "support/TextPage.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>
#include <cstdio>
#include <unistd.h>

class TestImageList : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TLangDispatcher::instance().setLanguage(QStringLiteral("English")); }

    void thumbnailsAndEntries()
    {
        GalleryHarness h;
        QCOMPARE(h.window->sb_Main->panelText(3), QString()); // empty until the first change
        QVERIFY(h.addPage(QStringLiteral("Pagora_1.bmp"),
                          GalleryHarness::page(248, 351, qRgb(200, 40, 40))));
        QVERIFY(h.addPage(QStringLiteral("Pagora_2.bmp"),
                          GalleryHarness::page(400, 300, qRgb(40, 200, 40))));
        QCOMPARE(h.count(), 2);
        QCOMPARE(h.caption(1), QStringLiteral("Pagora_2.bmp"));
        QCOMPARE(h.window->imageList()->Pages->entry(1).workingCopy,
                 h.workingCopy(QStringLiteral("Pagora_2.bmp")));
        QCOMPARE(h.window->imageList()->Pages->entry(1).pageFile,
                 h.pageFile(QStringLiteral("Pagora_2.bmp")));
        const QImage first = h.index(0).data(Qt::DecorationRole).value<QImage>();
        QCOMPARE(first.convertToFormat(QImage::Format_RGB32),
                 Thumbnail::fromImage(GalleryHarness::page(248, 351, qRgb(200, 40, 40)), 248, 351));

        // An unreadable working copy adds nothing.
        QVERIFY(!h.window->imageList()->FillImageList(h.workingCopy(QStringLiteral("missing.bmp")),
                                                      10, 10, QStringLiteral("missing.bmp")));
        QCOMPARE(h.count(), 2);
    }

    void fileCount_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("texts"); // after 1, 2, 3 pages, then 2 deleted, then 1
        QTest::newRow("English") << "English"
                                 << QStringList{"1 file", "2 files", "3 files", "1 file",
                                                "0 files"};
        QTest::newRow("Russian") << "Russian"
                                 << QStringList{
                                        QString::fromUtf8("1 файл"), QString::fromUtf8("2 файла"),
                                        QString::fromUtf8("3 файла"), QString::fromUtf8("1 файл"),
                                        QString::fromUtf8("0 файлов")};
    }
    void fileCount()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, texts);
        GalleryHarness h;
        QVERIFY(TLangDispatcher::instance().setLanguage(language) || language == "English");
        QVERIFY(!h.window->imageList()->Action_PDF->isEnabled());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(h.addPage(QStringLiteral("p%1.bmp").arg(i),
                              GalleryHarness::page(20, 20, qRgb(9, 9, 9))));
            QCOMPARE(h.window->sb_Main->panelText(3), texts.at(i));
            QVERIFY(h.window->imageList()->Action_PDF->isEnabled());
        }
        h.select(0);
        h.select(2);
        h.window->imageList()->Action_DeleteExecute();
        QVERIFY(h.pagesSettled());
        QCOMPARE(h.window->sb_Main->panelText(3), texts.at(3));
        h.select(0);
        h.window->imageList()->Action_DeleteExecute();
        QVERIFY(h.pagesSettled());
        QCOMPARE(h.window->sb_Main->panelText(3), texts.at(4));
        QVERIFY(!h.window->imageList()->Action_PDF->isEnabled());

        // The count follows a language switch.
        TLangDispatcher::instance().setLanguage(language == "English" ? "Russian" : "English");
        QCOMPARE(h.window->sb_Main->panelText(3),
                 language == "English" ? QString::fromUtf8("0 файлов") : QStringLiteral("0 files"));
    }

    void enablingFollowsLastSelectEvent()
    {
        GalleryHarness h;
        for (int i = 0; i < 3; ++i)
            QVERIFY(h.addPage(QStringLiteral("p%1.bmp").arg(i),
                              GalleryHarness::page(20, 20, qRgb(9, 9, 9))));
        const auto enabled = [&h] {
            const bool preview = h.window->imageList()->Action_Preview->isEnabled();
            if (h.window->imageList()->Action_Rename->isEnabled() != preview ||
                h.window->imageList()->Action_Delete->isEnabled() != preview)
                qFatal("the three actions disagree");
            return preview;
        };
        QVERIFY(!enabled());
        QItemSelectionModel *model = h.list()->selectionModel();
        model->select(h.list()->model()->index(0, 0), QItemSelectionModel::Select);
        QVERIFY(enabled());
        model->select(h.list()->model()->index(1, 0), QItemSelectionModel::Select);
        QVERIFY(enabled());
        // Two selected, one deselected (Ctrl+click): disabled though one is still selected.
        model->select(h.list()->model()->index(0, 0), QItemSelectionModel::Deselect);
        QCOMPARE(h.list()->selectionModel()->selectedIndexes().size(), 1);
        QVERIFY(!enabled());
        // A plain click elsewhere: the old one deselected, the new one selected.
        model->select(h.list()->model()->index(2, 0), QItemSelectionModel::ClearAndSelect);
        QVERIFY(enabled());
        model->clearSelection();
        QVERIFY(!enabled());
    }

    void rename_data()
    {
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("setup"); // "", "target exists", "file gone"
        QTest::addColumn<bool>("renamed");
        QTest::addColumn<QString>("refusal"); // the warning's text
        const QString gone = QStringLiteral(
            "It is impossible to rename file. May be file was already deleted or moved");
        const QString separator =
            QStringLiteral("It is impossible to rename file. A file name cannot contain \"/\".");
        const QString blank =
            QStringLiteral("It is impossible to rename file. The new name is empty.");
        QTest::newRow("new name") << "Invoice.bmp"
                                  << "" << true << "";
        QTest::newRow("case change") << "PAGE.bmp"
                                     << "" << true << "";
        QTest::newRow("same name") << "page.bmp"
                                   << "" << false << "";
        QTest::newRow("existing target")
            << "other.bmp"
            << "target exists" << false
            << "It is impossible to rename file. A file named other.bmp already exists.";
        QTest::newRow("file moved away") << "Invoice.bmp"
                                         << "file gone" << false << gone;
        QTest::newRow("path separator") << "../page.bmp"
                                        << "" << false << separator;
        QTest::newRow("into a subfolder") << "sub/page.bmp"
                                          << "subfolder" << false << separator;
        QTest::newRow("empty") << ""
                               << "" << false << blank;
        QTest::newRow("blanks only") << "   "
                                     << "" << false << blank;
        // The page files went to the trimmed folder; blanks around it must not matter.
        QTest::newRow("destination typed with blanks") << "Invoice.bmp"
                                                       << "blanks" << true << "";
        // The entry keeps its own folder: a changed Destination field changes nothing.
        QTest::newRow("destination changed since") << "Invoice.bmp"
                                                   << "other destination" << true << "";
    }
    void rename()
    {
        QFETCH(QString, newName);
        QFETCH(QString, setup);
        QFETCH(bool, renamed);
        QFETCH(QString, refusal);
        GalleryHarness h;
        const QString old = QStringLiteral("page.bmp");
        QVERIFY(h.addPage(old, GalleryHarness::page(30, 20, qRgb(1, 2, 3))));
        if (setup == "target exists")
            QVERIFY(QFile(h.pageFile(old)).copy(h.pageFile(newName)));
        if (setup == "file gone")
            QVERIFY(QFile::remove(h.pageFile(old)));
        if (setup == "subfolder")
            QVERIFY(QDir(h.destination).mkdir("sub"));
        if (setup == "blanks")
            h.window->scanSettings()->edt_Destination->setText(QStringLiteral(" ") + h.destination +
                                                               QStringLiteral("  "));
        if (setup == "other destination")
            h.window->scanSettings()->edt_Destination->setText(h.scratch().path());

        QString text = newName;
        h.window->imageList()->lv_ImagesEdited(h.index(0), text);
        QVERIFY(h.pagesSettled());
        const bool warned = !h.prompts.isEmpty();
        QCOMPARE(h.caption(0), renamed ? newName : old);
        QCOMPARE(QFile::exists(h.pageFile(newName)) && !QFile::exists(h.pageFile(old)), renamed);
        QCOMPARE(warned, !refusal.isEmpty());
        if (warned) {
            QCOMPARE(h.prompts.at(0).icon, QMessageBox::Warning);
            QCOMPARE(h.prompts.at(0).title, QStringLiteral("File rename"));
            QCOMPARE(h.prompts.at(0).text, refusal);
        }
        if ((setup.isEmpty() || setup == "blanks") && !renamed)
            QVERIFY(QFile::exists(h.pageFile(old))); // nothing lost, nothing moved
        // The working copy keeps its name.
        QVERIFY(QFile::exists(h.workingCopy(old)));
    }

    // The list's own gesture: F2, type, Enter; and the command, which edits the
    // first selected entry.
    void renameInPlace()
    {
        GalleryHarness h;
        QVERIFY(h.addPage(QStringLiteral("a.bmp"), GalleryHarness::page(30, 20, qRgb(1, 2, 3))));
        QVERIFY(h.addPage(QStringLiteral("b.bmp"), GalleryHarness::page(30, 20, qRgb(1, 2, 3))));
        h.window->show();
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.list()->setFocus();
        h.list()->setCurrentIndex(h.index(1));
        QTest::keyClick(h.list(), Qt::Key_F2);
        auto *editor = h.list()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QVERIFY(editor->hasFocus());
        // Delete in the editor edits the text; it does not delete pages.
        editor->setCursorPosition(0);
        QTest::keyClick(editor, Qt::Key_Delete);
        QCOMPARE(editor->text(), QStringLiteral(".bmp"));
        QVERIFY(h.prompts.isEmpty());
        editor->setText(QStringLiteral("Renamed.bmp"));
        QTest::keyClick(editor, Qt::Key_Return); // commits on the next turn of the loop
        QTRY_COMPARE(h.caption(1), QStringLiteral("Renamed.bmp"));
        QVERIFY(QFile::exists(h.pageFile("Renamed.bmp")));
        QVERIFY(!QFile::exists(h.pageFile("b.bmp")));

        // Refused: the caption stays.
        h.select(0);
        h.select(1);
        h.window->imageList()->Action_RenameExecute();
        QTRY_VERIFY(h.list()->findChild<QLineEdit *>());
        editor = h.list()->findChild<QLineEdit *>();
        QCOMPARE(editor->text(), QStringLiteral("a.bmp"));
        editor->setText(QStringLiteral("Renamed.bmp"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(h.prompts.size(), 1);
        QCOMPARE(h.caption(0), QStringLiteral("a.bmp"));
        h.window->close();
    }

    void deleteSelection()
    {
        GalleryHarness h;
        for (const char *name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
            QVERIFY(h.addPage(QLatin1String(name), GalleryHarness::page(30, 20, qRgb(1, 2, 3))));
        for (int row : {0, 1, 2})
            h.select(row);

        h.button = QMessageBox::No;
        h.window->imageList()->Action_DeleteExecute();
        QCOMPARE(h.count(), 4);
        QVERIFY(QFile::exists(h.pageFile("a.bmp")));

        // A file of the same name in the folder the field names now is not touched.
        const QString decoy = h.scratch().filePath(QStringLiteral("a.bmp"));
        QVERIFY(QFile::copy(h.pageFile("a.bmp"), decoy));
        h.window->scanSettings()->edt_Destination->setText(h.scratch().path());

        // The middle page file was removed outside the program.
        QVERIFY(QFile::remove(h.pageFile("b.bmp")));
        h.button = QMessageBox::Yes;
        h.prompts.clear();
        h.window->imageList()->Action_DeleteExecute();
        QVERIFY(h.pagesSettled());
        QCOMPARE(h.prompts.size(), 1); // one question for the whole selection
        QCOMPARE(h.prompts.at(0).text, QStringLiteral("Do you want to delete this image?"));
        QCOMPARE(h.prompts.at(0).title, QStringLiteral("Image deleting"));
        QCOMPARE(h.prompts.at(0).buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(h.count(), 1);
        QCOMPARE(h.caption(0), QStringLiteral("d.bmp"));
        for (const char *name : {"a.bmp", "c.bmp"}) {
            QVERIFY(!QFile::exists(h.pageFile(QLatin1String(name))));
            QVERIFY(!QFile::exists(h.workingCopy(QLatin1String(name))));
        }
        // Its page file was removed from outside: nothing is left to keep the copy for.
        QVERIFY(!QFile::exists(h.workingCopy("b.bmp")));
        QVERIFY(QFile::exists(h.pageFile("d.bmp")));
        QVERIFY(QFile::exists(decoy));
        QCOMPARE(h.window->sb_Main->panelText(3), QStringLiteral("1 file"));
        QVERIFY(!h.window->imageList()->Action_Delete->isEnabled()); // nothing is selected now

        // Nothing selected: no question.
        h.prompts.clear();
        h.window->imageList()->Action_DeleteExecute();
        QVERIFY(h.prompts.isEmpty());
    }

    // File, "Add files..." and files dropped on the list from a file manager take
    // one way: the files are listed in order, every page of a PDF included, a
    // damaged one is named in a warning, the delete question says the originals
    // stay, and deleting added pages leaves their originals as they were.
    void addFilesFromTheMenuOrADrop_data()
    {
        QTest::addColumn<bool>("drop");
        QTest::newRow("menu") << false;
        QTest::newRow("drop on the list") << true;
    }
    void addFilesFromTheMenuOrADrop()
    {
        QFETCH(bool, drop);
        GalleryHarness h;
        const QString jpeg = h.scratch().filePath(QStringLiteral("receipt.jpg"));
        const QString png = h.scratch().filePath(QStringLiteral("note.png"));
        const QString pdf = h.scratch().filePath(QStringLiteral("letter.pdf"));
        const QString broken = h.scratch().filePath(QStringLiteral("broken.jpg"));
        QVERIFY(GalleryHarness::page(60, 40, qRgb(200, 0, 0)).save(jpeg));
        QVERIFY(GalleryHarness::page(30, 50, qRgb(0, 0, 200)).save(png));
        QVERIFY(PdfSamples::writePages(pdf, {{72, 72}, {72, 72}, {72, 72}}));
        QFile cut(broken);
        QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write("\xFF\xD8\xFF\xE0", 4) == 4);
        cut.close();
        const auto bytes = [](const QString &path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        // A name the file system holds that is not UTF-8 (from an older system).
        const QByteArray latinName = QFile::encodeName(h.scratch().path()) + "/caf\xe9.jpg";
        const QString latin = LocalFileName::decode(latinName);
        QVERIFY(GalleryHarness::page(20, 20, qRgb(0, 200, 0))
                    .save(h.scratch().filePath(QStringLiteral("plain.jpg"))));
        QCOMPARE(::rename(QFile::encodeName(h.scratch().filePath(QStringLiteral("plain.jpg"))),
                          latinName.constData()),
                 0);
        const auto removeLatin = qScopeGuard([&latinName] { ::unlink(latinName.constData()); });
        const QByteArray jpegBefore = bytes(jpeg);
        const QByteArray pdfBefore = bytes(pdf);
        QVERIFY(h.addPage(QStringLiteral("scan.bmp"), GalleryHarness::page(40, 40, qRgb(9, 9, 9))));

        const QStringList files{jpeg, broken, pdf, png, latin};
        if (drop) {
            QMimeData mime;
            QList<QUrl> urls;
            for (const QString &file : files.mid(0, 4))
                urls.append(QUrl::fromLocalFile(file));
            // As a file manager sends it: the name's bytes, percent-encoded.
            urls.append(QUrl::fromEncoded("file://" + latinName.toPercentEncoding("/")));
            urls.append(QUrl(QStringLiteral("https://example.org/remote.jpg"))); // not local
            mime.setUrls(urls);
            const QPoint at = h.list()->viewport()->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(h.list()->viewport(), &enter);
            QVERIFY(enter.isAccepted());
            QCOMPARE(enter.dropAction(), Qt::CopyAction);
            QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                               Qt::NoModifier);
            QCoreApplication::sendEvent(h.list()->viewport(), &dropped);
            QVERIFY(dropped.isAccepted());
        } else {
            h.recorder.paths = files;
            h.window->ActionAddFiles->trigger();
        }
        QTRY_VERIFY(!h.prompts.isEmpty() && h.prompts.last().icon == QMessageBox::Warning);
        if (!drop) {
            QCOMPARE(h.prompts.first().kind, UserPrompts::Kind::OpenFiles);
            QCOMPARE(h.prompts.first().startFolder, h.destination);
        }
        QCOMPARE(h.prompts.size(), drop ? 1 : 2); // a drop asks for nothing
        QVERIFY2(h.prompts.last().text.contains(QStringLiteral("broken.jpg")),
                 qPrintable(h.prompts.last().text));
        QStringList listed;
        for (int row = 0; row < h.count(); ++row)
            listed.append(h.caption(row));
        QCOMPARE(listed, QStringList({"scan.bmp", "receipt.jpg", "letter.pdf (1)", "letter.pdf (2)",
                                      "letter.pdf (3)", "note.png", latin.section('/', -1)}));

        // "Save all to PDF" takes the added pages with the scanned one.
        h.savePath = h.scratch().filePath(QStringLiteral("all.pdf"));
        QVERIFY(h.exportPdf());
        QCOMPARE(PdfInspector::pageCount(h.savePath), 7);

        // The question for a scanned page is as it always was; for added pages it
        // says their originals stay.
        h.button = QMessageBox::No;
        const QString question = QStringLiteral("Do you want to delete this image?");
        const QList<QPair<QList<int>, QString>> asked{
            {{0}, question},
            {{2, 3},
             question + "\nThe original file " + QDir::toNativeSeparators(pdf) +
                 " stays untouched: only the list entry and this program's own copy are deleted."},
            {{0, 1, 4},
             question + "\nThe original files of the added pages stay untouched: only the list "
                        "entries and this program's own copies are deleted."}};
        for (const auto &[rows, text] : asked) {
            h.list()->clearSelection();
            for (int row : rows)
                h.select(row);
            h.prompts.clear();
            h.window->imageList()->Action_DeleteExecute();
            QCOMPARE(h.prompts.size(), 1);
            QCOMPARE(h.prompts.first().text, text);
            QCOMPARE(h.count(), 7);
        }

        h.list()->clearSelection();
        for (int row : {1, 2, 3})
            h.select(row);
        h.button = QMessageBox::Yes;
        h.window->imageList()->Action_DeleteExecute();
        QVERIFY(h.pagesSettled());
        QCOMPARE(h.count(), 4);
        QCOMPARE(bytes(jpeg), jpegBefore);
        QCOMPARE(bytes(pdf), pdfBefore);
    }

    // The closing message names every page whose working copy is all that is left
    // of it (which copies go is the page store's test).
    // "Turn upright" and "Straighten" from the list: measured off the UI thread,
    // then both files turned; a page without text stays as it was.
    void turnUprightAndStraighten_data()
    {
        QTest::addColumn<double>("fed"); // clockwise degrees the page was fed at
        QTest::addColumn<bool>("text");
        QTest::addColumn<bool>("upright"); // "Turn upright", else "Straighten"
        QTest::newRow("sideways, turned upright") << 90.0 << true << true;
        QTest::newRow("tilted, straightened") << 3.0 << true << false;
        QTest::newRow("blank, left alone") << 90.0 << false << true;
    }
    void turnUprightAndStraighten()
    {
        QFETCH(double, fed);
        QFETCH(bool, text);
        QFETCH(bool, upright);
        GalleryHarness h;
        const QImage drawn = textPage(text ? pageOfWords() : QString(), 2480, 3508).image;
        const QImage page = fedTurned(drawn, fed).convertToFormat(QImage::Format_Grayscale8);
        QVERIFY(h.addPage(QStringLiteral("fed.bmp"), page));
        const QString pageFile = h.pageFile(QStringLiteral("fed.bmp"));
        const QString copy = h.window->imageList()->Pages->entry(0).workingCopy;
        QVERIFY(copy != pageFile);
        h.select(0);
        QAction *command = upright ? h.window->imageList()->Action_TurnUpright
                                   : h.window->imageList()->Action_Straighten;
        QVERIFY(command->isEnabled());
        command->trigger();
        // The window takes events while the page is measured and turned, and shows it busy.
        QVERIFY(h.index(0).data(PageModel::BusyRole).toBool());
        QVERIFY(h.pagesSettled());
        QVERIFY(h.prompts.isEmpty());

        const QSize size = text ? drawn.size() : page.size();
        QCOMPARE(h.window->imageList()->Pages->entry(0).size, size);
        PageStraightener straightener;
        QVERIFY(straightener.init());
        for (const QString &file : {pageFile, copy}) {
            const QImage now(file);
            QCOMPARE(now.size(), size);
            PageCorrection left;
            straightener.measure(now, true, true, &left);
            QCOMPARE(PageStraightener::turnsToApply(left), 0);
            QVERIFY2(qAbs(left.skewDegrees) < 0.3, qPrintable(QString::number(left.skewDegrees)));
        }
    }

    // Thumbnail sizes: how the user asks (wheel, keys, context menu), a sequence
    // of steps (0: back to the usual size), the cell shown; then a value edited
    // by hand into the settings and what the next run shows.
    void thumbnailSize_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<QSize>("cell");
        QTest::addColumn<QString>("edited"); // written over the stored value; "" = none
        QTest::addColumn<QSize>("restored");
        const QSize usual(100, 75);
        QTest::newRow("usual size by default") << "keys" << QList<int>{} << usual << "" << usual;
        QTest::newRow("none smaller") << "keys" << QList<int>{-1} << usual << "" << usual;
        QTest::newRow("one wheel notch")
            << "wheel" << QList<int>{1} << QSize(160, 120) << "" << QSize(160, 120);
        QTest::newRow("Ctrl++ twice")
            << "keys" << QList<int>{1, 1} << QSize(200, 150) << "" << QSize(200, 150);
        QTest::newRow("menu past the largest")
            << "menu" << QList<int>{1, 1, 1, 1, 1, 1} << QSize(400, 300) << "" << QSize(400, 300);
        QTest::newRow("wheel up and one back")
            << "wheel" << QList<int>{5, -1} << QSize(300, 225) << "" << QSize(300, 225);
        QTest::newRow("Ctrl+0 to the usual size")
            << "keys" << QList<int>{1, 1, 1, 0} << usual << "" << usual;
        QTest::newRow("edited between steps")
            << "menu" << QList<int>{} << usual << "270" << QSize(300, 225);
        QTest::newRow("edited too large")
            << "menu" << QList<int>{1} << QSize(160, 120) << "9000" << usual;
        QTest::newRow("edited not a number")
            << "wheel" << QList<int>{1} << QSize(160, 120) << "big" << usual;
    }
    void thumbnailSize()
    {
        QFETCH(QString, input);
        QFETCH(QList<int>, steps);
        QFETCH(QSize, cell);
        QFETCH(QString, edited);
        QFETCH(QSize, restored);
        GalleryHarness h;
        const QImage picture = GalleryHarness::page(248, 351, qRgb(200, 40, 40));
        QVERIFY(h.addPage(QStringLiteral("Pagora_1.bmp"), picture));
        // A page neither of whose files could be written: its picture is the held image.
        PageEntry held;
        held.caption = QStringLiteral("held.png");
        held.pageFile = h.pageFile(held.caption);
        held.size = QSize(400, 300);
        held.image = GalleryHarness::page(400, 300, qRgb(40, 40, 200));
        held.pageFileWritten = false;
        held.thumbnail = Thumbnail::fromImage(held.image, 400, 300);
        h.window->imageList()->FillImageList(held);
        QCOMPARE(h.count(), 2);

        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        auto *list = qobject_cast<PageListView *>(h.list());
        QVERIFY(list);
        list->setFocus();
        QAction *sizeMenu = nullptr;
        for (QAction *a : list->actions()) {
            if (a->menu() && a->menu()->actions().contains(list->Action_ZoomIn))
                sizeMenu = a;
        }
        QVERIFY(sizeMenu); // in the list's context menu
        for (int step : steps) {
            if (input == "wheel" && step != 0) {
                QWheelEvent wheel(QPointF(10, 10), list->viewport()->mapToGlobal(QPointF(10, 10)),
                                  {}, QPoint(0, 120 * step), Qt::NoButton, Qt::ControlModifier,
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(list->viewport(), &wheel);
            } else if (input == "menu" || input == "wheel") {
                QAction *a = step > 0   ? list->Action_ZoomIn
                             : step < 0 ? list->Action_ZoomOut
                                        : list->Action_ZoomReset;
                a->trigger();
            } else {
                QTest::keyClick(list,
                                step > 0   ? Qt::Key_Plus
                                : step < 0 ? Qt::Key_Minus
                                           : Qt::Key_0,
                                Qt::ControlModifier);
            }
        }
        QCOMPARE(list->thumbnailCell(), cell);
        QCOMPARE(list->iconSize(), cell);

        // Both pages made again at the new size, sharp for this screen.
        const qreal ratio = list->devicePixelRatioF();
        const QSize pixels = Thumbnail::devicePixels(cell, ratio);
        QTRY_VERIFY(!h.window->imageList()->Pages->remakingThumbnails());
        const QImage made = h.index(0).data(Qt::DecorationRole).value<QImage>();
        QCOMPARE(made.devicePixelRatio(), ratio);
        QCOMPARE(made.convertToFormat(QImage::Format_RGB32),
                 Thumbnail::fromImage(picture, 248, 351, pixels));
        const QImage heldMade = h.index(1).data(Qt::DecorationRole).value<QImage>();
        QCOMPARE(heldMade.size(), pixels);
        // The middle of a landscape page fills the cell's middle.
        QCOMPARE(heldMade.pixel(pixels.width() / 2, pixels.height() / 2), qRgb(40, 40, 200));
        // The cells follow: the picture fits, and there is no room for the next size.
        QTRY_VERIFY(list->visualRect(h.index(0)).width() >= cell.width());
        QVERIFY(list->visualRect(h.index(0)).width() < cell.width() + 60);

        // Stored only when the user changed it: the usual size leaves no value behind.
        int stored = 0;
        const bool changed = cell != QSize(100, 75) || steps.contains(0);
        QCOMPARE(SettingsStore().readInteger(SettingsStore::ThumbnailWidth, stored), changed);
        if (changed)
            QCOMPARE(stored, cell.width());
        if (!edited.isEmpty())
            SettingsStore().WriteString(SettingsStore::ThumbnailWidth, edited);
        PageListView nextRun;
        QCOMPARE(nextRun.thumbnailCell(), restored);
    }

    void closeCleanUp_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("page file not written") << "page file failed";
        QTest::newRow("page file removed outside") << "removed outside";
    }
    void closeCleanUp()
    {
        QFETCH(QString, kind);
        GalleryHarness h;
        QVERIFY(h.addPage(QStringLiteral("a.bmp"), GalleryHarness::page(30, 20, qRgb(1, 2, 3))));
        QVERIFY(
            h.addPage(QStringLiteral("b.jpg"), GalleryHarness::page(30, 20, qRgb(1, 2, 3)), "JPG"));
        QString onlyCopy = h.workingCopy(QStringLiteral("b.jpg"));
        if (kind == "page file failed") {
            PageEntry failed;
            failed.caption = QStringLiteral("c.jpg");
            failed.pageFile = h.pageFile(failed.caption);
            failed.workingCopy = onlyCopy = h.workingCopy(failed.caption);
            failed.pageFileWritten = false;
            failed.pageFileError = QStringLiteral("disk full");
            QVERIFY(GalleryHarness::page(30, 20, qRgb(1, 2, 3)).save(failed.workingCopy, "BMP"));
            h.window->imageList()->Pages->noteWorkingCopy(failed.workingCopy);
            h.window->imageList()->FillImageList(failed);
            QCOMPARE(h.index(2).data(Qt::ToolTipRole).toString(), QStringLiteral("disk full"));
        } else {
            QVERIFY(QFile::remove(h.pageFile("b.jpg")));
        }
        h.window->FormClose();

        QVERIFY(QFile::exists(h.pageFile("a.bmp")));
        QVERIFY(!QFile::exists(h.workingCopy("a.bmp")));
        QVERIFY(QFile::exists(onlyCopy));
        QCOMPARE(h.prompts.size(), 1); // where the page is, said once
        QVERIFY2(h.prompts.at(0).text.contains(QDir::toNativeSeparators(onlyCopy)),
                 qPrintable(h.prompts.at(0).text));
        QString stored;
        QVERIFY(SettingsStore().readString(SettingsStore::Destination, stored)); // saved first
        QCOMPARE(stored, h.destination);
    }
};

QTEST_MAIN(TestImageList)
#include "tst_imagelist.moc"
