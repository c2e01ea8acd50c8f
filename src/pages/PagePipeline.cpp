#include "pages/PagePipeline.h"

#include "imaging/PageCrop.h"
#include "ocr/PageStraightener.h"
#include "pages/PageJournal.h"
#include "pages/PageReservations.h"
#include "pages/PageStore.h"
#include "pages/Thumbnail.h"
#include "scanner/BlankPageDetector.h"
#include "scanner/PageImageWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcPipeline, "pagora.pipeline", QtWarningMsg)

constexpr float MaxNoiseLevel = 0.01f;

bool samePath(const QString &a, const QString &b)
{
    return PageReservations::key(a) == PageReservations::key(b);
}

// The first free "base_N.ext" next to path: for a working copy whose name was
// taken, or a page named by hand.
QString numberedFreeName(const QString &path, PageReservations *reservations)
{
    const QFileInfo info(path);
    const QString base = FileNaming::stampOfSuffix(info.completeBaseName());
    for (qint64 n = 1;; ++n) {
        const QString candidate = info.dir().filePath(base + QLatin1Char('_') + QString::number(n) +
                                                      QLatin1Char('.') + info.suffix());
        if (!FileNaming::pathTaken(candidate) &&
            (!reservations || reservations->tryReserve(candidate)))
            return candidate;
    }
}

// The page upright and straight as the job asks; the page as scanned when it
// cannot be measured, with the reason.
QImage correctedPage(const PageJob &job, PageResult &r)
{
    if (!job.cropToPage && !job.turnUpright && !job.straighten)
        return job.image;
    // The paper alone is measured: the bed around it says nothing of its text.
    const QImage paper = job.cropToPage ? PageCrop::cropped(job.image) : job.image;
    if (!job.turnUpright && !job.straighten)
        return paper;
    // One orientation engine for the worker thread, loaded on its first page.
    thread_local PageStraightener straightener;
    if (job.turnUpright && !straightener.init(&r.correctionReason))
        return paper;
    PageCorrection found;
    const QImage page = straightener.correct(paper, job.turnUpright, job.straighten, &found);
    if (page.isNull())
        return paper;
    r.quarterTurns = PageStraightener::turnsToApply(found);
    r.skewDegrees = PageStraightener::skewToApply(found);
    return page;
}

} // namespace

PagePipeline::PagePipeline(QObject *parent)
    : QObject(parent), m_reservations(std::make_shared<PageReservations>())
{
    qRegisterMetaType<PageResult>();
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("Page worker"));
    m_thread.start();
}

