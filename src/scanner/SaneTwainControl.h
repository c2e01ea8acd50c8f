#pragma once

#include "scanner/PageBuffer.h"
#include "scanner/SaneBlockingCalls.h"
#include "scanner/SaneWorkerTypes.h"
#include "scanner/TTwainControl.h"

#include <QElapsedTimer>
#include <QTimer>
#include <memory>

class SaneDeviceLister;
class SaneScanWorker;

// The scanner control over SANE. The SANE handle belongs to a worker on the SANE
// thread (SaneLibrary); this object lives on the UI thread and talks to the worker
// by queued calls only, and never waits for it: a network scanner may take seconds
// per exchange, and the window must not freeze meanwhile.
// - OpenDataSource returns at once (1: the open is under way) and OnSourceOpened
//   follows with the result; the open reads the device list first when none has been
//   read (or after an open failed: the device may have gone). dataSourceState reads
//   4 meanwhile; an Acquire given before the answer runs once the device is open.
// - The settings are answered from what the open learnt about the device (its
//   sources, modes, resolution constraint and bed): resolution() and the warnings
//   39 and 45 are known at once. They reach the device once, with Acquire; what the
//   device then refuses comes as OnPostScan(1) with errorCode, and the resolution it
//   really used comes with each page.
// - feederLoaded is the paper sensor's reading at the open; a feeder emptied since
//   fails the Acquire with error 6 before anything is fed.
// Behaviour worth knowing:
// - pageSize: 1..15 are the sizes of the size list at the top-left of the bed,
//   clamped to it; 0 is the whole bed unless SetImageLayout gave an area. Without
//   either since OpenDataSource the device scans its own default area.
// - Feeder batch: each page is announced as soon as it is read, and the next
//   sheet is started after it (a network scanner sends the next sheet's image
//   only with it), so dataSourceState reads 6 during every feeder page's
//   OnPostScan and OnSourceFinished ends the batch; a failure on a later sheet
//   comes with it as errorCode. A single-page batch (flatbed, preview) reads 0
//   during its page's OnPostScan.
// - Stop: a sheet read to its end before or during the stop is delivered. A call
//   into the driver that has blocked for SaneScanWorker::kBlockedCancelMs (a
//   network scanner waiting for the next sheet) is cancelled from the UI thread,
//   so the scanner is told at once; the sheet it was sending is dropped and
//   counted in droppedSheets().
// - dataSourceState: 0 closed or finished, 4 open, 5 acquiring, 6 a page is being
//   handled and another follows. After StopDevice during a batch it stays non-zero
//   (pages read before the stop may still arrive) until OnStopped.
// - Destroying the control stops and closes the device on the SANE thread and
//   waits kShutdownMs at most, counted from the first unanswered StopDevice; a
//   backend that does not return by then is left behind (SaneLibrary::isAbandoned).
// - Only the newest two images are kept; numImages still counts all of them.
// - Error codes and texts: see scanner/ScanErrors.h. A page file that cannot be
//   written sets code 15 with the path, so the failure reaches the status line.
class SaneTwainControl final : public TTwainControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaneTwainControl)

