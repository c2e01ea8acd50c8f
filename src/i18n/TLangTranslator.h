#pragma once

#include <QHash>
#include <QString>

// The message table of one window: numbered texts (ids "IDS_<n>") that code
// composes into status lines, message boxes and titles. The English text is
// the source; the active language's text comes from the installed translation,
// looked up with the window's class name as context and the id as
// disambiguation, so a translator sees each message once.
class TLangTranslator final
{
public:
    // Laid out as QT_TRANSLATE_NOOP3 expands: English text, then the id.
    struct Message
    {
        const char *english;
        const char *id;
    };

    TLangTranslator(const char *context, std::initializer_list<Message> messages);

    // The text of id in the active language, else English; "" for an unknown id.
    // The two characters "\n" inside a text stand for a line break.
    QString GetTextOrDefault(const QString &id) const;

    const char *context() const { return m_context; }
    QStringList ids() const;

private:
    const char *m_context;
    QHash<QString, const char *> m_english;
};
