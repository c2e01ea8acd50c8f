#pragma once

#include "ocr/OcrEngine.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>

class OcrEnginePool;
class PageModel;

// Recognises each page as soon as it is listed, in the background at low priority,
// and keeps the words with the page in the model, so that a searchable "Save all
// to PDF" reads again only what is not yet recognised. Off while no languages are
// set. A page that cannot be recognised here is left to the export, which reports it.
class PageRecogniser final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageRecogniser)

public:
    explicit PageRecogniser(PageModel *model, QObject *parent = nullptr);
    ~PageRecogniser() override;

    // "rus+eng", or empty to switch off, and the seconds one page may take; a
    // change drops the work in hand and reads every listed page not yet read in
    // these languages.
    void setLanguages(const QString &languages, int timeLimit = OcrEngine::DefaultTimeLimit);
    QString languages() const { return m_languages; }
    int timeLimit() const { return m_timeLimit; }
    // Whether pages are being recognised; tests wait on it.
    bool busy() const { return m_pending > 0; }

private:
    void onRowsInserted(int first, int last);
    void recognise(const QString &workingCopy);
    void stop();

    PageModel *m_model;
    QString m_languages;
    int m_timeLimit = OcrEngine::DefaultTimeLimit;
    QThreadPool m_pool;
    std::shared_ptr<OcrEnginePool> m_engines;
    std::shared_ptr<std::atomic_bool> m_cancel;
    int m_pending = 0;
};
