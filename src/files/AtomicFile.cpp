#include "files/AtomicFile.h"

#include "files/FileCommit.h"
#include "files/LocalFileName.h"
#include "files/TempFolder.h"
#include "i18n/SystemErrorText.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

AtomicFile::AtomicFile(const QString &finalPath) : m_finalPath(finalPath)
{
}

AtomicFile::~AtomicFile()
{
    if (!m_committed && !m_tempPath.isEmpty()) {
        // Closed first: nothing reaches the disk after the name is gone.
        m_file.close();
        ::unlink(LocalFileName::encode(m_tempPath).constData());
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
        m_error = SystemErrorText::text(EISDIR);
        return false;
    }
    // Working copies, the preview image and the update file may hold what the user
    // scanned: nobody else may read them, whatever the umask says.
    const mode_t mode = m_ownerOnly || TempFolder::holds(m_finalPath) ? 0600 : 0666;
    // A hidden name with a random part, never somebody else's file.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString name =
            QStringLiteral("%1/.%2.%3.part")
                .arg(info.absolutePath(), info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const int fd = ::open(LocalFileName::encode(name).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            m_error = SystemErrorText::text(errno);
            return false;
        }
        m_tempPath = name;
        // Unbuffered: the writers hand over large blocks; a second copy would only cost time.
        if (m_file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered,
                        QFileDevice::AutoCloseHandle))
            return true;
        ::close(fd);
        m_error = m_file.errorString();
        return false; // the destructor removes the file
    }
    m_error = SystemErrorText::text(EEXIST);
    return false;
}

bool AtomicFile::write(const QByteArray &data)
{
    if (!m_file.isOpen())
        return false;
    if (m_file.write(data) == data.size())
        return true;
    m_error = SystemErrorText::afterFailedWrite(m_file);
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
    if (std::rename(LocalFileName::encode(m_tempPath).constData(),
                    LocalFileName::encode(m_finalPath).constData()) != 0) {
        m_error = SystemErrorText::text(errno);
        return false;
    }
    m_committed = true;
    return true;
}

void AtomicFile::startWriteback()
{
    if (m_file.isOpen() && m_file.flush())
        ::sync_file_range(m_file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool AtomicFile::closeSynced()
{
    if (m_closed)
        return true;
    if (!m_file.isOpen())
        return false;
    const bool flushed = m_file.flush() && m_file.error() == QFileDevice::NoError;
    int error = 0;
    if (flushed) {
        while (::fsync(m_file.handle()) != 0) {
            if (errno != EINTR) {
                error = errno;
                break;
            }
        }
    }
    m_file.close();
    if (!flushed) {
        m_error = m_file.errorString();
        return false;
    }
    if (error != 0) {
        m_error = SystemErrorText::text(error);
        return false;
    }
    m_closed = true;
    return true;
}

bool AtomicFile::commitNew()
{
    m_clashed = false;
    if (m_committed || !closeSynced())
        return false;
    if (const int error = FileCommit::moveNoReplace(m_tempPath, m_finalPath)) {
        m_clashed = error == EEXIST;
        m_error = SystemErrorText::text(error);
        return false;
    }
    m_committed = true;
    // The file is in place whatever the folder's sync says; a folder that cannot
    // be synced (some network file systems) leaves nothing better to do.
    FileCommit::syncFolderOf(m_finalPath);
    return true;
}

bool AtomicFile::commitReplacing()
{
    if (m_committed || !closeSynced())
        return false;
    // rename() replaces the old file in one step, unlike QFile::rename.
    if (std::rename(LocalFileName::encode(m_tempPath).constData(),
                    LocalFileName::encode(m_finalPath).constData()) != 0) {
        m_error = SystemErrorText::text(errno);
        return false;
    }
    m_committed = true;
    FileCommit::syncFolderOf(m_finalPath);
    return true;
}

bool AtomicFile::commitAs(const QString &finalPath)
{
    if (m_committed)
        return false;
    m_finalPath = finalPath;
    return commitNew();
}
