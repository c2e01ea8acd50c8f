#include "ocr/OcrLanguageChoice.h"

#include "ocr/OcrEngine.h"

namespace {

const QString English = QStringLiteral("eng");

} // namespace

QStringList OcrLanguageChoice::choices()
{
    const QStringList installed = OcrEngine::installedLanguages();
    QStringList result;
    for (const QString &code : installed) {
        result << code;
        if (code != English && installed.contains(English))
            result << code + QLatin1Char('+') + English;
    }
    return result;
}

QString OcrLanguageChoice::defaultFor(const QString &interfaceLanguage)
{
    QStringList wanted;
    if (interfaceLanguage == QLatin1String("Russian"))
        wanted << QStringLiteral("rus");
    wanted << English;
    return OcrEngine::preferredLanguages(wanted);
}
