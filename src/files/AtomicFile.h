#pragma once

#include <QFile>
#include <QString>

// Writes a file under a temporary name in the destination folder and renames it
// into place on commit(), so a page file is never seen half-written under its
// final name. Without commit() the temporary file is removed. No fsync: the page
// must appear quickly while the next sheet is being scanned, and a rename within
// one folder is atomic.
//
// The temporary file is always new (O_EXCL, O_NOFOLLOW): a link planted under its
// name or the final name is never followed, the rename replaces the link itself.
// Files that end up in the temporary folder are readable by their owner only.
class AtomicFile final
{
    Q_DISABLE_COPY_MOVE(AtomicFile)

public:
    explicit AtomicFile(const QString &finalPath);
    ~AtomicFile();

    bool open();
    QFile &file() { return m_file; }
    bool commit();
    // The reason of the last failure, with the system's text where there is one.
    QString errorString() const { return m_error; }

private:
    QString m_finalPath;
    QString m_tempPath; // a QFile opened on a descriptor does not know its name
    QFile m_file;
    QString m_error;
    bool m_committed = false;
};
