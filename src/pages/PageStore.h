#pragma once

#include "pages/PageEntry.h"
#include "pages/PageModel.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <functional>
#include <memory>

class PageJournal;
class PageReservations;
class QThread;
class StaleJournals;

// The pages of this run and everything that keeps them safe: the list (its
// model), the journal that brings them back after a crash, the names chosen for
// pages still being written, the clean-up at close and the pages of sessions
// that ended without closing. Every change of the list reaches the journal,
// order included, written off the UI thread. Work on a page's files (turns,
// renames, deletes) runs as jobs on workers, one page's jobs in order. No
// widgets: the window asks the questions and shows the texts.
class PageStore final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageStore)

public:
    // The journal goes to the temporary folder.
    explicit PageStore(QObject *parent = nullptr);
    PageStore(const QString &journalFolder, QObject *parent);
    // A store gone without close() leaves no session to recover either.
    ~PageStore() override;

    PageModel *model() const { return m_model; }

    // Journals the page (unless its line was written ahead) and lists it, and
    // releases its names. False after close(): nothing is listed any more.
    bool add(const PageEntry &entry);
    // From any thread, before the page is listed: its line on the disk first.
    // False after close(). Held by the page worker, so it may outlive the store.
    std::shared_ptr<PageJournal> journal() const { return m_journal; }

    // A page file or working copy being written, or the working copy of a
    // listed page: a name no other page may take.
    bool isReserved(const QString &path) const;
    // A page file or working copy chosen and not yet committed.
    void reserve(const QString &path);
    void release(const QString &path);
    // The reservations themselves, shared with the page worker (thread-safe).
    std::shared_ptr<PageReservations> reservations() const { return m_reservations; }
    // A working copy this run wrote: removed at close unless it is all that is
    // left of its page.
    void noteWorkingCopy(const QString &path);

    // Clean-up at close: the working copies this run made go, except those whose
    // page file is missing (never written, or removed from outside): those are
    // returned, to be named to the user. The journal goes; add() refuses from now.
    QStringList close();
    bool isClosed() const { return m_closed; }

    // Page jobs: the files change on a worker thread, the list when the job
    // ends. A page shows busy from the call on; a command for a page already busy
    // waits for the ones before it. A page deleted meanwhile drops its later jobs.
    struct JobFailure
    {
        QString caption; // the page's caption when the command was given
        QString reason;  // turns: the reason to show; renames: the system's reason
        PageModel::Refusal refusal = PageModel::Refusal::None; // renames
        QString newCaption;                                    // renames
        QString pageFile;                                      // the page's when the job began
    };
    // Called on this thread once every job of one call has ended, with the pages
    // that failed; not when context is gone, nor for jobs ended by close().
    using JobsDone = std::function<void(const QList<JobFailure> &failures)>;
    void rotateLater(const QList<int> &rows, int quarterTurns, QObject *context = nullptr,
                     const JobsDone &done = {});
    // Measures each page and turns it upright, or straightens it, both files or neither.
    void correctLater(const QList<int> &rows, bool upright, QObject *context = nullptr,
                      const JobsDone &done = {});
    // Refusals the name itself earns come back at once (Refused, with *why);
    // Renamed means the rename is under way and done follows.
    PageModel::RenameResult renameLater(int row, const QString &newCaption,
                                        PageModel::Refusal *why = nullptr,
                                        QObject *context = nullptr, const JobsDone &done = {});
    // The rows' files deleted, then the rows leave the list.
    void removeLater(const QList<int> &rows, QObject *context = nullptr, const JobsDone &done = {});
    // Whether a job runs or waits for the row's page (or any page).
    bool isBusy(int row) const;
    bool hasPageJobs() const { return !m_jobs.isEmpty(); }
    // Blocks until the pages' jobs (all jobs when none are given) and the journal
    // writes have ended, their results applied.
    void waitForJobs(const QList<quint64> &pages = {});

    // The list's changes, each journalled; these wait for the page's jobs first.
    PageModel::RenameResult rename(int row, const QString &newCaption,
                                   PageModel::Refusal *why = nullptr,
                                   QString *systemReason = nullptr);
    void remove(const QList<int> &rows);
    // Moves each row one place up (-1) or down (+1); returns their new places.
    QList<int> move(const QList<int> &rows, int step);
    // Interleaves or reverses the rows (all rows when fewer than two are given).
    QList<int> arrange(const QList<int> &rows, PageOrder::Arrangement arrangement);
    // "Save to folder...": the rows' pages written into folder (see
    // PageModel::saveToFolder), never over a file or a name a page being written
    // holds. Returns one line per page that failed, naming it and the reason.
    QStringList saveToFolder(const QList<int> &rows, const QString &folder);
    bool rotate(int row, int quarterTurns, QString *error = nullptr);
    bool straighten(int row, double degrees, QString *error = nullptr);
    // The journal in the list's order again, after pages written ahead in one
    // order were listed in another.
    void journalOrder() { journalAll(); }

    // Recovery of sessions that ended without closing: claim their journals,
    // then list their pages again, delete their working copies, or leave them
    // for a later start.
    struct StaleSummary
    {
        int pages = 0;
        int damagedLines = 0;
    };
    StaleSummary claimStale();
    // The files are checked off this thread; staleRelisted() follows.
    void relistStale();
    void discardStale();
    void leaveStale();
    // The page as it can be listed again: a missing page file marked, a missing
    // working copy replaced by the page file, its picture's header checked (the
    // thumbnail is made when the row is shown). False when nothing of the page
    // is left to list.
    static bool prepareRecovered(PageEntry &page);

    QString journalPath() const;

