#include "ocr/TesseractLibrary.h"

#include "ocr/Companion.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <dlfcn.h>

Q_LOGGING_CATEGORY(lcTesseract, "pagora.ocr.module", QtWarningMsg)

namespace {

struct Loaded
{
    const TesseractLibrary *library = nullptr;
    QString reason;
};

bool isFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

Loaded load()
{
    Loaded loaded;
    const QString name = QStringLiteral("pagora-tesseract.so");
    const QString path = Companion::find(name, isFile);
    if (path.isEmpty()) {
        loaded.reason = QStringLiteral("%1 not found").arg(name);
    } else if (void *module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL)) {
        // Never closed: engines and their threads may outlive any one user.
        const auto entry =
            reinterpret_cast<PagoraTesseractEntry>(dlsym(module, PAGORA_TESSERACT_ENTRY));
        loaded.library = entry ? entry(TesseractLibrary::Version) : nullptr;
        if (!loaded.library)
            loaded.reason = QStringLiteral("%1 is of another build").arg(path);
    } else {
        loaded.reason = QString::fromLocal8Bit(dlerror());
    }
    if (!loaded.library)
        qCWarning(lcTesseract).noquote() << "cannot load the text recognition:" << loaded.reason;
    return loaded;
}

} // namespace

const TesseractLibrary *TesseractLibrary::get(QString *error)
{
    static const Loaded loaded = load();
    if (!loaded.library && error)
        *error = QCoreApplication::translate("TesseractLibrary",
                                             "The text recognition cannot be loaded (%1)")
                     .arg(loaded.reason);
    return loaded.library;
}
