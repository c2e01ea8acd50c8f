#pragma once

// A main window with an image list driven the way the page pipeline drives it:
// page files written into a scratch destination folder, BMP working copies into
// the test's TEMP, then FillImageList. Questions and dialogs are answered here.

#include "files/TempFolder.h"
#include "gallery/Tfrm_Preview.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageModel.h"
#include "scanner/NullTwainControl.h"
#include "settings/SettingsStore.h"
#include "support/PromptRecorder.h"
#include "support/TestFolders.h"
#include "widgets/UserPrompts.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class GalleryHarness
{
public:
    GalleryHarness()
    {
        if (!folders.setUp())
            qFatal("no scratch folder");
        destination = folders.dest;
        window = std::make_unique<Tfrm_Main>(new NullTwainControl);
        preview = new Tfrm_Preview(window.get());
        window->setWindows(nullptr, nullptr, preview);
        window->scanSettings()->edt_Destination->setText(destination);
        recorder.answer = QMessageBox::Yes;
    }
    ~GalleryHarness() { window.reset(); }
    Q_DISABLE_COPY_MOVE(GalleryHarness)

    // The case's own folder: settings, destination, TEMP and anything else.
    QDir scratch() const { return QDir(folders.dir->path()); }

    static QImage page(int w, int h, QRgb colour)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(colour);
        // A dark corner mark shows which way up a picture is.
        for (int y = 0; y < h / 4; ++y)
            for (int x = 0; x < w / 4; ++x)
                image.setPixel(x, y, qRgb(0, 0, 0));
        return image;
    }

    QString workingCopy(const QString &caption) const
    {
        return TempFolder::join(TempFolder::path(),
                                caption.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".bmp"));
    }
    QString pageFile(const QString &caption) const { return destination + '/' + caption; }

    // The page file keeps the format of its caption's extension (BMP when Qt has no
    // writer for it, as for a ".tif"-named BMP).
    bool addPage(const QString &caption, const QImage &image, const QByteArray &format = "BMP")
    {
        return image.save(pageFile(caption), format.constData()) &&
               image.save(workingCopy(caption), "BMP") &&
               window->imageList()->FillImageList(workingCopy(caption), image.width(),
                                                  image.height(), caption);
    }

    QListView *list() const { return window->imageList()->lv_Images; }
    int count() const { return window->imageList()->Pages->rowCount(); }
    QModelIndex index(int row) const { return window->imageList()->Pages->index(row); }
    QString caption(int row) const { return window->imageList()->Pages->entry(row).caption; }
    // "Save all to PDF" and the wait for its end; false if it did not end.
    bool exportPdf() const
    {
        window->imageList()->Action_PDFExecute();
        return QTest::qWaitFor([this] { return !window->imageList()->pdfExportRunning(); }, 60000);
    }
    // The page jobs (turns, renames, deletes) ended, their results listed; false
    // if they did not in time.
    bool pagesSettled(int timeout = 60000) const
    {
        return QTest::qWaitFor(
            [this] {
                const PageModel *pages = window->imageList()->Pages;
                for (int row = 0; row < pages->rowCount(); ++row) {
                    if (pages->isBusy(row))
                        return false;
                }
                return true;
            },
            timeout);
    }
    void select(int row) const
    {
        list()->selectionModel()->select(index(row), QItemSelectionModel::Select);
    }

    TestFolders folders;
    PromptRecorder recorder;
    QString destination;
    std::unique_ptr<Tfrm_Main> window;
    Tfrm_Preview *preview = nullptr;
    // What was asked, the button given, the file a save dialog answers with.
    QList<UserPrompts::Prompt> &prompts = recorder.prompts;
    QMessageBox::StandardButton &button = recorder.answer;
    QString &savePath = recorder.path;
    bool &option = recorder.option; // the save dialog's check box
};
