#pragma once

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

    // "rus+eng", or empty to switch off; a change drops the work in hand and
    // reads every listed page in the new languages.
    void setLanguages(const QString &languages);
    QString languages() const { return m_languages; }
    // Whether pages are being recognised; tests wait on it.
    bool busy() const { return m_pending > 0; }

private:
    void onRowsInserted(int first, int last);
    void recognise(const QString &workingCopy);
    void stop();

    PageModel *m_model;
    QString m_languages;
    QThreadPool m_pool;
    std::shared_ptr<OcrEnginePool> m_engines;
    std::shared_ptr<std::atomic_bool> m_cancel;
    int m_pending = 0;
};
