#pragma once

#include <QFile>
#include <QString>

// Writes a file under a temporary name in the destination folder and renames it
// into place on commit(), so a page file is never seen half-written under its
// final name. Without commit() the temporary file is removed. commit() neither
// syncs nor refuses to replace (the preview image, the update file);
// commitNew() does both, for files that must survive a power cut and must
// never take the place of another (page files, working copies);
// commitReplacing() syncs and replaces, for a file written anew whole over its
// last version (a PDF document, the page journal).
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

    // Only the owner may read the file, wherever it goes; before open().
    void setOwnerOnly() { m_ownerOnly = true; }
    bool open();
    QFile &file() { return m_file; }
    // All of data, or false with the reason in errorString().
    bool write(const QByteArray &data);
    bool commit();
    // Syncs the file, puts it in place of whatever holds the final name (a link
    // there is replaced, never followed), then syncs the folder: after a power
    // cut the name holds the old file or the new one, whole.
    bool commitReplacing();
    // Asks the system to start writing the data out now (sync_file_range), so that
    // commitNew() later waits for less; a hint, without an answer.
    void startWriteback();
    // Syncs the file, puts it under the final name only if nothing holds that
    // name, then syncs the folder. On a clash: false with clashed() set, and the
    // written file stays for commitAs() under another name.
    bool commitNew();
    bool commitAs(const QString &finalPath);
    bool clashed() const { return m_clashed; }
    QString finalPath() const { return m_finalPath; }
    // The reason of the last failure, with the system's text where there is one.
    QString errorString() const { return m_error; }

private:
    bool closeSynced();

    QString m_finalPath;
    QString m_tempPath; // a QFile opened on a descriptor does not know its name
    QFile m_file;
    QString m_error;
    bool m_committed = false;
    bool m_closed = false; // written, synced and closed: only the name is left to give
    bool m_clashed = false;
    bool m_ownerOnly = false;
};
