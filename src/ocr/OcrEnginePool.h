#pragma once

#include "ocr/OcrEngine.h"

#include <QString>
#include <memory>
#include <mutex>
#include <vector>

// Engines for the workers of one export: a worker takes one for a page and gives it
// back, so there are never more engines than workers and each loads its languages
// once. Safe to use from any thread.
class OcrEnginePool final
{
    Q_DISABLE_COPY_MOVE(OcrEnginePool)

public:
    explicit OcrEnginePool(const QString &languages) : m_languages(languages) {}
    ~OcrEnginePool() = default;

    // A free engine, or a new one; null with *error when the languages cannot be
    // loaded.
    std::unique_ptr<OcrEngine> acquire(QString *error = nullptr);
    void release(std::unique_ptr<OcrEngine> engine);
    // Loads one engine now, so that a missing or damaged language is reported
    // before any page is read; the engine then serves the first page.
    bool preload(QString *error = nullptr);
    QString languages() const { return m_languages; }

private:
    const QString m_languages;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<OcrEngine>> m_free;
};
