#include "pages/PageStore.h"

#include "files/TempFolder.h"
#include "pages/GalleryLog.h"
#include "pages/PageJournal.h"
#include "pages/PageReservations.h"
#include "pages/StaleJournals.h"
#include "pages/Thumbnail.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>

namespace {

bool samePath(const QString &a, const QString &b)
{
    return PageReservations::key(a) == PageReservations::key(b);
}

} // namespace

PageStore::PageStore(QObject *parent) : PageStore(TempFolder::path(), parent)
{
}

PageStore::PageStore(const QString &journalFolder, QObject *parent)
    : QObject(parent), m_model(new PageModel(this)), m_journalFolder(journalFolder),
      m_journal(std::make_shared<PageJournal>(journalFolder)),
      m_reservations(std::make_shared<PageReservations>())
{
    // Changes made through the model itself (a drop in the view) are journalled too.
    const auto changed = [this] {
        if (!m_quiet)
            journalAll();
    };
    connect(m_model, &QAbstractItemModel::rowsMoved, this, changed);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, changed);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(m_model, &QAbstractItemModel::dataChanged, this, changed);
}

PageStore::~PageStore()
{
    // The worker only reads files; it ends on its own.
    if (m_recoveryWorker)
        m_recoveryWorker->wait();
    m_journal->remove();
}

bool PageStore::add(const PageEntry &entry)
{
    if (m_closed)
        return false;
    // On the disk before the list shows it: after a crash it can come back. A
    // page held in memory has no file a journal could bring back.
    if (!entry.heldInMemory() && !m_journal->listed(entry) && !m_journal->append(entry))
        reportJournalFailure();
    m_model->append(entry);
    release(entry.pageFile);
    release(entry.workingCopy);
    return true;
}

bool PageStore::isReserved(const QString &path) const
{
    if (m_reservations->contains(path))
        return true;
    // A page whose page file failed lives on in its working copy alone.
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (samePath(m_model->entry(row).workingCopy, path))
            return true;
    }
    return false;
}

void PageStore::reserve(const QString &path)
{
    m_reservations->reserve(path);
}

void PageStore::release(const QString &path)
{
    m_reservations->release(path);
}

void PageStore::noteWorkingCopy(const QString &path)
{
    m_model->noteWorkingCopy(path);
}

QStringList PageStore::close()
{
    if (m_closed)
        return {};
    m_closed = true;
    const QStringList kept = m_model->cleanUp();
    // A normal close: nothing to offer back at the next start.
    m_journal->remove();
    return kept;
}

PageModel::RenameResult PageStore::rename(int row, const QString &newCaption,
                                          PageModel::Refusal *why, QString *systemReason)
{
    if (row >= 0 && row < m_model->rowCount() && newCaption != m_model->entry(row).caption &&
        !newCaption.trimmed().isEmpty()) {
        // A page still being written has the name: its commit would find it taken.
        const QString target = QFileInfo(m_model->entry(row).pageFile).dir().filePath(newCaption);
        if (m_reservations->contains(target)) {
            if (why)
                *why = PageModel::Refusal::Taken;
            return PageModel::RenameResult::Refused;
        }
    }
    return m_model->rename(row, newCaption, why, systemReason);
}

void PageStore::remove(const QList<int> &rows)
{
    m_quiet = true;
    m_model->deletePages(rows);
    m_quiet = false;
    journalAll();
}

QList<int> PageStore::move(const QList<int> &rows, int step)
{
    m_quiet = true;
    const QList<int> moved = m_model->shiftRows(rows, step);
    m_quiet = false;
    journalAll();
    return moved;
}

QList<int> PageStore::arrange(const QList<int> &rows, PageOrder::Arrangement arrangement)
{
    m_quiet = true;
    const QList<int> places = m_model->arrange(rows, arrangement);
    m_quiet = false;
    if (!places.isEmpty())
        journalAll();
    return places;
}

