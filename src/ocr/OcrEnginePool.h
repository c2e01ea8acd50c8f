#pragma once

#include "ocr/OcrEngine.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

// Engines for the workers of one export: a worker takes one for a page and gives it
// back, so there are never more engines than workers and each loads its languages
// once. At most maxInUse() pages are recognised at once, whatever the number of
// workers: a page being recognised can take a gigabyte (a page of noise), so the
// bound follows the memory. Safe to use from any thread.
class OcrEnginePool final
{
    Q_DISABLE_COPY_MOVE(OcrEnginePool)

public:
    // timeLimit: seconds a page may take (OcrEngine::setTimeLimit); maxInUse 0:
    // defaultMaxInUse().
    explicit OcrEnginePool(const QString &languages, int timeLimit = OcrEngine::DefaultTimeLimit,
                           int maxInUse = 0);
    ~OcrEnginePool() = default;

    // A free engine, or a new one; waits while maxInUse() engines are out. Null
    // with *error when the languages cannot be loaded, and null when stop is set
    // while it waits.
    std::unique_ptr<OcrEngine> acquire(QString *error = nullptr,
                                       const std::atomic_bool *stop = nullptr);
    void release(std::unique_ptr<OcrEngine> engine);
    // Loads one engine now, so that a missing or damaged language is reported
    // before any page is read; the engine then serves the first page.
    bool preload(QString *error = nullptr);
    QString languages() const { return m_languages; }
    int timeLimit() const { return m_timeLimit; }
    int maxInUse() const { return m_maxInUse; }

    // One engine at work for every 2 GiB of memory, at most one per core, at least one.
    static int defaultMaxInUse();

private:
    const QString m_languages;
    const int m_timeLimit;
    const int m_maxInUse;
    std::mutex m_mutex;
    std::condition_variable m_returned;
    int m_inUse = 0;
    std::vector<std::unique_ptr<OcrEngine>> m_free;
};
