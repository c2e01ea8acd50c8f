#include "pages/PageImporter.h"

#include "pages/PageImport.h"

#include <QMetaObject>
#include <QThread>

PageImporter::PageImporter(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<PageEntry>();
    qRegisterMetaType<QList<PageEntry>>();
}

PageImporter::~PageImporter()
{
    cancel();
    if (m_worker)
        m_worker->wait();
}

bool PageImporter::start(const QStringList &files, const QString &tempFolder)
{
    if (m_worker)
        return false;
    auto cancelFlag = std::make_shared<std::atomic_bool>(false);
    m_cancel = cancelFlag;
    m_worker = QThread::create([files, tempFolder, cancelFlag, this] {
        const auto cancelled = [cancelFlag] { return cancelFlag->load(); };
        const int total = int(files.size());
        for (int i = 0; i < total && !cancelled(); ++i) {
            const auto frameRead = [this, i](int done, int frames) {
                QMetaObject::invokeMethod(
                    this, [this, i, done, frames] { emit pageProgress(i, done, frames); });
            };
            const PageImport::Result r =
                PageImport::importFile(files.at(i), tempFolder, cancelled, frameRead);
            // Results go to the importer's thread; the object waits for this one in its
            // destructor, so it is alive while the worker runs. Pages read before a
            // cancel are whole and are handed on: what was added stays added.
            QMetaObject::invokeMethod(this, [this, r, i, total] {
                if (!r.error.isEmpty())
                    emit fileRefused(r.error);
                else if (!r.pages.isEmpty())
                    emit pagesRead(r.pages);
                emit progress(i + 1, total);
            });
        }
    });
    m_worker->setParent(this);
    connect(m_worker, &QThread::finished, this, [this, cancelFlag] {
        m_worker->deleteLater();
        m_worker = nullptr;
        emit finished(cancelFlag->load());
    });
    m_worker->start();
    return true;
}

void PageImporter::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
}
