#pragma once

#include "scanner/ScanRules.h"

#include <QList>
#include <QMutex>

// SANE for the whole process: initialised once on first use, shut down at program
// exit. The device list and opening or closing handles go through here under one
// lock, because backends are not required to be reentrant for these calls.
class SaneLibrary final
{
public:
    static SaneLibrary &instance();

    bool ensureInitialized();
    bool isInitialized() const;

    // Reads the device list afresh. False when SANE could not be initialised.
    bool listDevices(QList<ScanRules::DeviceEntry> *devices);
    bool isDeviceListed(const QString &name);

    // sane_open / sane_close under the lock; the handle is a SANE_Handle.
    int open(const QByteArray &name, void **handle);
    void close(void *handle);

    // sane_exit; called by the exit hook, later calls re-initialise.
    void shutdown();

private:
    SaneLibrary() = default;
    ~SaneLibrary();
    Q_DISABLE_COPY_MOVE(SaneLibrary)

    mutable QMutex m_mutex;
    bool m_initialized = false;
    int m_openHandles = 0;
};
