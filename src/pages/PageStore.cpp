#include "pages/PageStore.h"

#include "files/TempFolder.h"
#include "imaging/ImageFileReader.h"
#include "ocr/PageStraightener.h"
#include "ocr/TesseractLibrary.h"
#include "pages/GalleryLog.h"
#include "pages/PageImport.h"
#include "pages/PageJournal.h"
#include "pages/PageReservations.h"
#include "pages/PageRotation.h"
#include "pages/StaleJournals.h"
#include "pages/Thumbnail.h"
#include "pages/WorkerShare.h"
#include "pages/WorkingCopies.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <utility>

namespace {

bool samePath(const QString &a, const QString &b)
{
    return PageReservations::key(a) == PageReservations::key(b);
}

} // namespace

struct PageStore::JobBatch
{
    int pending = 0;
    QList<JobFailure> failures;
    bool hasContext = false;
    QPointer<QObject> context;
    JobsDone done;
};

struct PageStore::JobOutcome
{
    bool ok = true;
    bool changed = false; // files rewritten: size and thumbnail follow
    QString error;
    PageModel::Refusal refusal = PageModel::Refusal::None;
    QSize size;
    QImage cell;
    PageEntry renamed;
    QString workingCopy; // written by the first change of an added file
};

PageStore::PageStore(QObject *parent) : PageStore(TempFolder::path(), parent)
{
}

PageStore::PageStore(const QString &journalFolder, QObject *parent)
    : QObject(parent), m_model(new PageModel(this)), m_journalFolder(journalFolder),
      m_journal(std::make_shared<PageJournal>(journalFolder)),
      m_reservations(std::make_shared<PageReservations>())
{
    // Working copies live beside the journal, and are removed from nowhere else.
    m_model->setWorkingCopyFolder(journalFolder);
    // Two pages turn at once at most: each holds a whole decoded page in memory.
    m_jobPool.setMaxThreadCount(2);
    m_journalPool.setMaxThreadCount(1);
    // Changes made through the model itself (a drop in the view) are journalled too.
    const auto changed = [this] {
        if (!m_quiet)
            journalAll();
    };
    connect(m_model, &QAbstractItemModel::rowsMoved, this, changed);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, changed);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                // Thumbnails and the busy mark are not in the journal.
                const bool shownOnly =
                    !roles.isEmpty() && std::all_of(roles.cbegin(), roles.cend(), [](int role) {
                        return role == Qt::DecorationRole || role == Qt::AccessibleTextRole ||
                               role == PageModel::BusyRole;
                    });
                if (!m_quiet && !shownOnly)
                    journalAll();
            });
}

PageStore::~PageStore()
{
    // The worker only reads files; it ends on its own.
    if (m_recoveryWorker)
        m_recoveryWorker->wait();
    // A job half done would leave a page's files apart: the running ones end,
    // the waiting ones never start.
    m_closing = true;
    m_jobPool.waitForDone();
    m_journalPool.waitForDone();
    m_journal->remove();
}

bool PageStore::add(const PageEntry &entry)
{
    if (m_closed)
        return false;
    // A rewrite under way works on the list without this page: it must not
    // replace the page's line after it was written.
    if (m_journalWriting)
        m_journalPool.waitForDone();
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
    // Nothing half swapped: the running jobs end and are listed; the waiting ones
    // never start, their pages stay as they are.
    m_closing = true;
    waitForJobs();
    m_closed = true;
    const QStringList kept = m_model->cleanUp();
    // A normal close: nothing to offer back at the next start.
    m_journal->remove();
    return kept;
}

PageModel::RenameResult PageStore::rename(int row, const QString &newCaption,
                                          PageModel::Refusal *why, QString *systemReason)
{
    waitForJobs(idsOf({row}));
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
    waitForJobs(idsOf(rows));
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
    // A page being renamed or turned is copied as its job leaves it.
    waitForJobs(idsOf(rows));
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
    waitForJobs(idsOf({row}));
    return m_model->rotate(row, quarterTurns, error);
}

bool PageStore::straighten(int row, double degrees, QString *error)
{
    waitForJobs(idsOf({row}));
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
    // One write at a time, in order; changes meanwhile make one more write.
    if (m_journalWriting) {
        m_journalAgain = true;
        return;
    }
    QList<PageEntry> pages = m_model->snapshot();
    pages.removeIf([](const PageEntry &page) { return page.heldInMemory(); });
    // Syncing the whole journal takes long on a slow disk: not on this thread.
    m_journalWriting = true;
    m_journalPool.start([this, journal = m_journal, pages] {
        const bool ok = journal->rewrite(pages);
        QMetaObject::invokeMethod(
            this, [this, ok] { journalWritten(ok); }, Qt::QueuedConnection);
    });
}

