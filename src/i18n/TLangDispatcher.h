#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QTranslator;

// Holds the active interface language and switches every window at once.
// English is the design language: its texts are the sources in the code.
// Every other language is a translation embedded as ":/i18n/pagora_<code>.qm";
// dropping in a new .ts file adds a language without touching any window.
// Windows re-apply their texts on QEvent::LanguageChange.
class TLangDispatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TLangDispatcher)

public:
    static TLangDispatcher &instance();

    // "English" first, then the embedded translations by English language name.
    QStringList languages() const;

    QString Language() const { return m_language; }

    // Switches to a language name of languages(). Setting the active one does
    // nothing; an unknown name is ignored (returns false) and the active
    // language stays. Windows have re-applied their texts when this returns.
    bool setLanguage(const QString &name);

signals:
    void languageChanged(const QString &name);

private:
    TLangDispatcher();
    ~TLangDispatcher() override;

    QString codeOf(const QString &name) const;

    QString m_language;
    std::unique_ptr<QTranslator> m_translator;
    // Qt's own texts (standard buttons, the system's error reasons); optional.
    std::unique_ptr<QTranslator> m_qtTranslator;
};
