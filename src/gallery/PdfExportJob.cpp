#include "gallery/PdfExportJob.h"

#include "ocr/OcrEnginePool.h"
#include "pages/GalleryLog.h"
#include "pdf/PdfExport.h"

#include <QApplication>
#include <QProgressDialog>
#include <QThread>
#include <algorithm>

PdfExportJob *PdfExportJob::start(QWidget *owner, const QStringList &files, const QString &output,
                                  const QString &ocrLanguages,
                                  const QHash<QString, PdfWords> &knownWords, bool archival,
                                  int timeLimit, const QHash<QString, QImage> &held, bool compact)
{
    return new PdfExportJob(owner, files, output, ocrLanguages, knownWords, archival, timeLimit,
                            held, compact);
}

PdfExportJob::PdfExportJob(QWidget *owner, const QStringList &files, const QString &output,
                           const QString &ocrLanguages, const QHash<QString, PdfWords> &knownWords,
                           bool archival, int timeLimit, const QHash<QString, QImage> &held,
                           bool compact)
    : QObject(owner), m_timeLimit(timeLimit), m_progress(new QProgressDialog(owner))
{
    for (auto it = held.cbegin(); it != held.cend(); ++it)
        m_held.push_back(std::make_unique<PdfPageSource::HeldPage>(it.key(), it.value()));
    QProgressDialog &progress = *m_progress;
    progress.setWindowModality(Qt::WindowModal);
    progress.setWindowTitle(QApplication::applicationDisplayName());
    progress.setLabelText(
        ocrLanguages.isEmpty()
            ? QCoreApplication::translate("Tfrm_Main", "Saving the pages to PDF...",
                                          "Action_PDF.Progress")
            : QCoreApplication::translate("Tfrm_Main",
                                          "Recognising the text and saving the pages to PDF...",
                                          "Action_PDF.ProgressSearchable"));
    progress.setRange(0, int(files.size()));
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);
    // Shown at once, not after a delay: the owner must not take commands while
    // the export reads its pages.
    progress.show();
    // The Cancel button, Escape and closing the dialog all stop the export.
    const auto stop = [this] { m_cancel = true; };
    connect(&progress, &QProgressDialog::canceled, this, stop);
    connect(&progress, &QDialog::rejected, this, stop);

    PdfExportOptions options;
    options.cancel = &m_cancel;
    options.knownWords = knownWords;
    options.archival = archival;
    options.compact = compact;
    // Called on the worker; the dialog is updated on its own thread.
    options.progress = [this](int done, int) {
        m_done = done;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_progress)
                    m_progress->setValue(m_done);
            },
            Qt::QueuedConnection);
    };
    // Called on the worker; read once it has finished.
    options.warning = [this](const QString &warning) { m_warnings << warning; };
    m_worker.reset(QThread::create([this, files, output, options, ocrLanguages]() mutable {
        std::unique_ptr<OcrEnginePool> engines;
        if (!ocrLanguages.isEmpty()) {
            engines = std::make_unique<OcrEnginePool>(ocrLanguages, m_timeLimit);
            // Loading the languages takes longer than writing pages whose words
            // are all known; then an engine is never needed.
            const bool allKnown = std::all_of(files.cbegin(), files.cend(), [&](const QString &f) {
                return options.knownWords.contains(f);
            });
            if (!allKnown && !engines->preload(&m_error))
                return;
            options.ocr = engines.get();
        }
        m_written = PdfExport::run(files, output, options, &m_error);
    }));
    connect(m_worker.get(), &QThread::finished, this, &PdfExportJob::onWorkerFinished);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_worker->start();
}

PdfExportJob::~PdfExportJob()
{
    // Going with its owner: nobody is left to tell.
    disconnect(this, &PdfExportJob::finished, nullptr, nullptr);
    cancelAndWait();
    delete m_progress;
}

void PdfExportJob::cancelAndWait()
{
    m_cancel = true;
    if (m_worker)
        m_worker->wait();
    onWorkerFinished();
}

void PdfExportJob::onWorkerFinished()
{
    if (m_ended)
        return;
    m_ended = true;
    m_held.clear(); // the worker has ended: nobody reads them any more
    QApplication::restoreOverrideCursor();
    // hide(), not close(): closing the dialog would count as a Cancel.
    if (m_progress)
        m_progress->hide();
    const Outcome outcome = m_written         ? Outcome::Written
                            : m_cancel.load() ? Outcome::Cancelled
                                              : Outcome::Failed;
    if (outcome == Outcome::Cancelled)
        qCDebug(lcGallery) << "PDF export cancelled";
    emit finished(outcome, outcome == Outcome::Failed    ? m_error
                           : outcome == Outcome::Written ? m_warnings.join(QLatin1String("\n"))
                                                         : QString());
    deleteLater();
}
