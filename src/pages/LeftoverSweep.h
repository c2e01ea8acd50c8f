#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <ctime>

class QThread;

// What the program's writers leave behind when a session ends without closing,
// up to 100 MB each: a page file, working copy, PDF or update file written
// under a hidden name and not yet renamed into place, a turned copy and an
// original set aside while a page is turned, a journal's unfinished rewrite.
//
// One per window, holding the temporary folder for as long as the window lives,
// so that no later start takes this run's unfinished files for leftovers. The
// first run to hold the folder (no other run holds it) removes the leftovers it
// finds there and in the folders the journals of ended sessions name (never an
// added file's folder, which is the user's); any other
// run removes nothing. Only names of those exact forms go, and only regular
// files of this user from before the start; never links, folders, or a
// set-aside original whose page file is missing.
class LeftoverSweep final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LeftoverSweep)

public:
    LeftoverSweep(const QString &tempFolder, QObject *parent);
    // Waits for the clean-up (it stops between files), then lets the folder go.
    ~LeftoverSweep() override;

    // Holds the folder now and cleans up off this thread; finished() follows.
    void start();
    bool isFinished() const { return m_finished; }

    // Whether a file of that name is one of those leftovers, taken by its name
    // alone (bytes as the folder holds them).
    static bool isLeftoverName(const QByteArray &name);

signals:
    // The files removed.
    void finished(const QStringList &removed);

private:
    QStringList run();

    QString m_tempFolder;
    int m_folderFd = -1; // its lock is this run's hold on the folder
    int m_holdError = 0; // EWOULDBLOCK: another run holds it
    struct timespec m_began = {};
    QThread *m_worker = nullptr;
    std::atomic<bool> m_stop{false};
    bool m_finished = false;
};
