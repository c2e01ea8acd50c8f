#pragma once

#include "scanner/ScanRules.h"

#include <QDeadlineTimer>
#include <QList>
#include <QMutex>

class QObject;
class QThread;

// SANE for the whole process. Backends are not required to be reentrant, and some
// (the test backend among them) tear down their reader threads in ways that are safe
// only from the thread that started them: one thread, the SANE thread, makes every
// sane_* call, sane_init and sane_exit included. The one exception is sane_cancel
// of a call that has blocked on the device for a while (SaneBlockingCalls), which
// the SANE standard allows from any thread. Scanner controls attach to it while
// they exist; the last one to detach shuts SANE down on it and stops it.
class SaneLibrary final
{
public:
    static SaneLibrary &instance();

    // --- UI thread: the thread's life ---
    // The SANE thread, started when the first control attaches.
    QThread *attach();
    // The last control to detach has sane_exit run on the SANE thread and the thread
    // stopped, waiting until the deadline at most. False when the thread did not end
    // in time (a backend call that never returns): it is then left running and never
    // destroyed, and SANE stays unusable for the rest of the process.
    bool detach(QDeadlineTimer deadline);
    // A backend call on the SANE thread did not return when SANE was shut down.
    bool isAbandoned() const;

    // --- SANE thread only ---
    bool ensureInitialized();
    // Reads the device list afresh. False when SANE could not be initialised.
    bool listDevices(QList<ScanRules::DeviceEntry> *devices);
    bool isDeviceListed(const QString &name);
    // sane_open / sane_close; the handle is a SANE_Handle.
    int open(const QByteArray &name, void **handle);
    void close(void *handle);
    // sane_exit; later calls initialise again.
    void shutdown();

    // Whether the calling thread is the SANE thread (asserted by every SANE call).
    bool onSaneThread() const;

private:
    SaneLibrary() = default;
    ~SaneLibrary() = default;
    Q_DISABLE_COPY_MOVE(SaneLibrary)

    mutable QMutex m_mutex; // guards the thread's life; SANE calls need no lock
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr; // lives on m_thread: runs the shutdown there
    int m_users = 0;
    bool m_abandoned = false;
    // SANE thread only.
    bool m_initialized = false;
    int m_openHandles = 0;
};
