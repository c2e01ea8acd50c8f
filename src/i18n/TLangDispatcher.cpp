#include "i18n/TLangDispatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

const QString English = QStringLiteral("English");
const QString QmFolder = QStringLiteral(":/i18n");

// "pagora_ru.qm" -> "ru"
QString codeFromFile(const QString &file)
{
    QString base = file;
    base.chop(3);
    return base.mid(base.indexOf(QLatin1Char('_')) + 1);
}

QString nameOfCode(const QString &code)
{
    return QLocale::languageToString(QLocale(code).language());
}

} // namespace

TLangDispatcher &TLangDispatcher::instance()
{
    static TLangDispatcher dispatcher;
    return dispatcher;
}

TLangDispatcher::TLangDispatcher() : m_language(English)
{
}

TLangDispatcher::~TLangDispatcher() = default;

QStringList TLangDispatcher::languages() const
{
    QStringList others;
    const QStringList files =
        QDir(QmFolder).entryList({QStringLiteral("pagora_*.qm")}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        others << nameOfCode(codeFromFile(file));
    others.sort();
    return QStringList{English} + others;
}

QString TLangDispatcher::codeOf(const QString &name) const
{
    const QStringList files =
        QDir(QmFolder).entryList({QStringLiteral("pagora_*.qm")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString code = codeFromFile(file);
        if (nameOfCode(code) == name)
            return code;
    }
    return QString();
}

bool TLangDispatcher::setLanguage(const QString &name)
{
    if (name == m_language)
        return true;

    std::unique_ptr<QTranslator> next;
    std::unique_ptr<QTranslator> nextQt;
    if (name != English) {
        const QString code = codeOf(name);
        if (code.isEmpty())
            return false;
        next = std::make_unique<QTranslator>();
        if (!next->load(QmFolder + QStringLiteral("/pagora_") + code + QStringLiteral(".qm")))
            return false;
        // Without Qt's translations installed those texts simply stay English.
        nextQt = std::make_unique<QTranslator>();
        if (!nextQt->load(QStringLiteral("qtbase_") + code,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            nextQt.reset();
    }

    for (auto *old : {m_translator.get(), m_qtTranslator.get()}) {
        if (old)
            QCoreApplication::removeTranslator(old);
    }
    m_translator = std::move(next);
    m_qtTranslator = std::move(nextQt);
    // Installed last is searched first: the program's own texts win.
    for (auto *now : {m_qtTranslator.get(), m_translator.get()}) {
        if (now)
            QCoreApplication::installTranslator(now);
    }
    m_language = name;

    // The application posts LanguageChange to every top-level window, shown or
    // not; deliver them now so the whole interface has switched on return.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    emit languageChanged(m_language);
    return true;
}
