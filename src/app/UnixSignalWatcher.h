#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns termination signals (SIGTERM at logout or from kill, SIGINT, SIGHUP) into
// a Qt signal on the thread that created the watcher. The handler only writes the
// signal number into a socket pair, the one thing that is safe there; the event
// loop reads it. After the first signal the default actions come back, so a
// second one ends a program whose orderly close hangs.
class UnixSignalWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnixSignalWatcher)

public:
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
};