QStringList PageStore::saveToFolder(const QList<int> &rows, const QString &folder)
{
    QStringList failures;
    m_quiet = true;
    for (int row : rows) {
        QString error;
        if (!m_model->saveToFolder(
                row, folder, [this](const QString &path) { return isReserved(path); }, nullptr,
                &error))
            failures.append(QStringLiteral("%1: %2").arg(m_model->entry(row).caption, error));
    }
    m_quiet = false;
    journalAll();
    return failures;
}

bool PageStore::rotate(int row, int quarterTurns, QString *error)
{
    return m_model->rotate(row, quarterTurns, error);
}

bool PageStore::straighten(int row, double degrees, QString *error)
{
    return m_model->straighten(row, degrees, error);
}

QString PageStore::journalPath() const
{
    return m_journal->path();
}

void PageStore::journalAll()
{
    if (m_closed)
        return;
    // Nothing listed yet and no journal: nothing to write.
    if (m_journal->path().isEmpty() && m_model->rowCount() == 0)
        return;
    QList<PageEntry> pages = m_model->snapshot();
    pages.removeIf([](const PageEntry &page) { return page.heldInMemory(); });
    if (!m_journal->rewrite(pages))
        reportJournalFailure();
}

void PageStore::reportJournalFailure()
{
    if (m_journalFailureSaid)
        return;
    m_journalFailureSaid = true;
    const QString path = m_journal->path();
    emit journalFailed(path.isEmpty() ? m_journalFolder : path, m_journal->errorString());
}

PageStore::StaleSummary PageStore::claimStale()
{
    StaleSummary summary;
    if (m_stale || m_closed)
        return summary;
    m_stale = std::make_unique<StaleJournals>(m_journalFolder);
    summary.pages = int(m_stale->pages().size());
    summary.damagedLines = m_stale->damagedLines();
    if (summary.pages == 0 && summary.damagedLines == 0) {
        // Closed between its last delete and its close: nothing to offer.
        m_stale->remove();
        m_stale.reset();
    }
    return summary;
}

void PageStore::leaveStale()
{
    m_stale.reset(); // offered again at the next start
}

void PageStore::discardStale()
{
    if (!m_stale)
        return;
    for (const PageEntry &page : m_stale->pages()) {
        // A working copy that is the page file itself is the user's file.
        if (!samePath(page.workingCopy, page.pageFile))
            QFile::remove(page.workingCopy);
    }
    m_stale->remove();
    m_stale.reset();
}

bool PageStore::prepareRecovered(PageEntry &page)
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
        page.pageFileError =
            QCoreApplication::translate("PageRecovery", "The page file %1 does not exist.",
                                        "recoveredPageFileMissing")
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

void PageStore::relistStale()
{
    if (!m_stale || m_recoveryWorker)
        return;
    const QList<PageEntry> pages = m_stale->pages();
    auto prepared = std::make_shared<QList<PageEntry>>();
    auto lost = std::make_shared<int>(0);
    m_recoveryWorker = QThread::create([pages, prepared, lost] {
        for (PageEntry page : pages) {
            if (prepareRecovered(page))
                prepared->append(page);
            else
                ++*lost;
        }
    });
    m_recoveryWorker->setParent(this);
    // Queued to this thread: the worker has ended when the results are read.
    connect(m_recoveryWorker, &QThread::finished, this, [this, prepared, lost] {
        m_recoveryWorker->deleteLater();
        listRecovered(*prepared, *lost);
    });
    m_recoveryWorker->start();
}

void PageStore::listRecovered(const QList<PageEntry> &pages, int lost)
{
    int listed = 0;
    for (const PageEntry &page : pages) {
        // Working copies of this run from now on: removed at close like the others.
        if (!samePath(page.workingCopy, page.pageFile))
            noteWorkingCopy(page.workingCopy);
        if (add(page))
            ++listed;
    }
    // Listed, and so in this run's journal: the old journals are done with. After
    // a close meanwhile they stay, to be offered again.
    if (listed == int(pages.size()) && m_stale)
        m_stale->remove();
    m_stale.reset();
    emit staleRelisted(listed, lost);
}
