#include "pdf/PdfExport.h"

#include "imaging/ImageFileReader.h"
#include "ocr/OcrEnginePool.h"
#include "ocr/PageStraightener.h"
#include "ocr/TesseractLibrary.h"
#include "pdf/ArchivalPage.h"
#include "pdf/CompactPage.h"
#include "pdf/ImageResolution.h"
#include "pdf/PdfPageSource.h"
#include "pdf/TPDF.h"

#include <QLoggingCategory>
#include <QThread>
#include <QThreadPool>
#include <QVector>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

Q_LOGGING_CATEGORY(lcPdfExport, "pagora.pdf.export", QtWarningMsg)

namespace {

struct PageResult
{
    QByteArray jpeg;
    PdfImage image; // archival and compact documents
    CompactImage compact;
    bool split = false; // compact documents: the page is stored as its layers
    PdfWords words;
    QString error;
    QString warning; // the page is written, without what the warning says
    bool done = false;
    bool ok = false;
};

// Results of the pages in flight, filled by the workers, taken by the writer.
struct PageQueue
{
    std::mutex mutex;
    std::condition_variable ready;
    std::vector<PageResult> results;
    std::atomic_bool stop{false};
};

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool cancelled(const PdfExportOptions &options)
{
    return options.cancel && options.cancel->load();
}

// One page of the document: a file, and the frame of it for a multi-page TIFF.
struct PageRef
{
    QString path;
    int frame = 0;
};

QVector<PageRef> pagesOf(const QStringList &files)
{
    QVector<PageRef> pages;
    pages.reserve(files.size());
    for (const QString &path : files) {
        const int frames = ImageFileReader::frameCount(path);
        for (int frame = 0; frame < frames; ++frame)
            pages.append({path, frame});
    }
    return pages;
}

// What a worker needs to know of the options.
struct PageWork
{
    OcrEnginePool *engines = nullptr;
    const PdfWords *known = nullptr;
    bool archival = false;
    bool rotatePages = false;
    bool deskew = false;
    bool compact = false;
    // Pages are prepared pictures (archival and compact documents).
    bool pictures() const { return archival || compact; }
};

// Turns a decoded page upright and straight where it needs it, and encodes it
// again; pages left as they are keep their encoding.
bool straighten(const PageRef &page, const PageWork &work, QImage &image, PageResult &result)
{
    // One orientation engine per worker thread, loaded on its first page.
    thread_local std::unique_ptr<PageStraightener> straightener;
    if (!straightener)
        straightener = std::make_unique<PageStraightener>();
    if (work.rotatePages && !straightener->init(&result.error))
        return false;
    PageCorrection found;
    const QImage corrected = straightener->correct(image, work.rotatePages, work.deskew, &found);
    if (!PageStraightener::changes(found)) {
        // A bitmap is encoded only now, once.
        return work.pictures() || !result.jpeg.isEmpty() ||
               PdfPageSource::imagePage(image, page.path, result.jpeg, &result.error);
    }
    qCDebug(lcPdfExport) << page.path << "turned" << PageStraightener::turnsToApply(found)
                         << "quarters and" << PageStraightener::skewToApply(found) << "degrees";
    image = corrected;
    if (work.pictures()) {
        // The page keeps the size its resolution gives it.
        const double dpiX = result.image.dpiX, dpiY = result.image.dpiY;
        result.image = ArchivalPage::encode(image, &result.error);
        result.image.dpiX = dpiX;
        result.image.dpiY = dpiY;
        if (result.image.data.isEmpty()) {
            result.error = QStringLiteral("'%1': %2").arg(page.path, result.error);
            return false;
        }
        return true;
    }
    return PdfPageSource::imagePage(image, page.path, result.jpeg, &result.error);
}

// A compact document's page decoded, with its resolution: the file is stored as
// it is only when the page does not split, and then read again.
bool readDecoded(const PageRef &page, QImage &image, PageResult &result)
{
    QByteArray jpeg;
    if (!PdfPageSource::pageWithImage(page.path, jpeg, image, &result.error, page.frame, false))
        return false;
    QSizeF dpi = jpeg.isEmpty() ? ImageResolution::ofFile(page.path, page.frame)
                                : ImageResolution::fromHeader(jpeg.left(64 * 1024));
    if (dpi.isEmpty() && image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
        dpi = QSizeF(image.dotsPerMeterX() * 0.0254, image.dotsPerMeterY() * 0.0254);
    result.image = PdfImage();
    result.image.data.clear();
    if (!dpi.isEmpty()) {
        result.image.dpiX = dpi.width();
        result.image.dpiY = dpi.height();
    }
    return true;
}

// Reads, encodes and, with a pool, recognises one page.
bool preparePage(const PageRef &page, const PageWork &work, const std::atomic_bool &stop,
                 PageResult &result)
{
    const bool correct = work.rotatePages || work.deskew;
    const bool recognise = work.engines && !work.known;
    if (work.known)
        result.words = *work.known;
    if (!recognise && !correct && !work.compact) {
        if (work.archival)
            return ArchivalPage::fromFile(page.path, page.frame, result.image, nullptr,
                                          &result.error);
        return PdfPageSource::page(page.path, result.jpeg, &result.error, page.frame);
    }
    // The engine first: waiting for one, a worker holds no decoded page.
    std::unique_ptr<OcrEngine> engine;
    if (recognise) {
        engine = work.engines->acquire(&result.error, &stop);
        if (!engine)
            return false;
    }
    const auto done = [&](bool ok) {
        if (engine)
            work.engines->release(std::move(engine));
        return ok;
    };
    QImage image;
    const bool read =
        work.compact ? readDecoded(page, image, result)
        : work.archival
            ? ArchivalPage::fromFile(page.path, page.frame, result.image, &image, &result.error)
            : PdfPageSource::pageWithImage(page.path, result.jpeg, image, &result.error, page.frame,
                                           !correct);
    if (!read)
        return done(false);
    if (correct && !straighten(page, work, image, result))
        return done(false);
    if (work.compact) {
        result.split =
            CompactPage::encode(image, result.image.dpiX, result.image.dpiY, result.compact);
        if (result.split) {
            result.image = PdfImage(); // only the layers are written
        } else {
            result.compact = CompactImage();
            // Stored as an archival document stores it (a JPEG file with its own
            // pixels), unless straightening made a new picture already.
            if (result.image.data.isEmpty() &&
                !ArchivalPage::fromFile(page.path, page.frame, result.image, nullptr,
                                        &result.error))
                return done(false);
        }
        if (!engine)
            image = QImage();
    }
    if (!engine)
        return true;
    QString reason;
    bool timedOut = false;
    const bool ok = engine->recognise(image, result.words, &reason, &stop, &timedOut);
    done(true);
    if (timedOut) {
        // Written without its text rather than not at all.
        result.warning = QStringLiteral("'%1': %2").arg(page.path, reason);
        return true;
    }
    if (!ok)
        result.error = QStringLiteral("'%1': %2").arg(page.path, reason);
    return ok;
}

} // namespace

bool PdfExport::run(const QStringList &files, const QString &output,
                    const PdfExportOptions &options, QString *error)
{
    if (files.isEmpty()) {
        setError(error, QStringLiteral("There are no pages to write to the PDF document"));
        return false;
    }
    if (output.isEmpty()) {
        setError(error, QStringLiteral("FileName is empty"));
        return false;
    }
    if ((options.rotatePages || options.deskew) && !TesseractLibrary::get(error))
        return false;
    if (options.rotatePages) {
        // A missing orientation model is named before anything is read.
        PageStraightener probe;
        if (!probe.init(error))
            return false;
    }
    const QVector<PageRef> pages = pagesOf(files);
    const int count = int(pages.size());

    const int workers =
        qBound(1, options.workers > 0 ? options.workers : QThread::idealThreadCount(), count);
    // Pages submitted ahead of the one the writer waits for: enough to keep every
    // worker busy while the writer appends, few enough to bound memory.
    const int window = workers + 2;
    qCDebug(lcPdfExport) << "exporting" << count << "pages with" << workers << "workers";

    PageQueue queue;
    queue.results.resize(size_t(count));
    QThreadPool pool; // destroyed first: waits for the workers that use the queue
    pool.setMaxThreadCount(workers);

    const auto submit = [&](int index) {
        const PageRef &page = pages.at(index);
        const auto knownIt = options.knownWords.constFind(page.path);
        const bool singleFrame =
            page.frame == 0 && (index + 1 >= count || pages.at(index + 1).path != page.path);
        const PdfWords *known =
            // Words found on a page before it is turned would stand in the wrong places.
            options.ocr && singleFrame && knownIt != options.knownWords.constEnd() &&
                    !options.rotatePages && !options.deskew
                ? &knownIt.value()
                : nullptr;
        const PageWork work{options.ocr,         known,          options.archival,
                            options.rotatePages, options.deskew, options.compact};
        pool.start([&queue, work, page, index] {
            PageResult result;
            if (!queue.stop.load())
                result.ok = preparePage(page, work, queue.stop, result);
            std::lock_guard<std::mutex> lock(queue.mutex);
            result.done = true;
            queue.results[size_t(index)] = std::move(result);
            queue.ready.notify_all();
        });
    };
    const auto abort = [&](const QString &text) {
        queue.stop = true;
        pool.waitForDone();
        setError(error, text);
        return false;
    };
    const QString cancelText = QStringLiteral("The PDF export was cancelled");

    std::optional<TPDF> document;
    if (options.compact) {
        const PdfArchiveInfo info{PdfArchiveMetadata::titleFor(output),
                                  QDateTime::currentDateTime()};
        document.emplace(count, TPDF::Compact{}, options.archival ? &info : nullptr);
    } else if (options.archival) {
        document.emplace(count, PdfArchiveInfo{PdfArchiveMetadata::titleFor(output),
                                               QDateTime::currentDateTime()});
    } else {
        document.emplace(count);
    }
    // Streamed: a long document never sits in memory whole.
    if (!document->streamTo(output)) {
        setError(error, document->errorString());
        return false;
    }
    TPDF &pdf = *document;
    int submitted = 0;
    for (int next = 0; next < count; ++next) {
        while (submitted < count && submitted < next + window)
            submit(submitted++);

        PageResult page;
        {
            std::unique_lock<std::mutex> lock(queue.mutex);
            while (!queue.results[size_t(next)].done) {
                if (cancelled(options))
                    break;
                queue.ready.wait_for(lock, std::chrono::milliseconds(50));
            }
            page = std::move(queue.results[size_t(next)]);
            queue.results[size_t(next)] = PageResult();
        }
        if (cancelled(options))
            return abort(cancelText);
        if (!page.ok)
            return abort(page.error);
        const bool added = page.split
                               ? pdf.addCompactPage(page.compact, pages.at(next).path, page.words)
                           : options.archival || options.compact
                               ? pdf.addImage(page.image, pages.at(next).path, page.words)
                               : pdf.addJpegData(page.jpeg, pages.at(next).path, page.words);
        if (!added)
            return abort(pdf.errorString());
        if (!page.warning.isEmpty() && options.warning)
            options.warning(page.warning);
        page = PageResult();
        if (options.progress)
            options.progress(next + 1, count);
    }

    if (cancelled(options))
        return abort(cancelText);
    if (!pdf.SaveToFile(output)) {
        setError(error, pdf.errorString());
        return false;
    }
    return true;
}
