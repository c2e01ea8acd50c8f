#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Runs the PDF export on a worker thread while a modal progress dialog with a
// Cancel button keeps the windows painted and a wait cursor shows it is busy.
namespace PdfExportProgress {

enum class Outcome
{
    Written,
    Failed,
    Cancelled
};

// Blocks (running the event loop) until the document is written or the export
// ends; on Failed the reason is in *error. Nothing is written unless Written.
Outcome run(QWidget *owner, const QStringList &files, const QString &output,
            QString *error = nullptr);

} // namespace PdfExportProgress
