#pragma once

#include "ocr/OcrEngine.h"
#include "ocr/PdfWord.h"
#include "pdf/PdfPageSource.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

class QProgressDialog;
class QThread;
class QWidget;

// "Save all to PDF" on a worker thread. A window-modal progress dialog with a
// Cancel button keeps the windows painted and the owner from taking commands
// (a Delete, a close) while the export reads its pages; no event loop of its own
// runs: the owner's carries on and finished() arrives when the export ends.
class PdfExportJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PdfExportJob)

public:
    enum class Outcome
    {
        Written,
        Failed,
        Cancelled
    };
    Q_ENUM(Outcome)

    // Starts at once with the files as given (a snapshot: later changes of the
    // list do not reach this export). The job deletes itself after finished().
    // With ocrLanguages ("rus+eng") every page's text is recognised as well, and a
    // language that cannot be loaded fails the export before any page is read.
    // knownWords: pages already recognised in those languages, not read again.
    // archival: a PDF/A document. timeLimit: seconds the recognition of one page
    // may take (0: no limit). held: pages that exist only in memory, by the name
    // files gives them. compact: a compact document (PdfExportOptions::compact).
    static PdfExportJob *start(QWidget *owner, const QStringList &files, const QString &output,
                               const QString &ocrLanguages = {},
                               const QHash<QString, PdfWords> &knownWords = {},
                               bool archival = false, int timeLimit = OcrEngine::DefaultTimeLimit,
                               const QHash<QString, QImage> &held = {}, bool compact = false);
    ~PdfExportJob() override;

    int timeLimit() const { return m_timeLimit; }

    // Stops the export and waits for the worker: nothing is written then.
    void cancelAndWait();

signals:
    // On Failed, error says why, naming the file. On Written, it names the pages
    // written without their text because recognising them took too long, if any.
    void finished(PdfExportJob::Outcome outcome, const QString &error);

private:
    PdfExportJob(QWidget *owner, const QStringList &files, const QString &output,
                 const QString &ocrLanguages, const QHash<QString, PdfWords> &knownWords,
                 bool archival, int timeLimit, const QHash<QString, QImage> &held, bool compact);
    void onWorkerFinished();

    const int m_timeLimit;
    std::atomic_bool m_cancel{false};
    std::atomic_int m_done{0};
    bool m_written = false;
    bool m_ended = false;
    QString m_error;
    QStringList m_warnings;
    QPointer<QProgressDialog> m_progress; // a child of the owner, which may go first
    std::unique_ptr<QThread> m_worker;
    // Readable by the worker under their names until it has ended.
    std::vector<std::unique_ptr<PdfPageSource::HeldPage>> m_held;
};
