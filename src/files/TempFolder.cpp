#include "files/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace TempFolder {

namespace {

bool isPrivateFolder(const QByteArray &path)
{
    struct stat st = {};
    if (lstat(path.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

QString privateFolder()
{
    static QMutex mutex;
    static QString cached;
    QMutexLocker lock(&mutex);
    if (!cached.isEmpty() && isPrivateFolder(QFile::encodeName(cached)))
        return cached;

    const QString base = QDir::tempPath();
    const QString preferred =
        base + QStringLiteral("/pagora-pro-") + QString::number(static_cast<qulonglong>(getuid()));
    const QByteArray p = QFile::encodeName(preferred);
    if (mkdir(p.constData(), 0700) == 0 || errno == EEXIST) {
        if (isPrivateFolder(p)) {
            cached = preferred;
            return cached;
        }
    }
    // Someone else holds the usual name (or it is a link): use a fresh folder.
    QByteArray templ = p + "-XXXXXX";
    if (mkdtemp(templ.data())) {
        cached = QFile::decodeName(templ);
        return cached;
    }
    return base;
}

} // namespace

QString path()
{
    const QByteArray temp = qgetenv("TEMP");
    if (!temp.isEmpty())
        return QFile::decodeName(temp);
    return privateFolder();
}

bool holds(const QString &filePath)
{
    const QString folder = QFileInfo(QFileInfo(filePath).absolutePath()).canonicalFilePath();
    return !folder.isEmpty() && folder == QFileInfo(path()).canonicalFilePath();
}

QString join(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

} // namespace TempFolder
