#pragma once

// What the gallery benchmarks share: the page size, how a time is taken, and
// how long the window's thread stands still.
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace GalleryBench {

constexpr int PageWidth = 2480; // A4 at 300 dots per inch
constexpr int PageHeight = 3508;

// The program's folders inside a scratch folder: the working copies in temp (as
// TEMP), the page files in dest, the settings beside them.
struct ScratchFolders
{
    QString temp;
    QString dest;
};
inline ScratchFolders useScratch(const QDir &scratch)
{
    const ScratchFolders folders{scratch.filePath(QStringLiteral("temp")),
                                 scratch.filePath(QStringLiteral("dest"))};
    QDir().mkpath(folders.temp);
    QDir().mkpath(folders.dest);
    qputenv("TEMP", QFile::encodeName(folders.temp));
    SettingsStore::setDefaultFilePath(scratch.filePath(QStringLiteral("settings.ini")));
    return folders;
}

// The median of runs timings of work, in milliseconds.
inline double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Times every event the UI thread handles, outermost deliveries only.
class TimedApplication final : public QApplication
{
public:
    using QApplication::QApplication;
    double longestEventCpuMs = 0;
    QByteArray longestEvent;       // the receiver's class and the event's type
    double longestEventWallMs = 0; // waits included (a lock, a disk)
    QByteArray longestWallEvent;
    double logAboveMs = 0; // events longer than this are printed as they end (0: none)

    void resetLongest()
    {
        longestEventCpuMs = 0;
        longestEventWallMs = 0;
        longestEvent.clear();
        longestWallEvent.clear();
    }

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        const bool outer = m_depth++ == 0;
        const double start = outer ? threadCpuMs() : 0;
        // Taken before: the event may delete its receiver (a deferred delete).
        const char *receiverClass = receiver->metaObject()->className();
        const int type = int(event->type());
        QElapsedTimer wall;
        wall.start();
        const bool handled = QApplication::notify(receiver, event);
        --m_depth;
        const double wallMs = wall.nsecsElapsed() / 1e6;
        if (outer && logAboveMs > 0 && wallMs > logAboveMs)
            std::fprintf(stderr, "    event %s %d: %.1f ms\n", receiverClass, type, wallMs);
        if (outer && wallMs > longestEventWallMs) {
            longestEventWallMs = wallMs;
            longestWallEvent = QByteArray(receiverClass) + ' ' + QByteArray::number(type);
        }
        if (outer && threadCpuMs() - start > longestEventCpuMs) {
            longestEventCpuMs = threadCpuMs() - start;
            longestEvent = QByteArray(receiverClass) + ' ' + QByteArray::number(type);
        }
        return handled;
    }

private:
    int m_depth = 0;
};

// The longest gap between the ticks of a 2 ms timer on the UI thread.
struct Probe
{
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer tick;
    Probe()
    {
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [this] {
            longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.start();
        });
    }
    void start()
    {
        longest = 0;
        sinceTick.start();
        tick.start(2);
    }
    double stop()
    {
        tick.stop();
        return longest;
    }
};

inline QByteArray loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    return load.open(QIODevice::ReadOnly) ? load.readAll().trimmed() : QByteArray("?");
}

} // namespace GalleryBench
