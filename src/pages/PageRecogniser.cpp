#include "pages/PageRecogniser.h"

#include "pages/GalleryLog.h"
#include "pages/PageModel.h"
#include "imaging/ImageFileReader.h"
#include "ocr/OcrEnginePool.h"

#include <QImage>
#include <QThread>

PageRecogniser::PageRecogniser(PageModel *model, QObject *parent) : QObject(parent), m_model(model)
{
    // Scanning and the list come first; recognition takes what is left of the cores.
    m_pool.setThreadPriority(QThread::IdlePriority);
    m_pool.setMaxThreadCount(QThread::idealThreadCount());
    connect(model, &PageModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { onRowsInserted(first, last); });
}

PageRecogniser::~PageRecogniser()
{
    stop();
}

void PageRecogniser::stop()
{
    if (m_cancel)
        *m_cancel = true;
    m_pool.clear();
    m_pool.waitForDone();
    m_engines.reset();
    m_cancel.reset();
    m_pending = 0;
}

void PageRecogniser::setLanguages(const QString &languages, int timeLimit)
{
    if (languages == m_languages && timeLimit == m_timeLimit)
        return;
    stop();
    m_languages = languages;
    m_timeLimit = timeLimit;
    if (m_languages.isEmpty())
        return;
    m_engines = std::make_shared<OcrEnginePool>(m_languages, m_timeLimit);
    m_cancel = std::make_shared<std::atomic_bool>(false);
    onRowsInserted(0, m_model->rowCount() - 1);
}

void PageRecogniser::onRowsInserted(int first, int last)
{
    if (m_languages.isEmpty())
        return;
    for (int row = first; row <= last; ++row) {
        const PageEntry &e = m_model->entry(row);
        if (!e.text.holdsFor(e.workingCopy, m_languages))
            recognise(e.workingCopy);
    }
}

void PageRecogniser::recognise(const QString &workingCopy)
{
    ++m_pending;
    // The pool is waited for before this goes, so the tasks may use it.
    PageRecogniser *self = this;
    m_pool.start(
        [self, workingCopy, languages = m_languages, engines = m_engines, cancel = m_cancel] {
            // The file's state before it is read: a change during the reading makes
            // the words stale at once.
            PageText text = PageText::of(workingCopy, languages);
            bool ok = false;
            if (!cancel->load()) {
                QString error;
                // The engine first: it bounds how many pages are held decoded at once.
                std::unique_ptr<OcrEngine> engine = engines->acquire(&error, cancel.get());
                if (engine) {
                    // The program's own reader: any page it can scan, 600 dpi included.
                    const QImage image = ImageFileReader::read(workingCopy, &error);
                    if (!image.isNull())
                        ok = engine->recognise(image, text.words, &error, cancel.get());
                    engines->release(std::move(engine));
                }
                if (!ok && !cancel->load())
                    qCDebug(lcGallery)
                        << "background recognition of" << workingCopy << "failed:" << error;
            }
            QMetaObject::invokeMethod(
                self,
                [self, workingCopy, text, ok, cancel] {
                    if (cancel->load())
                        return;
                    --self->m_pending;
                    if (ok)
                        self->m_model->setText(workingCopy, text);
                },
                Qt::QueuedConnection);
        });
}
