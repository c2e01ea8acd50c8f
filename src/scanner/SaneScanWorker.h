#pragma once

#include "scanner/SaneWorkerTypes.h"

#include <QMutex>
#include <QObject>
#include <QWaitCondition>
#include <atomic>

// Owns the SANE handle and makes every call on it, on the SANE thread (see
// SaneLibrary): the control calls the public methods only through queued
// QMetaObject::invokeMethod; results come back as values or queued signals.
// requestStop(), pageHandled() and setMaxPageBytes() are the thread-safe exceptions:
// they only set flags the worker reads between two reads from the device.
class SaneScanWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaneScanWorker)

public:
    explicit SaneScanWorker(QObject *parent = nullptr);
    ~SaneScanWorker() override;

    // SANE thread only.
    bool listDevices(QList<ScanRules::DeviceEntry> *devices);
    // Reads the list and answers with devicesListed; the caller goes on meanwhile.
    void listDevicesFor(int requestId);
    OpenResult openDevice(const QByteArray &name, const OptionOverrides &overrides);
    // Opens and closes the device by its name, without reading the list, and
    // answers with deviceProbed.
    void probeDeviceFor(int requestId, const QByteArray &name);
    void closeDevice();
    // Closes the device and answers with stopped(stopId). Queued after a stop, it
    // runs once the stopped batch has ended.
    void closeAndReport(int stopId);
    ApplyResult applySettings(const ScanSettings &settings);
    int readFeederLoaded(const ScanSettings &settings);
    void acquire(const ScanSettings &settings, int batchId);

    // Any thread.
    // Stops batch batchId and every earlier one, also one whose acquire() has not
    // started yet: a stop that arrives first is not forgotten. Sheets already read
    // are still announced; the sheet being read is dropped and no other is started.
    void requestStop(int batchId);
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
    void stopped(int stopId);
    void deviceProbed(int requestId, bool ok);

private:
    int errorFor(int saneStatus);
    bool stopRequested(int batchId) const { return m_stopUpTo.load() >= batchId; }
    void waitForSlot(int batchId);
    static void settleBeforeCancel();

    void *m_handle = nullptr;
    QByteArray m_deviceName;
    DeviceCaps m_caps;
    std::atomic_int m_stopUpTo{0}; // batches up to this id are stopped
    std::atomic<qint64> m_maxPageBytes;
    QMutex m_flowMutex;
    QWaitCondition m_flow;
    int m_inFlight = 0;
};
