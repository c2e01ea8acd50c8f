#pragma once

#include <QString>
#include <QStringList>

// The recognition languages offered to the user, as Tesseract's codes ("rus+eng"):
// only what is installed, each language alone and, English being on most pages
// next to any other language, each other language together with English.
class OcrLanguageChoice final
{
public:
    OcrLanguageChoice() = delete;

    // In order: each installed language, followed by it with English when both are
    // installed ("eng", "rus", "rus+eng").
    static QStringList choices();
    // The interface language's recognition language where installed, plus English
    // ("rus+eng" for "Russian"); see OcrEngine::preferredLanguages.
    static QString defaultFor(const QString &interfaceLanguage);
};
