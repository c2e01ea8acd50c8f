#include "pages/PagePipeline.h"

#include "pages/PageReservations.h"
#include "pages/PageStages.h"
#include "pages/PageStore.h"

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {

std::function<void(const PageJob &)> &settleHook()
{
    static std::function<void(const PageJob &)> hook;
    return hook;
}

#ifdef Q_OS_LINUX
constexpr int BackgroundNice = 5; // about a third of the UI thread's share under contention
#endif

// A worker object living on its own started thread, deleted when it ends.
QObject *startWorker(QThread &thread, const QString &name)
{
    auto *worker = new QObject;
    worker->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    thread.setObjectName(name);
    // Page work yields to the UI thread when both want the processor: on two
    // cores a fast batch otherwise kept the window from repainting for up to
    // 46 ms. Linux's default scheduler ignores Qt's thread priorities, not a
    // thread's own nice value.
    thread.start(QThread::LowPriority);
#ifdef Q_OS_LINUX
    QMetaObject::invokeMethod(worker, [] { ::setpriority(PRIO_PROCESS, 0, BackgroundNice); });
#endif
    return worker;
}

} // namespace

PagePipeline::PagePipeline(QObject *parent)
    : QObject(parent), m_reservations(std::make_shared<PageReservations>())
{
    qRegisterMetaType<PageResult>();
    m_writer = startWorker(m_writeThread, QStringLiteral("Page writer"));
    m_settler = startWorker(m_settleThread, QStringLiteral("Page settler"));
}

PagePipeline::~PagePipeline()
{
    // The writer first: it hands pages to the settler. A page not settled leaves
    // no hidden file behind.
    m_writeThread.quit();
    m_writeThread.wait();
    m_settleThread.quit();
    m_settleThread.wait();
}

void PagePipeline::setSettleHookForTest(std::function<void(const PageJob &)> hook)
{
    settleHook() = std::move(hook);
}

void PagePipeline::setStore(PageStore *store)
{
    m_reservations = store ? store->reservations() : std::make_shared<PageReservations>();
    m_journal = store ? store->journal() : nullptr;
}

bool PagePipeline::isReserved(const QString &path) const
{
    return m_reservations->contains(path);
}

void PagePipeline::submit(const PageJob &job)
{
    ++m_pending;
    // Copies are named against the destination too, but only the working copy is written.
    if (job.kind == PageJob::Kind::Scan)
        m_reservations->reserve(job.names.pageFile);
    m_reservations->reserve(job.names.workingCopy);
    // Queued calls to one worker run in order, and so do the calls each worker
    // queues to the next: pages settle and are reported in submission order.
    QMetaObject::invokeMethod(
        m_writer,
        [this, job, reservations = m_reservations, journal = m_journal] {
            m_unsettledSlots.acquire();
            auto page = std::make_shared<PageStages::WrittenPage>(PageStages::write(job));
            // Said before the page settles: a scan stops feeding sheets a full disk
            // cannot take while the pages ahead of this one are still synced.
            const bool failed = job.kind == PageJob::Kind::Copy
                                    ? !page->workingCopy
                                    : !page->pageFile || (!page->oneFile && !page->workingCopy);
            if (failed)
                QMetaObject::invokeMethod(this, &PagePipeline::writeFailed, Qt::QueuedConnection);
            QMetaObject::invokeMethod(
                m_settler,
                [this, page, reservations, journal] {
                    if (settleHook())
                        settleHook()(page->job);
                    const PageResult result =
                        PageStages::settle(*page, reservations.get(), journal.get());
                    m_unsettledSlots.release();
                    QMetaObject::invokeMethod(
                        this, [this, result] { deliver(result); }, Qt::QueuedConnection);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void PagePipeline::deliver(const PageResult &result)
{
    --m_pending;
    emit pageDone(result);
    // Listed (or not) now: the files hold their names from here on.
    for (const QString &path : result.reserved)
        m_reservations->release(path);
    if (m_pending == 0)
        emit idle();
}

PageResult PagePipeline::process(const PageJob &job, PageReservations *reservations,
                                 PageJournal *journal)
{
    PageStages::WrittenPage page = PageStages::write(job);
    return PageStages::settle(page, reservations, journal);
}