void PageStore::journalWritten(bool ok)
{
    m_journalWriting = false;
    if (!ok)
        reportJournalFailure();
    if (m_journalAgain) {
        m_journalAgain = false;
        journalAll();
    }
}

QList<quint64> PageStore::idsOf(const QList<int> &rows) const
{
    QList<quint64> ids;
    for (int row : rows) {
        if (row >= 0 && row < m_model->rowCount())
            ids.append(m_model->entry(row).id);
    }
    return ids;
}

bool PageStore::isBusy(int row) const
{
    return row >= 0 && row < m_model->rowCount() && m_jobs.contains(m_model->entry(row).id);
}

void PageStore::waitForJobs(const QList<quint64> &pages)
{
    const auto pending = [this, &pages] {
        if (pages.isEmpty())
            return !m_jobs.isEmpty() || m_journalWriting;
        return std::any_of(pages.cbegin(), pages.cend(),
                           [this](quint64 id) { return m_jobs.contains(id); });
    };
    while (pending()) {
        // The results come as calls queued to this object: taken here, in order.
        if (m_jobs.isEmpty())
            m_journalPool.waitForDone();
        else
            m_jobPool.waitForDone();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    flushRemovals();
}

void PageStore::flushRemovals()
{
    if (m_removals.isEmpty())
        return;
    const QSet<quint64> ids = std::exchange(m_removals, {});
    m_quiet = true;
    m_model->removeIds(ids);
    m_quiet = false;
    journalAll();
}

QList<PageStore::Job> PageStore::jobsFor(const QList<int> &rows, JobKind kind) const
{
    QList<Job> jobs;
    for (int row : rows) {
        if (row < 0 || row >= m_model->rowCount())
            continue;
        Job job;
        job.kind = kind;
        job.page = m_model->entry(row).id;
        job.row = row;
        job.caption = m_model->entry(row).caption;
        jobs.append(job);
    }
    return jobs;
}

void PageStore::rotateLater(const QList<int> &rows, int quarterTurns, QObject *context,
                            const JobsDone &done)
{
    QList<Job> jobs = jobsFor(rows, JobKind::Turn);
    for (Job &job : jobs)
        job.quarterTurns = quarterTurns;
    enqueue(jobs, context, done);
}

void PageStore::correctLater(const QList<int> &rows, bool upright, QObject *context,
                             const JobsDone &done)
{
    QList<Job> jobs = jobsFor(rows, JobKind::Correct);
    for (Job &job : jobs)
        job.upright = upright;
    enqueue(jobs, context, done);
}

PageModel::RenameResult PageStore::renameLater(int row, const QString &newCaption,
                                               PageModel::Refusal *why, QObject *context,
                                               const JobsDone &done)
{
    if (row < 0 || row >= m_model->rowCount()) {
        if (why)
            *why = PageModel::Refusal::Gone;
        return PageModel::RenameResult::Refused;
    }
    const PageEntry &e = m_model->entry(row);
    // A rename already waiting decides what the caption will be: only the file knows then.
    if (!m_jobs.contains(e.id)) {
        const PageModel::RenameResult said = PageModel::checkRename(e, newCaption, why);
        if (said != PageModel::RenameResult::Renamed)
            return said;
    }
    Job job;
    job.kind = JobKind::Rename;
    job.page = e.id;
    job.caption = e.caption;
    job.newCaption = newCaption;
    enqueue({job}, context, done);
    return PageModel::RenameResult::Renamed;
}

void PageStore::removeLater(const QList<int> &rows, QObject *context, const JobsDone &done)
{
    enqueue(jobsFor(rows, JobKind::Delete), context, done);
}

void PageStore::enqueue(QList<Job> jobs, QObject *context, const JobsDone &done)
{
    if (m_closing)
        return;
    auto batch = std::make_shared<JobBatch>();
    batch->pending = int(jobs.size());
    batch->hasContext = context != nullptr;
    batch->context = context;
    batch->done = done;
    if (jobs.isEmpty()) {
        if (done)
            done({});
        return;
    }
    QList<quint64> pages;
    pages.reserve(jobs.size());
    for (const Job &job : std::as_const(jobs))
        pages.append(job.page);
    // One change for the view, however many pages: a thousand would each redraw it.
    m_model->setBusy(pages, true);
    for (Job &job : jobs) {
        job.batch = batch;
        QList<Job> &queue = m_jobs[job.page];
        queue.append(job);
        if (queue.size() == 1)
            startJob(job.page);
    }
    emit pageJobsChanged();
}

int PageStore::rowOf(const Job &job) const
{
    // Searched for only when the rows moved since: a thousand jobs would each
    // search the list, twice.
    if (job.row >= 0 && job.row < m_model->rowCount() && m_model->entry(job.row).id == job.page)
        return job.row;
    return m_model->rowOf(job.page);
}

void PageStore::startJob(quint64 page)
{
    const Job job = m_jobs.value(page).constFirst();
    const int row = rowOf(job);
    const auto endNow = [this, page](const JobOutcome &outcome) {
        // In turn like any other result.
        QMetaObject::invokeMethod(
            this, [this, page, outcome] { finishJob(page, outcome); }, Qt::QueuedConnection);
    };
    // A page whose delete ended is gone, though its row waits to leave the list.
    if (row < 0 || m_closing || m_removals.contains(page)) {
        JobOutcome gone;
        gone.ok = false; // deleted meanwhile, or closing: nothing to say
        gone.refusal = PageModel::Refusal::Gone;
        endNow(gone);
        return;
    }
    const PageEntry entry = m_model->entry(row);
    const QSize cellPixels = m_model->cellPixels();
    switch (job.kind) {
    case JobKind::Turn:
    case JobKind::Correct: {
        QStringList files;
        JobOutcome refused;
        // An added file listed as it is stays as it is: its first change is a copy.
        const bool original = WorkingCopies::isOriginal(entry);
        if (!original && !PageModel::filesToReplace(entry, &files, &refused.error)) {
            refused.ok = false;
            endNow(refused);
            return;
        }
        const bool correct = job.kind == JobKind::Correct;
        const bool upright = job.upright;
        const int quarterTurns = job.quarterTurns;
        const QString copyFolder = m_model->workingCopyFolder();
        m_jobPool.start([this, page, correct, upright, quarterTurns, entry, files, cellPixels,
                         original, copyFolder] {
            yieldToWindow();
            JobOutcome out;
            int turns = correct ? 0 : quarterTurns;
            double degrees = 0;
            if (correct) {
                PageStraightener straightener;
                QString error;
                if (upright ? !straightener.init(&error) : !TesseractLibrary::get(&error)) {
                    out.ok = false;
                } else {
                    const QImage image = ImageFileReader::read(entry.workingCopy, &error);
                    out.ok = !image.isNull();
                    if (out.ok) {
                        PageCorrection found;
                        straightener.measure(image, upright, !upright, &found);
                        turns = upright ? PageStraightener::turnsToApply(found) : 0;
                        degrees = upright ? 0 : PageStraightener::skewToApply(found);
                    }
                }
                out.error = error;
            }
            if (out.ok && original && (turns % 4 != 0 || degrees != 0)) {
                out.ok = PageImport::writeChangedCopy(entry, copyFolder, turns % 4, degrees,
                                                      &out.workingCopy, &out.error);
                out.changed = out.ok;
                out.size = turns % 2 != 0 ? entry.size.transposed() : entry.size;
            } else if (out.ok && turns % 4 != 0) {
                out.ok = PageRotation::rotateFiles(files, turns, &out.error);
                out.changed = out.ok;
                out.size = turns % 2 != 0 ? entry.size.transposed() : entry.size;
            } else if (out.ok && degrees != 0) {
                out.ok = PageRotation::straightenFiles(files, degrees, &out.error);
                out.changed = out.ok;
                out.size = entry.size;
            }
            if (out.changed) {
                PageEntry changed = entry;
                if (!out.workingCopy.isEmpty())
                    changed.workingCopy = out.workingCopy;
                out.cell = PageModel::turnedCell(changed, out.size, cellPixels);
            }
            QMetaObject::invokeMethod(
                this, [this, page, out] { finishJob(page, out); }, Qt::QueuedConnection);
        });
        return;
    }
    case JobKind::Rename: {
        // A page still being written has the name: its commit would find it taken.
        const QString target = QFileInfo(entry.pageFile).dir().filePath(job.newCaption);
        if (job.newCaption != entry.caption && !job.newCaption.trimmed().isEmpty() &&
            m_reservations->contains(target)) {
            JobOutcome taken;
            taken.ok = false;
            taken.refusal = PageModel::Refusal::Taken;
            endNow(taken);
            return;
        }
        m_jobPool.start([this, page, newCaption = job.newCaption, entry] {
            yieldToWindow();
            JobOutcome out;
            out.renamed = entry;
            out.ok = PageModel::renameFile(out.renamed, newCaption, &out.refusal, &out.error) !=
                     PageModel::RenameResult::Refused;
            out.changed = out.ok && out.renamed.caption != entry.caption;
            QMetaObject::invokeMethod(
                this, [this, page, out] { finishJob(page, out); }, Qt::QueuedConnection);
        });
        return;
    }
    case JobKind::Delete:
        m_jobPool.start([this, page, entry, copyFolder = m_model->workingCopyFolder()] {
            yieldToWindow();
            PageModel::deleteFiles(entry, copyFolder);
            QMetaObject::invokeMethod(
                this, [this, page] { finishJob(page, JobOutcome()); }, Qt::QueuedConnection);
        });
        return;
    }
}

void PageStore::finishJob(quint64 page, const JobOutcome &outcome)
{
    auto queue = m_jobs.find(page);
    Q_ASSERT(queue != m_jobs.end() && !queue->isEmpty());
    const Job job = queue->takeFirst();
    const int row = rowOf(job);
    if (row >= 0 && outcome.ok) {
        switch (job.kind) {
        case JobKind::Turn:
        case JobKind::Correct:
            if (!outcome.workingCopy.isEmpty())
                noteWorkingCopy(outcome.workingCopy);
            if (outcome.changed)
                m_model->setTurned(row, outcome.size, outcome.cell, outcome.workingCopy);
            break;
        case JobKind::Rename:
            if (outcome.changed)
                m_model->setRenamed(row, outcome.renamed);
            break;
        case JobKind::Delete:
            // With the other pages whose files went meanwhile: one removal for
            // the view and one journal write for all of them.
            if (m_removals.isEmpty())
                QMetaObject::invokeMethod(this, &PageStore::flushRemovals, Qt::QueuedConnection);
            m_removals.insert(page);
            break;
        }
    }
    // A first copy whose page was deleted meanwhile belongs to nothing.
    if (row < 0 && !outcome.workingCopy.isEmpty())
        WorkingCopies::remove(outcome.workingCopy, QString(), m_model->workingCopyFolder());
    // Deleted meanwhile, or never started because of a close: nothing to report.
    const bool gone = outcome.refusal == PageModel::Refusal::Gone &&
                      (row < 0 || m_closing || m_removals.contains(page));
    if (!outcome.ok && !gone) {
        JobFailure failure;
        failure.caption = job.caption;
        failure.reason = outcome.error;
        failure.refusal = outcome.refusal;
        failure.newCaption = job.newCaption;
        failure.pageFile = row >= 0 ? m_model->entry(row).pageFile : QString();
        job.batch->failures.append(failure);
        qCWarning(lcGallery) << "page job on" << job.caption << "failed:" << outcome.error;
    }
    if (queue->isEmpty()) {
        m_jobs.erase(queue);
        // A page about to leave the list stays dimmed until it does.
        if (!m_removals.contains(page))
            m_model->setBusy(page, false);
        emit pageJobsChanged();
    } else {
        startJob(page);
    }
    JobBatch &batch = *job.batch;
    if (--batch.pending == 0 && batch.done && !m_closing && (!batch.hasContext || batch.context)) {
        // The rows deleted are gone when the caller hears of it.
        flushRemovals();
        batch.done(batch.failures);
    }
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
        WorkingCopies::remove(page.workingCopy, page.pageFile, m_journalFolder);
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
    if (!page.size.isValid()) // a compressed (TIFF) copy: Qt has no reader for it here
        page.size = ImageFileReader::read(page.workingCopy).size();
    // Its header only: reading a thousand whole pages would keep the user
    // waiting for minutes. The thumbnail is made when the row is shown.
    QString error;
    if (!page.size.isValid() || !Thumbnail::readable(page.workingCopy, &error)) {
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
    auto journalled = std::make_shared<bool>(true);
    m_recoveryWorker = QThread::create([pages, prepared, lost, journalled, journal = m_journal] {
        for (PageEntry page : pages) {
            if (prepareRecovered(page))
                prepared->append(page);
            else
                ++*lost;
        }
        // Their lines in this run's journal before they are listed, in one flush.
        *journalled = journal->appendAhead(*prepared);
    });
    m_recoveryWorker->setParent(this);
    // Queued to this thread: the worker has ended when the results are read.
    connect(m_recoveryWorker, &QThread::finished, this, [this, prepared, lost, journalled] {
        m_recoveryWorker->deleteLater();
        if (!*journalled)
            reportJournalFailure();
        listRecovered(*prepared, *lost);
    });
    m_recoveryWorker->start();
}

void PageStore::listRecovered(const QList<PageEntry> &pages, int lost)
{
    int listed = 0;
    if (!m_closed) {
        // A rewrite under way works on the list without these pages: it must
        // not drop their lines once they count as listed.
        if (m_journalWriting)
            m_journalPool.waitForDone();
        for (const PageEntry &page : pages) {
            // Working copies of this run from now on: removed at close like the others.
            if (!samePath(page.workingCopy, page.pageFile))
                noteWorkingCopy(page.workingCopy);
            m_journal->listed(page);
        }
        // All at once: one insertion for the view, not one per page.
        m_model->append(pages);
        listed = int(pages.size());
    }
    // Listed, and so in this run's journal: the old journals are done with. After
    // a close meanwhile they stay, to be offered again.
    if (listed == int(pages.size()) && m_stale)
        m_stale->remove();
    m_stale.reset();
    emit staleRelisted(listed, lost);
}
