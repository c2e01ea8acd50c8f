#include "pages/PagePipeline.h"

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
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

} // namespace

PagePipeline::PagePipeline(QObject *parent) : QObject(parent)
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

void PagePipeline::submit(const PageJob &job)
{
    ++m_pending;
    const QString reserved = job.kind == PageJob::Kind::Scan ? job.names.pageFile : QString();
    if (!reserved.isEmpty())
        m_reserved.insert(reserved);
    // Queued calls to one worker run in order, and so do the queued answers.
    QMetaObject::invokeMethod(
        m_worker,
        [this, job, reserved] {
            const PageResult result = process(job);
            QMetaObject::invokeMethod(
                this, [this, reserved, result] { deliver(reserved, result); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void PagePipeline::deliver(const QString &reserved, const PageResult &result)
{
    if (m_pending == 0)
        return; // already delivered by finishAll
    m_reserved.remove(reserved);
    --m_pending;
    emit pageDone(result);
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

PageResult PagePipeline::process(const PageJob &job)
{
    PageResult r;
    r.kind = job.kind;
    const QImage &image = job.image;
    const FileNaming::PageNames &names = job.names;
    r.workingCopyPath = names.workingCopy;
    PageEntry &e = r.entry;
    e.pageFile = names.pageFile;
    e.workingCopy = names.workingCopy;
    e.caption = names.fileName;
    e.size = image.size();

    if (job.kind == PageJob::Kind::Copy) {
        r.workingCopyWritten =
            PageImageWriter::save(image, names.workingCopy, &r.workingCopyReason);
        if (!r.workingCopyWritten)
            return r;
        r.printError = job.print ? job.print(image) : QString();
        // Once the job is with the printing system the copy has served its purpose.
        if (r.printError.isEmpty())
            r.workingCopyRemoved = QFile::remove(names.workingCopy);
        return r;
    }

    r.pageFileWritten = PageImageWriter::save(image, names.pageFile, &r.pageFileReason);
    // Destination = temporary folder and BMP: the page file is the working copy.
    if (samePath(names.pageFile, names.workingCopy))
        r.workingCopyWritten = r.pageFileWritten;
    else
        r.workingCopyWritten =
            PageImageWriter::save(image, names.workingCopy, &r.workingCopyReason);

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
    qCDebug(lcPipeline) << "page" << names.fileName << "listed" << r.listed << "blank" << r.blank;
    return r;
}
