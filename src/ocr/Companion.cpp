#include "ocr/Companion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace {

QString runningProgram()
{
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    QString path = QFile::decodeName(QByteArray(buffer, int(n)));
    // A program replaced by an update while it runs.
    const QString deleted = QStringLiteral(" (deleted)");
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path;
}

} // namespace

QString Companion::find(const QString &name, bool (*usable)(const QString &path))
{
    const QString self = runningProgram();
    if (self.isEmpty())
        return {};
    const QDir folder = QFileInfo(self).absoluteDir();
    QStringList candidates{
        folder.filePath(name),
        QDir::cleanPath(folder.filePath(QStringLiteral(PAGORA_COMPANIONS_FROM_BINDIR "/") + name))};
    if (self.startsWith(QStringLiteral(PAGORA_BUILD_TREE "/")))
        candidates << QStringLiteral(PAGORA_BUILD_COMPANIONS "/") + name;
    for (const QString &candidate : candidates) {
        if (usable(candidate))
            return candidate;
    }
    return {};
}
