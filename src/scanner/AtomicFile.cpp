#include "scanner/AtomicFile.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cstdio>

AtomicFile::AtomicFile(const QString &finalPath) : m_finalPath(finalPath)
{
}

AtomicFile::~AtomicFile()
{
    if (!m_committed && !m_file.fileName().isEmpty()) {
        m_file.close();
        m_file.remove();
    }
}

bool AtomicFile::open()
{
    const QFileInfo info(m_finalPath);
    if (info.fileName().isEmpty()) {
        m_error = QStringLiteral("No file name");
        return false;
    }
    if (info.isDir()) {
        m_error = QStringLiteral("A folder of that name exists");
        return false;
    }
    // A hidden name with a random part; NewOnly never reuses somebody else's file.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString name =
            QStringLiteral("%1/.%2.%3.part")
                .arg(info.absolutePath(), info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_file.setFileName(name);
        // Unbuffered: the writers hand over large blocks; a second copy would only cost time.
        if (m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        if (m_file.error() != QFileDevice::OpenError || !QFileInfo::exists(name))
            break;
    }
    m_error = m_file.errorString();
    m_file.setFileName(QString());
    return false;
}

bool AtomicFile::commit()
{
    if (!m_file.isOpen())
        return false;
    const bool flushed = m_file.flush() && m_file.error() == QFileDevice::NoError;
    m_file.close();
    if (!flushed) {
        m_error = m_file.errorString();
        return false;
    }
    // rename() replaces an existing page file in one step, unlike QFile::rename.
    if (std::rename(QFile::encodeName(m_file.fileName()).constData(),
                    QFile::encodeName(m_finalPath).constData()) != 0) {
        m_error = QStringLiteral("Cannot rename into place");
        return false;
    }
    m_committed = true;
    return true;
}
