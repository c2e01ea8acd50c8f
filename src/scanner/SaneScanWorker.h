#pragma once

#include "scanner/SaneBlockingCalls.h"
#include "scanner/SaneWorkerTypes.h"

#include <QMutex>
#include <QObject>
#include <QWaitCondition>
#include <atomic>
#include <memory>

// Owns the SANE handle and makes every call on it, on the SANE thread (see
// SaneLibrary): the control calls the public methods only through queued
// QMetaObject::invokeMethod; results come back as values or queued signals.
// requestStop(), pageHandled() and setMaxPageBytes() are thread-safe: they only set
// flags the worker reads between two reads from the device. The blocking calls it
// marks may be cancelled from another thread (see m_calls).
//
// A feeder batch hands each page over as soon as its last byte is read and only
// then starts the next sheet: network drivers return from sane_start only once the
// next sheet's image has arrived, seconds later. batchEnded follows the last page.
class SaneScanWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaneScanWorker)

public:
    // calls: where the worker marks its blocking device calls; shared with the
    // control, which may outlive the worker's deletion while it cancels.
    explicit SaneScanWorker(std::shared_ptr<SaneBlockingCalls> calls, QObject *parent = nullptr);
    ~SaneScanWorker() override;

    // SANE thread only.
    bool listDevices(QList<ScanRules::DeviceEntry> *devices);
    // Reads the list and answers with devicesListed; the caller goes on meanwhile.
    void listDevicesFor(int requestId);
    OpenResult openDevice(const QByteArray &name, const OptionOverrides &overrides);
    // Opens a device and answers with deviceOpened; the caller goes on meanwhile.
    // With listFirst the device list is read first and comes with the answer; an
    // empty name then opens source `index` of that list (the first when out of range).
    void openDeviceFor(int requestId, const QByteArray &name, int index, bool listFirst,
                       const OptionOverrides &overrides);
    // Opens and closes the device by its name, without reading the list, and
    // answers with deviceProbed.
    void probeDeviceFor(int requestId, const QByteArray &name);
    void closeDevice();
    // Closes the device and answers with stopped(stopId). Queued after a stop, it
    // runs once the stopped batch has ended.
    void closeAndReport(int stopId);
    ApplyResult applySettings(const ScanSettings &settings);
    void acquire(const ScanSettings &settings, int batchId);

    // Any thread.
    // Stops batch batchId and every earlier one, also one whose acquire() has not
    // started yet: a stop that arrives first is not forgotten. Sheets already read
    // are still announced; the sheet being read is dropped and no other is started.
    void requestStop(int batchId);
    void pageHandled();
    void setMaxPageBytes(qint64 bytes) { m_maxPageBytes = bytes; }

    // The next sheet starts only while at most this many pages are announced and
    // not yet handled by the UI, so a slow UI holds the transfer back instead of
    // letting pages pile up in memory.
    static constexpr int kMaxPagesInFlight = 1;
    // A feeder batch "until the feeder is empty" ends here at the latest: a device
    // that never says so (a source that is no feeder after all) must not scan on
    // for ever.
    static constexpr int kMaxFeederSheets = 1000;
    // How long a call must have blocked before a stop cancels it from outside.
    static constexpr int kBlockedCancelMs = 200;
    // The default memory limit for one page: 1 GiB, or a quarter of the RAM if less.
    static qint64 defaultMaxPageBytes();

signals:
    void pageReady(int batchId, const ScannedPage &page);
    // After the last pageReady of a batch that said more: the feeder ran empty
    // (errorCode 0) or the next sheet failed. Not sent for a stopped batch.
    void batchEnded(int batchId, int errorCode);
    // A stop cut a sheet short while it was being transferred: it is not delivered.
    void sheetDropped(int batchId);
    void progress(int batchId, int percent);
    void acquisitionFailed(int batchId, int errorCode);
    void devicesListed(int requestId, bool ok, const QList<ScanRules::DeviceEntry> &devices);
    void stopped(int stopId);
    void deviceProbed(int requestId, bool ok);
    void deviceOpened(int requestId, const OpenResult &result);

private:
    int errorFor(int saneStatus);
    // The paper sensor's reading; true without a sensor or a readable one.
    bool paperLoaded();
    bool stopRequested(int batchId) const { return m_stopUpTo.load() >= batchId; }
    void waitForSlot(int batchId);
    static void settleBeforeCancel();
    // sane_start, marked as a call that may block.
    int startSheet(void *handle);

    // The one exception to "one thread calls SANE": the control calls sane_cancel
    // through it when the SANE thread has been inside sane_start (or a blocking
    // sane_read) for kBlockedCancelMs, so that a driver waiting for a sheet (a
    // network scanner) aborts its request at once. The SANE standard allows
    // sane_cancel asynchronously; the wait keeps it away from backends that return
    // at once, whose start is not safe to cancel mid-way (the test backend's reader
    // thread), and the net backend is left out: its cancel is a request on the very
    // connection the blocked call waits on.
    std::shared_ptr<SaneBlockingCalls> m_calls;
    bool m_cancellable = false; // the open device may be cancelled from outside

    void *m_handle = nullptr;
    QByteArray m_deviceName;
    DeviceCaps m_caps;
    std::atomic_int m_stopUpTo{0}; // batches up to this id are stopped
    std::atomic<qint64> m_maxPageBytes;
    QMutex m_flowMutex;
    QWaitCondition m_flow;
    int m_inFlight = 0;
};
