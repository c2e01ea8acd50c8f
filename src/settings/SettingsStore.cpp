#include "settings/SettingsStore.h"

#include <QLoggingCategory>
#include <QVariant>
#include <atomic>

namespace {

Q_LOGGING_CATEGORY(lcSettings, "pagora.settings", QtWarningMsg)

QString &defaultFilePath()
{
    static QString path;
    return path;
}

SettingsStore::WriteFailureHandler &writeFailureHandler()
{
    static SettingsStore::WriteFailureHandler handler;
    return handler;
}

std::atomic_bool failureReported{false};

} // namespace

SettingsStore::SettingsStore()
{
    if (!defaultFilePath().isEmpty())
        m_settings = std::make_unique<QSettings>(defaultFilePath(), QSettings::IniFormat);
    else
        m_settings =
            std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                        QStringLiteral("Veldmark"), QStringLiteral("Pagora Pro"));
}

SettingsStore::SettingsStore(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore()
{
    if (!m_written)
        return;
    m_settings->sync();
    // A FormatError is about reading a hand-edited file; only AccessError means lost values.
    if (m_settings->status() != QSettings::AccessError)
        return;
    const QString path = location();
    qCWarning(lcSettings) << "settings not written to" << path << m_settings->status();
    // Every later close would fail the same way: one message is enough.
    if (failureReported.exchange(true))
        return;
    if (writeFailureHandler())
        writeFailureHandler()(path);
}

void SettingsStore::setWriteFailureHandler(WriteFailureHandler handler)
{
    writeFailureHandler() = std::move(handler);
}

bool SettingsStore::writeFailureReported()
{
    return failureReported.load();
}

void SettingsStore::resetWriteFailureReported()
{
    failureReported = false;
}

void SettingsStore::setDefaultFilePath(const QString &filePath)
{
    defaultFilePath() = filePath;
}

QString SettingsStore::location() const
{
    return m_settings->fileName();
}

bool SettingsStore::ValueExists(const QString &name) const
{
    return m_settings->contains(name);
}

bool SettingsStore::readString(const QString &name, QString &value) const
{
    if (!ValueExists(name))
        return false;
    const QVariant v = m_settings->value(name);
    // A hand-edited line with an unquoted comma comes back as a list: not a string.
    if (v.metaType().id() == QMetaType::QStringList)
        return false;
    if (!v.canConvert<QString>())
        return false;
    value = v.toString();
    return true;
}

bool SettingsStore::readInteger(const QString &name, int &value) const
{
    if (!ValueExists(name))
        return false;
    const QVariant v = m_settings->value(name);
    if (v.metaType().id() == QMetaType::QStringList)
        return false;
    bool ok = false;
    const int n =
        v.metaType().id() == QMetaType::QString ? v.toString().trimmed().toInt(&ok) : v.toInt(&ok);
    if (!ok)
        return false;
    value = n;
    return true;
}

bool SettingsStore::readBool(const QString &name, bool &value) const
{
    int n = 0;
    if (readInteger(name, n)) {
        value = n != 0;
        return true;
    }
    // Accept the words a person editing the file by hand would write.
    QString s;
    if (!readString(name, s))
        return false;
    s = s.trimmed().toLower();
    if (s == QLatin1String("true") || s == QLatin1String("false")) {
        value = s == QLatin1String("true");
        return true;
    }
    return false;
}

bool SettingsStore::readIntegerInRange(const QString &name, int min, int max, int &value) const
{
    int n = 0;
    if (!readInteger(name, n) || n < min || n > max)
        return false;
    value = n;
    return true;
}

void SettingsStore::WriteString(const QString &name, const QString &value)
{
    m_written = true;
    m_settings->setValue(name, value);
}

void SettingsStore::WriteInteger(const QString &name, int value)
{
    m_written = true;
    m_settings->setValue(name, value);
}

void SettingsStore::WriteBool(const QString &name, bool value)
{
    m_written = true;
    m_settings->setValue(name, value ? 1 : 0);
}
