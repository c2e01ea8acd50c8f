#include "pages/PageReservations.h"

#include <QDir>
#include <QFileInfo>

QString PageReservations::key(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void PageReservations::reserve(const QString &path)
{
    if (path.isEmpty())
        return;
    const QMutexLocker lock(&m_mutex);
    m_paths.insert(key(path));
}

bool PageReservations::tryReserve(const QString &path)
{
    const QString k = key(path);
    const QMutexLocker lock(&m_mutex);
    if (m_paths.contains(k))
        return false;
    m_paths.insert(k);
    return true;
}

void PageReservations::release(const QString &path)
{
    if (path.isEmpty())
        return;
    const QMutexLocker lock(&m_mutex);
    m_paths.remove(key(path));
}

bool PageReservations::contains(const QString &path) const
{
    if (path.isEmpty())
        return false;
    const QString k = key(path);
    const QMutexLocker lock(&m_mutex);
    return m_paths.contains(k);
}
