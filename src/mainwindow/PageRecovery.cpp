#include "mainwindow/PageRecovery.h"

#include "pages/GalleryLog.h"
#include "pages/StaleJournals.h"
#include "pages/Thumbnail.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>
#include <QWidget>

namespace {

QString samePath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

PageRecovery::PageRecovery(QWidget *window) : QObject(window), m_window(window)
{
}

PageRecovery::~PageRecovery()
{
    // The worker only reads files; it ends on its own and is waited for here.
    if (m_worker)
        m_worker->wait();
}

void PageRecovery::offer(const QString &folder)
{
    if (m_journals)
        return; // already offering
    m_journals = std::make_unique<StaleJournals>(folder);
    const int pages = int(m_journals->pages().size());
    const int damaged = m_journals->damagedLines();
    if (pages == 0 && damaged == 0) {
        // Closed between its last delete and its close: nothing to offer.
        m_journals->remove();
        m_journals.reset();
        return;
    }
    QString text = tr("The program did not close normally last time. Pages of that session "
                      "that can be listed again: %1.",
                      "recoveryQuestion")
                       .arg(pages);
    if (damaged > 0)
        text += QLatin1String("\n\n") +
                tr("Lines of its page journal that could not be read and were skipped: %1.",
                   "recoveryDamagedLines")
                    .arg(damaged);
    const QMessageBox::StandardButton answer = UserPrompts::message(
        m_window, QMessageBox::Question, QApplication::applicationDisplayName(), text,
        pages > 0 ? QMessageBox::Yes | QMessageBox::Discard | QMessageBox::Cancel
                  : QMessageBox::Discard | QMessageBox::Cancel,
        {{QMessageBox::Yes, tr("List them again", "recoveryList")},
         {QMessageBox::Discard, tr("Delete them", "recoveryDelete")},
         {QMessageBox::Cancel, tr("Later", "recoveryLater")}});
    if (answer == QMessageBox::Yes && pages > 0)
        listAgain();
    else if (answer == QMessageBox::Discard)
        deleteCopies();
    else
        m_journals.reset(); // asked again at the next start
}

void PageRecovery::deleteCopies()
{
    const QString text =
        tr("Delete the working copies of these %1 pages? Pages whose page file is missing "
           "exist nowhere else and are lost.",
           "recoveryConfirmDelete")
            .arg(m_journals->pages().size());
    if (!m_journals->pages().isEmpty() &&
        UserPrompts::message(m_window, QMessageBox::Warning, QApplication::applicationDisplayName(),
                             text, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        m_journals.reset();
        return;
    }
    for (const PageEntry &page : m_journals->pages()) {
        // A working copy that is the page file itself is the user's file.
        if (samePath(page.workingCopy) != samePath(page.pageFile))
            QFile::remove(page.workingCopy);
    }
    m_journals->remove();
    m_journals.reset();
}

bool PageRecovery::prepare(PageEntry &page)
{
    const bool pageFileThere = QFileInfo(page.pageFile).isFile();
    if (!QFileInfo(page.workingCopy).isFile()) {
        // Without a working copy the page file serves the thumbnail and the PDF.
        if (!pageFileThere)
            return false;
        page.workingCopy = page.pageFile;
    }
    if (!pageFileThere) {
        page.pageFileWritten = false;
        page.pageFileError = tr("The page file %1 does not exist.", "recoveredPageFileMissing")
                                 .arg(QDir::toNativeSeparators(page.pageFile));
    }
    if (!page.size.isValid())
        page.size = QImageReader(page.workingCopy).size();
    QString error;
    page.thumbnail =
        Thumbnail::fromFile(page.workingCopy, page.size.width(), page.size.height(), &error);
    if (page.thumbnail.isNull()) {
        qCWarning(lcGallery) << "recovered page" << page.caption << "unreadable:" << error;
        return false;
    }
    return true;
}

void PageRecovery::listAgain()
{
    const QList<PageEntry> pages = m_journals->pages();
    auto prepared = std::make_shared<QList<PageEntry>>();
    auto lost = std::make_shared<int>(0);
    m_worker = QThread::create([pages, prepared, lost] {
        for (PageEntry page : pages) {
            if (prepare(page))
                prepared->append(page);
            else
                ++*lost;
        }
    });
    m_worker->setParent(this);
    // Queued to this thread: the worker has ended when the results are read.
    connect(m_worker, &QThread::finished, this, [this, prepared, lost] {
        m_worker->deleteLater();
        listPrepared(*prepared, *lost);
    });
    m_worker->start();
}

void PageRecovery::listPrepared(const QList<PageEntry> &pages, int lost)
{
    emit pagesRecovered(pages);
    // Listed, and so in this run's journal: the old journals are done with.
    m_journals->remove();
    m_journals.reset();
    if (lost > 0)
        UserPrompts::message(
            m_window, QMessageBox::Warning, QApplication::applicationDisplayName(),
            tr("Pages that could not be listed again because their files are gone or "
               "unreadable: %1.",
               "recoveryLost")
                .arg(lost),
            QMessageBox::Ok);
}
