#pragma once

#include <QFile>
#include <QString>

// Writes a file under a temporary name in the destination folder and renames it
// into place on commit(), so a page file is never seen half-written under its
// final name. Without commit() the temporary file is removed. No fsync: the page
// must appear quickly while the next sheet is being scanned, and a rename within
// one folder is atomic.
class AtomicFile final
{
    Q_DISABLE_COPY_MOVE(AtomicFile)

public:
    explicit AtomicFile(const QString &finalPath);
    ~AtomicFile();

    bool open();
    QFile &file() { return m_file; }
    bool commit();
    QString errorString() const { return m_error; }

private:
    QString m_finalPath;
    QFile m_file;
    QString m_error;
    bool m_committed = false;
};
