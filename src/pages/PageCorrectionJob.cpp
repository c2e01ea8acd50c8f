#include "pages/PageCorrectionJob.h"

#include "imaging/ImageFileReader.h"

#include <QFileInfo>
#include <QThread>

PageCorrectionJob::PageCorrectionJob(const QStringList &files, bool upright, bool straighten,
                                     QObject *parent)
    : QObject(parent), m_files(files), m_upright(upright), m_straighten(straighten)
{
}

PageCorrectionJob::~PageCorrectionJob()
{
    if (m_worker) {
        m_cancel = true;
        m_worker->wait();
    }
}

void PageCorrectionJob::start()
{
    m_worker.reset(QThread::create([this] {
        PageStraightener straightener;
        QString modelError;
        const bool ready = !m_upright || straightener.init(&modelError);
        for (const QString &file : std::as_const(m_files)) {
            if (m_cancel.load())
                break;
            Result r;
            r.file = file;
            r.modified = QFileInfo(file).lastModified();
            if (!ready) {
                r.error = modelError;
            } else {
                const QImage page = ImageFileReader::read(file, &r.error);
                if (!page.isNull()) {
                    r.error.clear();
                    straightener.measure(page, m_upright, m_straighten, &r.correction);
                }
            }
            m_results.append(r);
        }
    }));
    connect(m_worker.get(), &QThread::finished, this, [this] { emit finished(m_results); });
    m_worker->start();
}
