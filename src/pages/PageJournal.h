#pragma once

#include "pages/PageEntry.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>
#include <memory>
#include <thread>

class QLockFile;

// A record of the pages this run listed, kept beside their working copies, so
// that the pages of a session that ended without closing (a crash, a kill, a
// power cut) can be offered back at the next start. One JSON object per line,
// so any character in a path or caption survives; every change reaches the
// disk (fsync) before the page it concerns is listed.
//
// A change of the list (a delete, a move, a rename, a turn) is appended as one
// line that says only what changed, so its cost follows the change, not the
// length of the list; a kill halfway leaves the line damaged and the list as
// before. When such lines outweigh the list, a worker thread writes the list
// anew and puts it in the journal's place.
//
// Thread-safe: the page worker writes a page's line before the page is
// listed; the UI thread (or a job) records changes.
//
// One journal per running program: it is created with the first page, named
// with the process id and held by a lock file, so another running instance
// never takes it for the journal of a session that is gone.
class PageJournal final
{
    Q_DISABLE_COPY_MOVE(PageJournal)

public:
    explicit PageJournal(const QString &folder);
    // The file stays: only remove() ends a journal. Waits for a compaction.
    ~PageJournal();

    // One line for the page, flushed to the disk. The journal and its lock are
    // created the first time. A line that fails (a full disk, a size limit) is
    // taken back whole: the journal stays as it was.
    bool append(const PageEntry &page);
    // The same for a page written but not listed yet (on the page worker): its
    // line stays through rewrites until listed() takes it into the list.
    bool appendAhead(const PageEntry &page);
    // The same for many pages in one write and one flush: a thousand pages
    // recovered at once would otherwise wait for a thousand flushes.
    bool appendAhead(const QList<PageEntry> &pages);
    // Whether the page's line was written ahead; it counts as listed from now on.
    bool listed(const PageEntry &page);
    // The journal now lists these pages and the ones written ahead (after a
    // delete, a rename, a move, a turn), in one step.
    bool rewrite(const QList<PageEntry> &pages);
    // Until a compaction running on the worker thread is done (tests, benchmarks).
    void waitForCompaction();
    // At a normal close: the journal and its lock go, and nothing is written
    // to it any more.
    void remove();

    // Empty until the first page.
    QString path() const;
    // Why the last write failed, with the system's reason.
    QString errorString() const;

    // What a journal holds: its readable lines, and how many were not.
    struct Contents
    {
        QList<PageEntry> pages; // page file, working copy, caption, size, dpi, written
        int damagedLines = 0;
    };
    static Contents read(const QString &journalPath);
    static QByteArray line(const PageEntry &page);
    // False for anything that is not a complete record of a page.
    static bool parseLine(const QByteArray &line, PageEntry &page);

    // The file names journals have, for QDir::entryList.
    static QString nameFilter();
    static QString lockPath(const QString &journalPath);
    // The names a rewrite gives the new journal until it takes the old one's
    // place: "<journal>.<8 hex>.part", and hidden ".<journal>.<8 hex>.part".
    static bool isRewriteName(const QByteArray &fileName);

private:
    // A page as the journal lists it, and the length of its line.
    struct Listed
    {
        PageEntry page;
        qint64 bytes = 0;
    };

    bool create();
    bool appendLine(const PageEntry &page);
    bool appendBytes(const QByteArray &data);
    void maybeCompact();
    void compact(QList<Listed> pages);

    mutable QMutex m_mutex;
    QWaitCondition m_compacted;
    QList<PageEntry> m_ahead; // written, not listed yet
    // What reading the journal gives now: the base of the next change's line.
    QList<Listed> m_listed;
    qint64 m_listedBytes = 0;  // a compacted journal's size
    qint64 m_changeBytes = 0;  // change lines since the journal was last written whole
    bool m_compacting = false; // on m_compactor, from a copy of m_listed
    QByteArray m_sinceCopy;    // appended while compacting: goes after the copy
    qint64 m_changeBytesSinceCopy = 0;
    std::thread m_compactor;
    bool m_ended = false;
    bool m_cutTail = false; // a failed line's fragment could not be removed
    QString m_folder;
    QString m_path;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
};
