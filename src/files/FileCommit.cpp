#include "files/FileCommit.h"

#include "files/LocalFileName.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace FileCommit {

namespace {

std::atomic<bool> g_flagsUnsupported{false};

// What renameat2 answers where the file system or the kernel lacks the flag.
bool flagUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

int syncDescriptorOf(const QByteArray &path, int flags)
{
    const int fd = ::open(path.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    while (::fsync(fd) != 0) {
        if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    ::close(fd);
    // Some file systems cannot sync a folder at all; that is no failure of ours.
    return error == EINVAL && (flags & O_DIRECTORY) ? 0 : error;
}

} // namespace

int moveNoReplace(const QString &from, const QString &to)
{
    const QByteArray a = LocalFileName::encode(from);
    const QByteArray b = LocalFileName::encode(to);
    if (!g_flagsUnsupported) {
        if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
            return 0;
        if (!flagUnsupported(errno))
            return errno;
    }
    // link() never replaces an existing name; the old name goes once the new one holds.
    if (::link(a.constData(), b.constData()) != 0)
        return errno;
    ::unlink(a.constData());
    return 0;
}

int exchange(const QString &a, const QString &b)
{
    if (g_flagsUnsupported)
        return ENOTSUP;
    const QByteArray x = LocalFileName::encode(a);
    const QByteArray y = LocalFileName::encode(b);
    return ::renameat2(AT_FDCWD, x.constData(), AT_FDCWD, y.constData(), RENAME_EXCHANGE) == 0
               ? 0
               : errno;
}

int syncFile(const QString &path)
{
    return syncDescriptorOf(LocalFileName::encode(path), O_RDONLY | O_NOFOLLOW);
}

int syncFolderOf(const QString &path)
{
    return syncDescriptorOf(LocalFileName::encode(QFileInfo(path).absolutePath()),
                            O_RDONLY | O_DIRECTORY);
}

void setRenameFlagsUnsupportedForTest(bool unsupported)
{
    g_flagsUnsupported = unsupported;
}

} // namespace FileCommit
