#include "app/CommandLine.h"

#include <QLocale>
#include <QString>
#include <QTranslator>
#include <cstdio>
#include <cstring>

namespace {

const char *const kUsage = QT_TRANSLATE_NOOP(
    "CommandLine",
    "Usage: pagora-pro [options]\n"
    "\n"
    "Pagora Pro scans documents from SANE scanners into image files, one PDF document\n"
    "or the printer. Scanner, image and file choices are made in its window and kept\n"
    "in ~/.config/Veldmark/Pagora Pro.conf.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  Qt's own options (for example -platform offscreen) are accepted too.\n"
    "\n"
    "Environment:\n"
    "  SANE_CONFIG_DIR  SANE's configuration folders, which choose the scanner backends\n"
    "  TEMP             folder for the working copies of scanned pages\n");

// In the language of the user's locale: there is no window, and so no stored
// interface language, yet. No application object exists either, so the translation
// is asked directly instead of through an installed translator.
QString usage()
{
    if (QLocale::system().language() == QLocale::Russian) {
        QTranslator translator;
        if (translator.load(QStringLiteral(":/i18n/pagora_ru.qm"))) {
            const QString text = translator.translate("CommandLine", kUsage);
            if (!text.isEmpty())
                return text;
        }
    }
    return QString::fromUtf8(kUsage);
}

bool is(const char *argument, const char *shortName, const char *longName)
{
    return std::strcmp(argument, shortName) == 0 || std::strcmp(argument, longName) == 0;
}

} // namespace

int CommandLine::handleInfoOptions(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (is(argv[i], "-h", "--help")) {
            std::fputs(usage().toLocal8Bit().constData(), stdout);
            return 0;
        }
        if (is(argv[i], "-V", "--version")) {
            std::printf("pagora-pro %s\n", PAGORA_VERSION);
            return 0;
        }
    }
    return -1;
}
