#pragma once

#include "pages/FileNaming.h"
#include "pages/PageEntry.h"

#include <QImage>
#include <QObject>
#include <QSemaphore>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <functional>
#include <memory>

class PageJournal;
class PageReservations;
class PageStore;

// One delivered page and what to do with it.
struct PageJob
{
    enum class Kind
    {
        Scan, // page file, working copy, blank test, thumbnail
        Copy  // working copy, printed, then removed
    };
    Kind kind = Kind::Scan;
    QImage image; // the page as the scanner delivered it
    FileNaming::PageNames names;
    bool blankTest = false; // feeder batch with blank pages skipped
    // Preferences: the page turned upright and straightened before any file is
    // written, so every copy of it shows the corrected page.
    bool turnUpright = false;
    bool straighten = false;
    bool cropToPage = false; // flatbed: the scan cut to the paper first
    // Copy: prints the page on any thread; an empty answer means it was handed to
    // the printing system, otherwise the answer is the reason it was not.
    std::function<QString(const QImage &page)> print;
};

// What became of one page. Texts are the window's: the result carries facts.
struct PageResult
{
    PageJob::Kind kind = PageJob::Kind::Scan;
    PageEntry entry;     // scan: what to list (when listed)
    bool listed = false; // scan: not blank and something to show it from
    bool blank = false;  // left out of the list as blank
    bool pageFileWritten = false;
    bool workingCopyWritten = false;
    bool workingCopyRemoved = false; // copy: gone once printed
    QString pageFileReason;          // why the page file failed
    QString workingCopyPath;         // where the working copy was to go
    QString workingCopyReason;       // why it failed
    QString printError;              // copy: what the printer said
    QString correctionReason;        // why the page was kept as scanned, not corrected
    int quarterTurns = 0;            // clockwise quarter turns given to the page
    double skewDegrees = 0.0;        // clockwise degrees it was straightened by
    QStringList reserved;            // names held for the page while it was written
};

Q_DECLARE_METATYPE(PageResult)

// The page work of a scan or copy, off the UI thread: both saves, the blank test,
// the thumbnail, printing. Each page goes through two workers: the first encodes
// and writes it, the second waits for the disk (file and folder synced, the
// journal line written ahead, when there is a store), so one page settles while
// the next is encoded. Pages are reported strictly in the order they were
// submitted, and only once settled. Names are chosen on the UI thread before
// submission; page files and working copies not yet reported are reserved, so
// the next page of the same second does not take the same name. Files are
// committed without ever replacing one (a name taken meanwhile gives the page
// the next free suffix).
class PagePipeline final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PagePipeline)

public:
    explicit PagePipeline(QObject *parent = nullptr);
    ~PagePipeline() override;

    // The store whose reservations and journal the pages use (otherwise the
    // pipeline keeps its own reservations and writes no journal). Set before
    // the first submit.
    void setStore(PageStore *store);

    void submit(const PageJob &job);
    // Pages submitted and not yet reported.
    int pending() const { return m_pending; }
    bool isReserved(const QString &path) const;

    // One page's work, on the calling thread; names are reserved in
    // reservations (or not at all) and the line written ahead to journal.
    static PageResult process(const PageJob &job, PageReservations *reservations = nullptr,
                              PageJournal *journal = nullptr);

    // Tests: called on the second worker before each page settles (to hold one
    // back). Set while no pipeline runs.
    static void setSettleHookForTest(std::function<void(const PageJob &)> hook);

signals:
    void pageDone(const PageResult &result);
    // A submitted page's file could not be written (its pageDone follows).
    void writeFailed();
    // The last submitted page has been reported.
    void idle();

private:
    void deliver(const PageResult &result);

    QThread m_writeThread;
    QThread m_settleThread;
    QObject *m_writer = nullptr;
    QObject *m_settler = nullptr;
    // Pages written and not yet settled, at most two (one settling, the next
    // waiting): when the disk is the slower side the writer waits rather than
    // holding the open files of a whole batch.
    QSemaphore m_unsettledSlots{2};
    int m_pending = 0;
    // Shared with the worker, which may still run a page when the store is gone.
    std::shared_ptr<PageReservations> m_reservations;
    std::shared_ptr<PageJournal> m_journal;
};
