#include "ocr/OcrEnginePool.h"

std::unique_ptr<OcrEngine> OcrEnginePool::acquire(QString *error)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_free.empty()) {
            std::unique_ptr<OcrEngine> engine = std::move(m_free.back());
            m_free.pop_back();
            return engine;
        }
    }
    // Loading takes a while: outside the lock, so other workers' engines load too.
    auto engine = std::make_unique<OcrEngine>();
    if (!engine->init(m_languages, error))
        return nullptr;
    return engine;
}

void OcrEnginePool::release(std::unique_ptr<OcrEngine> engine)
{
    if (!engine)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_free.push_back(std::move(engine));
}

bool OcrEnginePool::preload(QString *error)
{
    std::unique_ptr<OcrEngine> engine = acquire(error);
    if (!engine)
        return false;
    release(std::move(engine));
    return true;
}
