#pragma once

#include "ocr/PdfWord.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

namespace tesseract {
class TessBaseAPI;
}

// One Tesseract engine: the languages loaded once, then any number of pages
// recognised one after another. An engine is not shared between threads; parallel
// recognition uses one engine per worker, each running single-threaded.
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
    // gives none and succeeds. Polls cancel while it works; a cancelled page fails.
    bool recognise(const QImage &image, PdfWords &words, QString *error = nullptr,
                   const std::atomic_bool *cancel = nullptr);

    // The language codes whose data is installed, sorted; the orientation and
    // equation models are not languages.
    static QStringList installedLanguages();
    // The installed ones of the wanted languages, joined as "rus+eng"; the first
    // wanted when none is installed, so that loading names what is missing.
    static QString preferredLanguages(const QStringList &wanted);
    // Whether every language of a "rus+eng" list is installed; *error names the
    // first that is not.
    static bool checkLanguages(const QString &languages, QString *error = nullptr);

private:
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    bool m_ready = false;
};
