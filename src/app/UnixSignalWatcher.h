#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns termination signals (SIGTERM at logout or from kill, SIGINT, SIGHUP) into
// a Qt signal on the thread that created the watcher. The signals are blocked in
// every thread and read from a signalfd by the event loop. After the first signal
// the default actions come back, so a second one ends a program whose orderly
// close hangs.
class UnixSignalWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnixSignalWatcher)

public:
    // Call first in main, before any thread starts: threads inherit the mask, so
    // no thread ever takes these signals itself.
    static void blockInEveryThread(const QList<int> &signalNumbers);

    // One watcher per process.
    explicit UnixSignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readSignal();
    void restoreDefaults();

    QList<int> m_signals;
    QSocketNotifier *m_notifier = nullptr;
    int m_fd = -1;
};
