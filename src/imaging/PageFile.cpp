#include "imaging/PageFile.h"

#include "files/LocalFileName.h"
#include "imaging/PageLimits.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PageFile {

int open(const QString &path, Failure *failure)
{
    *failure = Failure::None;
    const int fd =
        path.isEmpty() ? -1 : LocalFileName::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (path.isEmpty())
            errno = ENOENT;
        *failure = Failure::CannotOpen;
        return -1;
    }
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        *failure = Failure::NotRegular;
    else if (st.st_size > PageLimits::LargestFileBytes)
        *failure = Failure::TooLarge;
    if (*failure != Failure::None) {
        ::close(fd);
        return -1;
    }
    // Reads of a regular file never block, whatever O_NONBLOCK says.
    return fd;
}

bool open(QFile &file, const QString &path, Failure *failure)
{
    const int fd = open(path, failure);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        const int reason = EIO;
        ::close(fd);
        errno = reason;
        *failure = Failure::CannotOpen;
        return false;
    }
    return true;
}

QString refusalText(const QString &path, Failure failure)
{
    switch (failure) {
    case Failure::NotRegular:
        return QCoreApplication::translate("PageImages", "'%1' is not a regular file").arg(path);
    case Failure::TooLarge:
        return QCoreApplication::translate("PageImages",
                                           "'%1' is larger than any page the program can scan")
            .arg(path);
    default:
        return QString();
    }
}

} // namespace PageFile
