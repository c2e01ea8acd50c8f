#pragma once

// A tiny file system that fills up at once, for the "disk full" paths: a tmpfs
// mounted on a folder of the test's own (16 KiB unless a size such as "8m" is
// given). Mounting needs root (or the capability); where it is refused the
// tests that need it skip.

#include <QDir>
#include <QFile>
#include <QString>
#include <cerrno>
#include <sys/mount.h>

class FullDisk
{
public:
    explicit FullDisk(const QString &folder, const QByteArray &size = "16k") : m_folder(folder)
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + size + ",mode=0777";
        m_mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs",
                            MS_NOSUID | MS_NODEV, options.constData()) == 0;
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    // Space comes back: the same file system, files kept, made larger.
    bool grow(const QByteArray &size)
    {
        const QByteArray options = "size=" + size + ",mode=0777";
        return m_mounted && ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs",
                                    MS_REMOUNT | MS_NOSUID | MS_NODEV, options.constData()) == 0;
    }
    // A file in it: anything larger than a few kilobytes does not fit.
    QString filePath(const QString &name) const { return m_folder + QLatin1Char('/') + name; }

private:
    QString m_folder;
    bool m_mounted = false;
};