PagePipeline::~PagePipeline()
{
    m_thread.quit();
    m_thread.wait();
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
    // Queued calls to one worker run in order, and so do the queued answers.
    QMetaObject::invokeMethod(
        m_worker,
        [this, job, reservations = m_reservations, journal = m_journal] {
            const PageResult result = process(job, reservations.get(), journal.get());
            QMetaObject::invokeMethod(
                this, [this, result] { deliver(result); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void PagePipeline::deliver(const PageResult &result)
{
    if (m_pending == 0)
        return; // already delivered by finishAll
    --m_pending;
    emit pageDone(result);
    // Listed (or not) now: the files hold their names from here on.
    for (const QString &path : result.reserved)
        m_reservations->release(path);
    if (m_pending == 0)
        emit idle();
}

void PagePipeline::finishAll()
{
    if (m_pending == 0)
        return;
    // Returns once the worker has run every job queued before it.
    QMetaObject::invokeMethod(
        m_worker, [] {}, Qt::BlockingQueuedConnection);
    // Their answers are queued to this thread: hand them over now, in order.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

PageResult PagePipeline::process(const PageJob &job, PageReservations *reservations,
                                 PageJournal *journal)
{
    PageResult r;
    r.kind = job.kind;
    const QImage image = correctedPage(job, r);
    FileNaming::PageNames names = job.names;
    r.reserved = {names.pageFile, names.workingCopy};
    const auto holdName = [&r, reservations](const QString &path) {
        if (reservations)
            reservations->reserve(path);
        r.reserved.append(path);
    };
    // A working copy whose name was taken meanwhile takes the next free one.
    const auto nextCopyName = [&](const QString &taken) {
        const QString name = numberedFreeName(taken, reservations);
        r.reserved.append(name);
        return name;
    };
    r.workingCopyPath = names.workingCopy;
    PageEntry &e = r.entry;
    e.size = image.size();

    if (job.kind == PageJob::Kind::Copy) {
        r.workingCopyWritten = PageImageWriter::saveNew(image, names.workingCopy, nextCopyName,
                                                        &r.workingCopyPath, &r.workingCopyReason);
        if (!r.workingCopyWritten)
            return r;
        r.printError = job.print ? job.print(image) : QString();
        // Once the job is with the printing system the copy has served its purpose.
        if (r.printError.isEmpty())
            r.workingCopyRemoved = QFile::remove(r.workingCopyPath);
        return r;
    }

    // Destination = temporary folder and BMP: the page file is the working copy.
    const bool oneFile = samePath(names.pageFile, names.workingCopy);
    // A page file whose name was taken after it was chosen: the page is named
    // again from the next free suffix of its stamp, working copy and caption too.
    const auto nextPageName = [&](const QString &taken) {
        const FileNaming::PageNames again =
            FileNaming::nextFreeNames(names, [&](const QString &suffix) {
                const FileNaming::PageNames n = FileNaming::pageNames(
                    suffix, names.prefix, names.extension, names.destination, names.tempFolder);
                return FileNaming::pathTaken(n.pageFile) ||
                       (reservations && (reservations->contains(n.pageFile) ||
                                         reservations->contains(n.workingCopy)));
            });
        if (again.pageFile.isEmpty()) {
            names.pageFile = numberedFreeName(taken, reservations);
            names.fileName = QFileInfo(names.pageFile).fileName();
            r.reserved.append(names.pageFile);
            if (oneFile)
                names.workingCopy = names.pageFile;
            return names.pageFile;
        }
        names = again;
        holdName(names.pageFile);
        holdName(names.workingCopy);
        return names.pageFile;
    };
    QString written;
    r.pageFileWritten =
        PageImageWriter::saveNew(image, names.pageFile, nextPageName, &written, &r.pageFileReason);
    if (oneFile) {
        r.workingCopyWritten = r.pageFileWritten;
        names.workingCopy = names.pageFile;
    } else {
        r.workingCopyWritten = PageImageWriter::saveNew(image, names.workingCopy, nextCopyName,
                                                        &names.workingCopy, &r.workingCopyReason);
    }
    r.workingCopyPath = names.workingCopy;
    e.pageFile = names.pageFile;
    e.workingCopy = names.workingCopy;
    e.caption = names.fileName;

    if (job.blankTest) {
        float level = 0; // measured, not used
        r.blank = BlankPageDetector::isBlank(image, MaxNoiseLevel, &level);
    }
    // A blank page is left out only when its page file is safely on disk: one
    // whose page file failed is listed, so its only copy is not lost at close.
    if ((r.blank && r.pageFileWritten) || (!r.pageFileWritten && !r.workingCopyWritten))
        return r;

    // Without a working copy the page file serves the thumbnail, the PDF and the
    // printer: the page is on disk and must not vanish from the list.
    e.workingCopy = r.workingCopyWritten ? names.workingCopy : names.pageFile;
    e.dpi = qRound(image.dotsPerMeterX() * 0.0254);
    e.pageFileWritten = r.pageFileWritten;
    e.thumbnail = Thumbnail::fromImage(image, image.width(), image.height());
    r.listed = !e.thumbnail.isNull();
    // Its line on the disk before the page is listed; a failure here is tried
    // again, and reported, when the store lists the page.
    if (r.listed && journal)
        journal->appendAhead(e);
    qCDebug(lcPipeline) << "page" << e.caption << "listed" << r.listed << "blank" << r.blank
                        << "turned" << r.quarterTurns << "straightened" << r.skewDegrees;
    return r;
}
