#include "mainwindow/PageAdder.h"

#include "files/TempFolder.h"
#include "pages/FreeSpace.h"
#include "pages/PageImporter.h"
#include "pages/PageStore.h"
#include "pages/WorkingCopies.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QWidget>

namespace {
// Steps of the progress bar for one file, shared among its pages.
constexpr int kSteps = 1000;
} // namespace

PageAdder::PageAdder(QWidget *window, PageStore *store)
    : QObject(window), m_window(window), m_store(store), m_importer(new PageImporter(this))
{
    connect(m_importer, &PageImporter::pagesRead, this, [this](const QList<PageEntry> &pages) {
        for (const PageEntry &page : pages) {
            // An added picture listed as it is has no copy of this run's.
            const bool ownCopy = !WorkingCopies::isOriginal(page);
            if (!m_store) {
                if (ownCopy)
                    WorkingCopies::remove(page.workingCopy, page.pageFile, TempFolder::path());
                continue;
            }
            // Made by this run: removed at close like a scanned page's copy.
            if (ownCopy)
                m_store->noteWorkingCopy(page.workingCopy);
            if (m_store->add(page))
                ++m_added;
        }
    });
    connect(m_importer, &PageImporter::fileRefused, this,
            [this](const QString &error) { m_refused.append(error); });
    connect(m_importer, &PageImporter::finished, this, &PageAdder::finished);
}

void PageAdder::run(const QString &startFolder)
{
    const QString folder = QFileInfo(startFolder).isDir() ? startFolder : QDir::homePath();
    const QStringList files = UserPrompts::openFiles(
        m_window, tr("Add files", "addFilesTitle"),
        tr("Images and PDF documents (*.bmp *.jpg *.jpeg *.png *.tif *.tiff *.pdf);;All files (*)",
           "addFilesFilter"),
        folder);
    add(files);
}

void PageAdder::add(const QStringList &files)
{
    if (files.isEmpty() || !m_store) {
        deleteLater();
        return;
    }
    // PDF pages and TIFF frames get compressed working copies: a full temporary
    // folder is said now (each file is checked whole again before it is read).
    const int pages = int(qMin(qsizetype(3), files.size()));
    const QString shortage = FreeSpace::shortfall(
        QString(), 0, TempFolder::path(), FreeSpace::importBytes(files, pages) / pages, pages);
    if (!shortage.isEmpty()) {
        UserPrompts::showError(m_window, shortage);
        deleteLater();
        return;
    }
    if (!m_importer->start(files, TempFolder::path())) {
        deleteLater();
        return;
    }
    m_progress =
        new QProgressDialog(tr("Adding files…", "addFilesProgress"), tr("Cancel", "addFilesCancel"),
                            0, int(files.size()) * kSteps, m_window);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(500);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, m_importer, &PageImporter::cancel);
    connect(m_importer, &PageImporter::progress, m_progress,
            [this](int done) { m_progress->setValue(done * kSteps); });
    // A long PDF moves the bar page by page.
    connect(m_importer, &PageImporter::pageProgress, m_progress,
            [this](int file, int done, int frames) {
                m_progress->setValue(file * kSteps + int(qint64(done) * kSteps / qMax(1, frames)));
            });
}

void PageAdder::finished(bool)
{
    if (m_progress)
        m_progress->deleteLater();
    if (!m_refused.isEmpty())
        UserPrompts::message(m_window, QMessageBox::Warning, QApplication::applicationDisplayName(),
                             m_refused.join(QLatin1Char('\n')));
    emit done(m_added);
    deleteLater();
}