public:
    explicit SaneTwainControl(QObject *parent = nullptr);
    ~SaneTwainControl() override;

    // 1 when a source list is held (ListSources or an open read it); never waits
    // for the devices.
    int StartDevice() override;
    // Reads the list in a separate process when the program provides one
    // (SaneDeviceLister), so commands given meanwhile do not wait for it; otherwise,
    // or when that process cannot be run, on the worker. The answer comes as a
    // queued OnSourcesListed. An open (idle) source is closed first, as the
    // indexes may change.
    void ListSources() override;
    void StopDevice() override;
    int sourceCount() const override;
    QString GetSourceProductName(int index) const override;
    QString GetSourceDeviceName(int index) const override { return deviceName(index); }
    // Probes the device on the worker; the product name shown until the next list
    // is the device name, as opening tells nothing more.
    void OpenRememberedSource(const QString &deviceName) override;
    int OpenDataSource() override;
    void OpenSource() override { OpenDataSource(); }
    int dataSourceState() const override { return m_state; }

    void setPixelType(int v) override;
    void setResolution(int dpi) override;
    int resolution() const override;
    void setPageSize(int code) override;
    void SetImageLayout(float left, float top, float right, float bottom) override;

    int feederAvailable() const override;
    int feederLoaded() const override;
    void setFeederEnabled(int v) override;
    void setDuplexEnabled(int v) override;
    void setXferCount(int v) override;

    void Acquire() override;
    int numImages() const override { return m_buffer.count(); }
    bool SaveImage(int index, const QString &path) override;
    QImage GetImage(int index) const override { return m_buffer.at(index); }
    void setManualPageRelease(bool on) override { m_manualRelease = on; }
    void releasePage() override;
    int droppedSheets() const override { return m_droppedSheets; }
    int GetImageWidth(int index) const override;
    int GetImageHeight(int index) const override;
    int IsBlankImage(int index, float maxNoiseLevel, float &currentNoiseLevel) override;

    // Test and diagnosis knob: a SANE option set on the device at every
    // OpenDataSource, after opening and before anything else, e.g.
    // ("test-picture", "Solid white") or ("read-return-value", "SANE_STATUS_JAMMED")
    // on SANE's test backend. Options the device lacks are skipped. A later call
    // for the same name replaces the value.
    void setDeviceOptionOverride(const QByteArray &name, const QVariant &value);
    void clearDeviceOptionOverrides();
    // Largest page held in memory (default: 1 GiB or a quarter of the RAM).
    void setMaxPageBytes(qint64 bytes);
    // SANE device name of a source, e.g. "test:0".
    QString deviceName(int index) const;

    static constexpr int kShutdownMs = 1500;
    static constexpr int kCancelCheckMs = 100;

private:
    void onStopped(int stopId);
    // Closes an idle source without the OnStopped of a StopDevice.
    void closeQuietly();
    void onDevicesListed(int requestId, bool ok, const QList<ScanRules::DeviceEntry> &devices);
    void onDeviceProbed(int requestId, bool ok);
    void onDeviceOpened(int requestId, const OpenResult &result);
    // OnSourceOpened(0) after the caller's return, unless another open or a close
    // comes first.
    void answerOpenLater();
    void listOnWorker(int requestId);
    void takeDeviceList(const QList<ScanRules::DeviceEntry> &devices);
    void onPageReady(int batchId, const ScannedPage &page);
    void onProgress(int batchId, int percent);
    void onFailed(int batchId, int code);
    void onBatchEnded(int batchId, int code);
    // While a stop is unanswered: cancels a driver call that blocks.
    void cancelBlockedCall();
    void emitProgress(int percent);
    void flushProgress();
    // resolution() and the warnings, from the open device's capabilities.
    void answerFromCaps();
    void noteError(int code);
    void endBatch();

    std::shared_ptr<SaneBlockingCalls> m_calls = std::make_shared<SaneBlockingCalls>();
    SaneScanWorker *m_worker = nullptr;
    SaneDeviceLister *m_lister = nullptr;
    int m_listerRequest = 0; // the ListSources its running search answers
    QList<ScanRules::DeviceEntry> m_devices;
    QStringList m_names;
    bool m_listed = false;
    bool m_open = false;
    bool m_opening = false; // an open is under way on the worker
    int m_openRequest = 0;  // only the newest open is answered
    bool m_busy = false;
    int m_state = 0;
    int m_batchId = 0;
    int m_stopsPending = 0;  // StopDevice calls not answered by OnStopped yet
    int m_stoppingBatch = 0; // its pages are still delivered until then
    int m_lastStopId = 0;
    QElapsedTimer m_stopClock;     // since the oldest unanswered stop
    int m_listRequest = 0;         // only the newest ListSources is answered
    QString m_rememberedName;      // probed by OpenRememberedSource
    bool m_keepRemembered = false; // listed alone: the next list keeps it
    DeviceCaps m_caps;
    ScanSettings m_settings;
    int m_effectiveResolution = 0; // 0: not applied to a device yet
    OptionOverrides m_overrides;
    PageBuffer m_buffer;
    QElapsedTimer m_progressClock;
    QTimer m_progressTimer;
    int m_pendingPercent = -1;
    bool m_manualRelease = false;
    int m_droppedSheets = 0;
    QTimer m_cancelTimer; // runs while a stop is unanswered
};
