#include "i18n/TLangTranslator.h"

#include <QCoreApplication>

TLangTranslator::TLangTranslator(const char *context, std::initializer_list<Message> messages)
    : m_context(context)
{
    for (const Message &m : messages)
        m_english.insert(QString::fromLatin1(m.id), m.english);
}

QString TLangTranslator::GetTextOrDefault(const QString &id) const
{
    const auto it = m_english.constFind(id);
    if (it == m_english.constEnd())
        return QString();
    const QByteArray disambiguation = id.toLatin1();
    QString text = QCoreApplication::translate(m_context, it.value(), disambiguation.constData());
    text.replace(QLatin1String("\\n"), QLatin1String("\n"));
    return text;
}

QStringList TLangTranslator::ids() const
{
    return m_english.keys();
}
