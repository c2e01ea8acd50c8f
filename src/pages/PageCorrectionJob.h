#pragma once

#include "ocr/PageStraightener.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

class QThread;

// Measures listed pages for "Turn upright" and "Straighten" on a worker thread,
// so the window stays responsive; the window then turns the files through the
// page store (both files or neither). Deleting the job stops the worker after
// the page it is measuring.
class PageCorrectionJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageCorrectionJob)

public:
    struct Result
    {
        QString file;       // the working copy measured
        QDateTime modified; // as it was then: a page changed since is left alone
        PageCorrection correction;
        QString error; // why it could not be measured
    };

    PageCorrectionJob(const QStringList &files, bool upright, bool straighten,
                      QObject *parent = nullptr);
    ~PageCorrectionJob() override;

    void start();

signals:
    // On this object's thread, once every page is measured.
    void finished(const QList<PageCorrectionJob::Result> &results);

private:
    QStringList m_files;
    bool m_upright;
    bool m_straighten;
    std::atomic_bool m_cancel{false};
    QList<Result> m_results; // the worker's until it ends
    std::unique_ptr<QThread> m_worker;
};
