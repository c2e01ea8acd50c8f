#include "gallery/PdfExportProgress.h"

#include "gallery/GalleryLog.h"
#include "pdf/PdfExport.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <atomic>
#include <memory>

namespace PdfExportProgress {

Outcome run(QWidget *owner, const QStringList &files, const QString &output, QString *error)
{
    std::atomic_bool cancel{false};
    QProgressDialog progress(owner);
    progress.setWindowModality(Qt::WindowModal);
    progress.setWindowTitle(QApplication::applicationDisplayName());
    progress.setLabelText(QCoreApplication::translate("Tfrm_Main", "Saving the pages to PDF...",
                                                      "Action_PDF.Progress"));
    progress.setRange(0, int(files.size()));
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);
    // Shown at once, not after a delay: the owner must not take commands (a
    // Delete, a close) while the export reads its working copies.
    progress.show();
    // The Cancel button, Escape and closing the dialog all stop the export.
    const auto stop = [&cancel] { cancel = true; };
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, stop);
    QObject::connect(&progress, &QDialog::rejected, &progress, stop);

    PdfExportOptions options;
    options.cancel = &cancel;
    // Called on the worker thread; the dialog is updated on its own thread, and
    // updates still queued when it is gone are dropped with it.
    options.progress = [&progress](int done, int count) {
        QMetaObject::invokeMethod(
            &progress,
            [&progress, done, count] {
                progress.setMaximum(count); // a multi-page TIFF counts each frame
                progress.setValue(done);
            },
            Qt::QueuedConnection);
    };

    bool written = false;
    QString reason;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(
        QThread::create([&] { written = PdfExport::run(files, output, options, &reason); }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker->start();
    // The finished signal is queued to this thread, so it cannot be missed.
    loop.exec();
    worker->wait();
    QApplication::restoreOverrideCursor();
    const bool cancelled = cancel.load();
    // hide(), not close(): closing the dialog would count as a Cancel.
    progress.hide();

    if (written)
        return Outcome::Written;
    if (cancelled) {
        qCDebug(lcGallery) << "PDF export cancelled:" << output;
        return Outcome::Cancelled;
    }
    if (error)
        *error = reason;
    return Outcome::Failed;
}

} // namespace PdfExportProgress