signals:
    // The journal could not be written; said once per run, the pages are listed all the same.
    void journalFailed(const QString &path, const QString &reason);
    // The pages of the claimed journals are listed (listed) or were lost (lost).
    void staleRelisted(int listed, int lost);
    // Page jobs began or all of a page's ended (see hasPageJobs()).
    void pageJobsChanged();

private:
    enum class JobKind
    {
        Turn,
        Correct,
        Rename,
        Delete
    };
    struct JobBatch;
    struct Job
    {
        quint64 page = 0;
        int row = -1; // where the page was when the command was given
        JobKind kind = JobKind::Turn;
        int quarterTurns = 0;
        bool upright = false;
        QString caption;    // the page's when the command was given
        QString newCaption; // Rename
        std::shared_ptr<JobBatch> batch;
    };
    struct JobOutcome;
    void enqueue(QList<Job> jobs, QObject *context, const JobsDone &done);
    void startJob(quint64 page);
    // The job's page's row now; -1 when it is not listed.
    int rowOf(const Job &job) const;
    void finishJob(quint64 page, const JobOutcome &outcome);
    QList<quint64> idsOf(const QList<int> &rows) const;
    QList<Job> jobsFor(const QList<int> &rows, JobKind kind) const;

    // The pages whose delete jobs ended leave the list together.
    void flushRemovals();

    void journalAll();
    void journalWritten(bool ok);
    void reportJournalFailure();
    void listRecovered(const QList<PageEntry> &pages, int lost);

    PageModel *m_model;
    QString m_journalFolder;
    std::shared_ptr<PageJournal> m_journal;
    std::shared_ptr<PageReservations> m_reservations;
    std::unique_ptr<StaleJournals> m_stale;
    QPointer<QThread> m_recoveryWorker;
    bool m_closed = false;
    bool m_journalFailureSaid = false;
    bool m_quiet = false; // several rows change as one: one journal write after them
    // By page: the running job first, then those waiting their turn.
    QHash<quint64, QList<Job>> m_jobs;
    QSet<quint64> m_removals; // deleted, still listed until flushRemovals()
    bool m_closing = false;   // no job starts any more
    // Page jobs on several pages at once; journal writes one at a time, in order.
    QThreadPool m_jobPool;
    QThreadPool m_journalPool;
    bool m_journalWriting = false;
    bool m_journalAgain = false; // the list changed while the journal was being written
};
