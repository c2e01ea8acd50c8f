#pragma once

#include "ocr/PdfWord.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <string>

class OcrHelperProcess;
class QElapsedTimer;
class TesseractEngine;

// One Tesseract engine: the languages loaded once, then any number of pages
// recognised one after another. An engine is not shared between threads; parallel
// recognition uses one engine per worker, each running single-threaded. The engine
// runs in a helper process of its own (pagora-ocr), which gets the pages' pixels
// over a pipe and nothing else of the program.
class OcrEngine final
{
    Q_DISABLE_COPY_MOVE(OcrEngine)

public:
    OcrEngine();
    ~OcrEngine();

    // languages like "eng" or "rus+eng". False when a language is not installed
    // ("The recognition language 'xyz' is not installed") or its data cannot be
    // loaded; *error names it.
    bool init(const QString &languages, QString *error = nullptr);

    // The words of the image with their boxes in its pixels; a page without text
    // gives none and succeeds. A cancelled page fails within a fraction of a
    // second; so does a page that takes longer than the time limit, with
    // *timedOut set. Tesseract looks at its own cancel and deadline only between
    // words, never while it finds the layout, which on a page of noise takes
    // minutes: the helper is killed instead, and the next page starts a new one.
    bool recognise(const QImage &image, PdfWords &words, QString *error = nullptr,
                   const std::atomic_bool *cancel = nullptr, bool *timedOut = nullptr);

    // Seconds a page may take; 0: no limit. DefaultTimeLimit until set.
    static constexpr int DefaultTimeLimit = 60;
    void setTimeLimit(int seconds) { m_timeLimit = seconds; }
    int timeLimit() const { return m_timeLimit; }

    // The language codes whose data is installed, sorted; the orientation and
    // equation models are not languages.
    static QStringList installedLanguages();
    // The installed ones of the wanted languages, joined as "rus+eng"; the first
    // wanted when none is installed, so that loading names what is missing.
    static QString preferredLanguages(const QStringList &wanted);
    // Whether every language of a "rus+eng" list is installed; *error names the
    // first that is not.
    static bool checkLanguages(const QString &languages, QString *error = nullptr);
    // The folder of the language data: TESSDATA_PREFIX, else where the packages
    // install it.
    static QString dataFolder();

    // The helper process that recognises for this engine; 0 while none runs (before
    // the next page after a cancel or time limit, or when no helper could be started
    // and pages are recognised in this process).
    qint64 helperProcessId() const;

private:
    enum class Start
    {
        Started,
        LoadFailed,
        Cancelled,
        NoHelper
    };
    Start startHelper(const std::atomic_bool *cancel, QString *error);
    bool loadHere(QString *error);
    bool recogniseInHelper(const uchar *pixels, qsizetype bytesPerLine, int width, int height,
                           int dpi, std::string &words, const std::atomic_bool *cancel,
                           const QElapsedTimer &clock, bool *timedOut);

    QString m_languages;
    QString m_dataFolder;
    std::unique_ptr<OcrHelperProcess> m_helper;
    // Only when no helper can be started.
    std::unique_ptr<TesseractEngine> m_api;
    bool m_ready = false;
    int m_timeLimit = DefaultTimeLimit;
};
