#pragma once

#include <QMutex>
#include <QSet>
#include <QString>

// The names of page files and working copies chosen and not yet listed: naming
// on the UI thread and the commit on the page worker both ask here, so a name
// taken by a page still being written is never given twice. Thread-safe.
class PageReservations final
{
    Q_DISABLE_COPY_MOVE(PageReservations)

public:
    PageReservations() = default;

    void reserve(const QString &path);
    // Reserves path only when nobody has: the check and the claim in one step.
    bool tryReserve(const QString &path);
    void release(const QString &path);
    bool contains(const QString &path) const;

    // Paths are compared cleaned and absolute: "a//b" and "a/b" are one file.
    static QString key(const QString &path);

private:
    mutable QMutex m_mutex;
    QSet<QString> m_paths;
};
