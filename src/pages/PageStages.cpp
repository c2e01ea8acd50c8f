#include "pages/PageStages.h"

#include "files/AtomicFile.h"
#include "imaging/PageCrop.h"
#include "ocr/PageStraightener.h"
#include "ocr/TesseractLibrary.h"
#include "pages/PageJournal.h"
#include "pages/PageReservations.h"
#include "pages/Thumbnail.h"
#include "scanner/BlankPageDetector.h"
#include "scanner/PageImageWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace PageStages {

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

QImage thumbnailOf(const QImage &image)
{
    return Thumbnail::fromImage(image, image.width(), image.height());
}

} // namespace

namespace {

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
    if (job.straighten && !TesseractLibrary::get(&r.correctionReason))
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

WrittenPage::WrittenPage() = default;
WrittenPage::~WrittenPage() = default;
WrittenPage::WrittenPage(WrittenPage &&) noexcept = default;
WrittenPage &WrittenPage::operator=(WrittenPage &&) noexcept = default;

WrittenPage write(const PageJob &job)
{
    WrittenPage page;
    page.job = job;
    PageResult &r = page.result;
    r.kind = job.kind;
    r.reserved = {job.names.pageFile, job.names.workingCopy};
    r.workingCopyPath = job.names.workingCopy;
    // Corrected before anything is written: page file, working copy, thumbnail
    // and PDF all show the page upright and straight.
    page.job.image = correctedPage(job, r);
    const QImage &image = page.job.image;
    r.entry.size = image.size();

    if (job.kind == PageJob::Kind::Copy) {
        page.workingCopy =
            PageImageWriter::writeNew(image, job.names.workingCopy, &r.workingCopyReason);
        return page;
    }

    // Destination = temporary folder and BMP: the page file is the working copy.
    page.oneFile = samePath(job.names.pageFile, job.names.workingCopy);
    page.pageFile = PageImageWriter::writeNew(image, job.names.pageFile, &r.pageFileReason);
    if (!page.oneFile)
        page.workingCopy =
            PageImageWriter::writeNew(image, job.names.workingCopy, &r.workingCopyReason);
    if (job.blankTest) {
        float level = 0; // measured, not used
        r.blank = BlankPageDetector::isBlank(image, MaxNoiseLevel, &level);
    }
    // The thumbnail of a page that will be listed if its files settle; settle()
    // makes the others' only if they turn out to be listed after all.
    const bool written = page.pageFile || page.workingCopy;
    if (written && !(r.blank && page.pageFile)) {
        r.entry.thumbnail = thumbnailOf(image);
        page.thumbnailMade = true;
    }
    return page;
}

PageResult settle(WrittenPage &page, PageReservations *reservations, PageJournal *journal)
{
    const PageJob &job = page.job;
    PageResult r = page.result;
    const QImage &image = job.image;
    FileNaming::PageNames names = job.names;
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

    if (job.kind == PageJob::Kind::Copy) {
        r.workingCopyWritten =
            page.workingCopy &&
            PageImageWriter::commitNew(*page.workingCopy, names.workingCopy, nextCopyName,
                                       &r.workingCopyPath, &r.workingCopyReason);
        if (!r.workingCopyWritten)
            return r;
        r.printError = job.print ? job.print(image) : QString();
        // Once the job is with the printing system the copy has served its purpose.
        if (r.printError.isEmpty())
            r.workingCopyRemoved = QFile::remove(r.workingCopyPath);
        return r;
    }

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
            if (page.oneFile)
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
        page.pageFile && PageImageWriter::commitNew(*page.pageFile, names.pageFile, nextPageName,
                                                    &written, &r.pageFileReason);
    if (page.oneFile) {
        r.workingCopyWritten = r.pageFileWritten;
        names.workingCopy = names.pageFile;
    } else {
        // Under the page's new name when its page file had to take one.
        r.workingCopyWritten =
            page.workingCopy &&
            PageImageWriter::commitNew(*page.workingCopy, names.workingCopy, nextCopyName,
                                       &names.workingCopy, &r.workingCopyReason);
    }
    r.workingCopyPath = names.workingCopy;
    PageEntry &e = r.entry;
    e.pageFile = names.pageFile;
    e.workingCopy = names.workingCopy;
    e.caption = names.fileName;

    // A blank page is left out only when its page file is safely on disk: one
    // whose page file failed is listed, so its only copy is not lost at close.
    if (r.blank && r.pageFileWritten)
        return r;

    // Written nowhere (a full disk): the page stays listed with its image held
    // in memory, under the working copy name it was given, until it is saved.
    const bool held = !r.pageFileWritten && !r.workingCopyWritten;
    // Without a working copy the page file serves the thumbnail, the PDF and the
    // printer: the page is on disk and must not vanish from the list.
    e.workingCopy = r.workingCopyWritten || held ? names.workingCopy : names.pageFile;
    e.dpi = qRound(image.dotsPerMeterX() * 0.0254);
    e.pageFileWritten = r.pageFileWritten;
    if (held)
        e.image = image;
    if (!page.thumbnailMade)
        e.thumbnail = thumbnailOf(image);
    r.listed = !e.thumbnail.isNull();
    // Its line on the disk before the page is listed; a failure here is tried
    // again, and reported, when the store lists the page. A page in memory has
    // nothing on the disk to bring back after a crash.
    if (r.listed && journal && !held)
        journal->appendAhead(e);
    qCDebug(lcPipeline) << "page" << e.caption << "listed" << r.listed << "blank" << r.blank;
    return r;
}

} // namespace PageStages
