#include "pages/WorkingCopies.h"

#include "files/TempFolder.h"
#include "pages/PageEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace WorkingCopies {

namespace {

QString canonicalFolder(const QString &folder)
{
    return QFileInfo(folder.isEmpty() ? TempFolder::path() : folder).canonicalFilePath();
}

QString cleanAbsolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

bool removable(const QString &copy, const QString &pageFile, const QString &folder)
{
    if (copy.isEmpty())
        return false;
    if (!pageFile.isEmpty() && cleanAbsolute(copy) == cleanAbsolute(pageFile))
        return false;
    // The folder the name sits in, links resolved: a path through ".." or a
    // linked folder that leads out of the temporary folder is not in it.
    const QString in = QFileInfo(QFileInfo(copy).absolutePath()).canonicalFilePath();
    const QString copies = canonicalFolder(folder);
    if (in.isEmpty() || copies.isEmpty() || in != copies)
        return false;
    // Whatever the page says, the name itself must not be a page file's either: a
    // link named like a copy is removed as a link, never followed.
    if (!pageFile.isEmpty()) {
        const QFileInfo a(copy);
        const QFileInfo b(pageFile);
        if (a.exists() && b.exists() && !a.isSymLink() &&
            a.canonicalFilePath() == b.canonicalFilePath())
            return false;
    }
    return true;
}

bool remove(const QString &copy, const QString &pageFile, const QString &folder)
{
    return removable(copy, pageFile, folder) && QFile::remove(copy);
}

bool isOriginal(const PageEntry &page)
{
    return page.added && cleanAbsolute(page.workingCopy) == cleanAbsolute(page.pageFile);
}

} // namespace WorkingCopies
