#include "ocr/OcrEnginePool.h"

#include <QThread>
#include <chrono>
#include <unistd.h>

OcrEnginePool::OcrEnginePool(const QString &languages, int timeLimit, int maxInUse)
    : m_languages(languages), m_timeLimit(qMax(0, timeLimit)),
      m_maxInUse(maxInUse > 0 ? maxInUse : defaultMaxInUse())
{
}

int OcrEnginePool::defaultMaxInUse()
{
    constexpr qint64 PerEngine = qint64(2) << 30;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const int cores = qMax(1, QThread::idealThreadCount());
    if (pages <= 0 || pageSize <= 0)
        return cores;
    return int(qBound(qint64(1), qint64(pages) * pageSize / PerEngine, qint64(cores)));
}

std::unique_ptr<OcrEngine> OcrEnginePool::acquire(QString *error, const std::atomic_bool *stop)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // The stop flag is set without the lock: look at it now and then.
        while (m_inUse >= m_maxInUse) {
            if (stop && stop->load())
                return nullptr;
            m_returned.wait_for(lock, std::chrono::milliseconds(100));
        }
        ++m_inUse;
        if (!m_free.empty()) {
            std::unique_ptr<OcrEngine> engine = std::move(m_free.back());
            m_free.pop_back();
            return engine;
        }
    }
    // Loading takes a while: outside the lock, so other workers' engines load too.
    auto engine = std::make_unique<OcrEngine>();
    if (!engine->init(m_languages, error)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_inUse;
        m_returned.notify_one();
        return nullptr;
    }
    engine->setTimeLimit(m_timeLimit);
    return engine;
}

void OcrEnginePool::release(std::unique_ptr<OcrEngine> engine)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_inUse;
    if (engine)
        m_free.push_back(std::move(engine));
    m_returned.notify_one();
}

bool OcrEnginePool::preload(QString *error)
{
    std::unique_ptr<OcrEngine> engine = acquire(error);
    if (!engine)
        return false;
    release(std::move(engine));
    return true;
}
