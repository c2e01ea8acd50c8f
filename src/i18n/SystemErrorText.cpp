#include "i18n/SystemErrorText.h"

#include <QCoreApplication>
#include <QFileDevice>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace SystemErrorText {

QString text(int errorNumber)
{
    // The reasons Qt translates itself, under Qt's own context and source texts.
    const char *qtText = nullptr;
    switch (errorNumber) {
    case EACCES:
        qtText = "Permission denied";
        break;
    case EMFILE:
        qtText = "Too many open files";
        break;
    case ENOENT:
        qtText = "No such file or directory";
        break;
    case ENOSPC:
        qtText = "No space left on device";
        break;
    default:
        break;
    }
    if (qtText)
        return QCoreApplication::translate("QIODevice", qtText);
#ifdef __GLIBC__
    if (const char *english = strerrordesc_np(errorNumber))
        return QString::fromLatin1(english);
#endif
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

QString afterFailedWrite(QFileDevice &file)
{
    const int fd = file.handle();
    const char byte = 0;
    if (fd >= 0 && ::write(fd, &byte, 1) < 0)
        return text(errno);
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return text(EIO);
}

} // namespace SystemErrorText
