#pragma once

#include "scanner/SaneWorkerTypes.h"

#include <QMutex>
#include <QObject>
#include <QWaitCondition>
#include <atomic>

// Owns the SANE handle and runs every call on it. Lives on the control's worker
// thread: the control calls the public methods only through
// QMetaObject::invokeMethod; results come back as values or queued signals.
// requestCancel(), pageHandled() and setMaxPageBytes() are the thread-safe exceptions.
class SaneScanWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaneScanWorker)

public:
    explicit SaneScanWorker(QObject *parent = nullptr);
    ~SaneScanWorker() override;

    // Worker thread only.
    bool listDevices(QList<ScanRules::DeviceEntry> *devices);
    // Reads the list and answers with devicesListed; the caller goes on meanwhile.
    void listDevicesFor(int requestId);
    OpenResult openDevice(const QByteArray &name, const OptionOverrides &overrides);
    void closeDevice();
    ApplyResult applySettings(const ScanSettings &settings);
    int readFeederLoaded(const ScanSettings &settings);
    void acquire(const ScanSettings &settings, int batchId);

    // Any thread.
    // Cancels batch batchId and every earlier one, also one whose acquire() has
    // not started yet: a stop that arrives first is not forgotten.
    void requestCancel(int batchId);
    void pageHandled();
    void setMaxPageBytes(qint64 bytes) { m_maxPageBytes = bytes; }

    // At most this many pages are announced and not yet handled by the UI, so a
    // slow UI holds the transfer back instead of letting pages pile up in memory.
    static constexpr int kMaxPagesInFlight = 1;
    // The default memory limit for one page: 1 GiB, or a quarter of the RAM if less.
    static qint64 defaultMaxPageBytes();

signals:
    void pageReady(int batchId, const ScannedPage &page);
    void progress(int batchId, int percent);
    void acquisitionFailed(int batchId, int errorCode);
    void devicesListed(int requestId, bool ok, const QList<ScanRules::DeviceEntry> &devices);

private:
    int errorFor(int saneStatus);
    bool waitForSlot();
    static void settleBeforeCancel();

    QMutex m_handleMutex; // guards m_handle against requestCancel from the UI thread
    void *m_handle = nullptr;
    QByteArray m_deviceName;
    DeviceCaps m_caps;
    std::atomic_bool m_cancel{false}; // the running batch; the reader polls it
    std::atomic_int m_cancelUpTo{0};  // batches up to this id are cancelled
    std::atomic<qint64> m_maxPageBytes;
    QMutex m_flowMutex;
    QWaitCondition m_flow;
    int m_inFlight = 0;
};
