#include "scanner/SaneTwainControl.h"

#include "scanner/BlankPageDetector.h"
#include "scanner/PageImageWriter.h"
#include "scanner/SaneDeviceLister.h"
#include "scanner/SaneDeviceSetup.h"
#include "scanner/SaneLibrary.h"
#include "scanner/SaneScanWorker.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScannerLog.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <climits>
#include <memory>

namespace {

constexpr int kProgressIntervalMs = 100; // at most ten progress events a second
constexpr int kStateClosed = 0;
constexpr int kStateOpen = 4;
constexpr int kStateAcquiring = 5;
constexpr int kStateMoreFollow = 6;

} // namespace

SaneTwainControl::SaneTwainControl(QObject *parent) : TTwainControl(parent)
{
    qRegisterMetaType<ScannedPage>();
    qRegisterMetaType<QList<ScanRules::DeviceEntry>>();
    qRegisterMetaType<OpenResult>();
    m_worker = new SaneScanWorker(m_calls);
    m_worker->moveToThread(SaneLibrary::instance().attach());
    connect(m_worker, &SaneScanWorker::pageReady, this, &SaneTwainControl::onPageReady,
            Qt::QueuedConnection);
    connect(m_worker, &SaneScanWorker::progress, this, &SaneTwainControl::onProgress,
            Qt::QueuedConnection);
    connect(m_worker, &SaneScanWorker::acquisitionFailed, this, &SaneTwainControl::onFailed,
            Qt::QueuedConnection);
    connect(m_worker, &SaneScanWorker::batchEnded, this, &SaneTwainControl::onBatchEnded,
            Qt::QueuedConnection);
    connect(
        m_worker, &SaneScanWorker::sheetDropped, this, [this] { ++m_droppedSheets; },
        Qt::QueuedConnection);
    connect(m_worker, &SaneScanWorker::devicesListed, this, &SaneTwainControl::onDevicesListed,
            Qt::QueuedConnection);
    connect(m_worker, &SaneScanWorker::stopped, this, &SaneTwainControl::onStopped,
            Qt::QueuedConnection);
    connect(m_worker, &SaneScanWorker::deviceProbed, this, &SaneTwainControl::onDeviceProbed,
            Qt::QueuedConnection);
    connect(m_worker, &SaneScanWorker::deviceOpened, this, &SaneTwainControl::onDeviceOpened,
            Qt::QueuedConnection);
    m_progressTimer.setSingleShot(true);
    connect(&m_progressTimer, &QTimer::timeout, this, &SaneTwainControl::flushProgress);
    m_cancelTimer.setInterval(kCancelCheckMs);
    connect(&m_cancelTimer, &QTimer::timeout, this, &SaneTwainControl::cancelBlockedCall);
}

SaneTwainControl::~SaneTwainControl()
{
    // Stop whatever runs, close the device on its own thread and let the worker go
    // with it; the last control also has SANE shut down there. The wait is bounded:
    // a backend that never returns is left behind with the worker it uses.
    qCDebug(lcScanner) << "closing the scanner control";
    m_worker->requestStop(INT_MAX);
    disconnect(m_worker, nullptr, this, nullptr);
    SaneScanWorker *worker = m_worker;
    auto closed = std::make_shared<std::atomic_bool>(false);
    QMetaObject::invokeMethod(
        worker,
        [worker, closed] {
            worker->closeDevice();
            worker->deleteLater();
            *closed = true;
        },
        Qt::QueuedConnection);
    const qint64 waited = m_stopsPending > 0 && m_stopClock.isValid() ? m_stopClock.elapsed() : 0;
    const qint64 budget = qMax<qint64>(200, kShutdownMs - waited);
    // A driver waiting for a sheet is told to stop once its call has blocked a
    // while, so that the device is closed within the budget.
    QElapsedTimer clock;
    clock.start();
    while (!*closed && clock.elapsed() < budget) {
        m_calls->cancelIfLonger(SaneScanWorker::kBlockedCancelMs);
        QThread::msleep(kCancelCheckMs / 10);
    }
    const qint64 rest = qMax<qint64>(100, budget - clock.elapsed());
    if (!SaneLibrary::instance().detach(QDeadlineTimer(rest)))
        qCWarning(lcScanner) << "scanner worker left behind after" << budget << "ms";
}

void SaneTwainControl::cancelBlockedCall()
{
    // Every call the worker makes until the stop is answered: one may start after
    // the stop was asked for.
    if (m_stopsPending == 0)
        m_cancelTimer.stop();
    else
        m_calls->cancelIfLonger(SaneScanWorker::kBlockedCancelMs);
}

int SaneTwainControl::StartDevice()
{
    // The list is kept between commands (reading it can take seconds with network
    // backends); ListSources reads it afresh, and an open without one reads it on the
    // worker. An empty list is not read again here: the caller's source index belongs
    // to the list it shows, so a new device could not be chosen anyway.
    if (!m_listed && m_devices.isEmpty())
        return 0;
    if (sourceIndex() < 0 || sourceIndex() >= m_devices.size())
        TTwainControl::setSourceIndex(m_devices.isEmpty() ? -1 : 0);
    return 1;
}

void SaneTwainControl::ListSources()
{
    // A source being opened is left to its command: its answer must come.
    if (m_open && !m_busy)
        closeQuietly();
    const int request = ++m_listRequest;
    if (!SaneDeviceLister::hasCommand()) {
        listOnWorker(request);
        return;
    }
    if (!m_lister) {
        m_lister = new SaneDeviceLister(this);
        connect(m_lister, &SaneDeviceLister::listed, this,
                [this](bool ok, bool started, const QList<ScanRules::DeviceEntry> &devices) {
                    if (started)
                        onDevicesListed(m_listerRequest, ok, devices);
                    else
                        listOnWorker(m_listerRequest);
                });
    }
    m_listerRequest = request;
    m_lister->start();
}

void SaneTwainControl::listOnWorker(int requestId)
{
    SaneScanWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, requestId] { worker->listDevicesFor(requestId); }, Qt::QueuedConnection);
}

void SaneTwainControl::OpenRememberedSource(const QString &deviceName)
{
    if (m_busy || deviceName.isEmpty()) {
        TTwainControl::OpenRememberedSource(deviceName);
        return;
    }
    if (m_open)
        closeQuietly();
    const int request = ++m_listRequest;
    m_rememberedName = deviceName;
    const QByteArray name = deviceName.toUtf8();
    SaneScanWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, request, name] { worker->probeDeviceFor(request, name); },
        Qt::QueuedConnection);
}

void SaneTwainControl::onDeviceProbed(int requestId, bool ok)
{
    // Overtaken by a list asked for later: that list decides.
    if (requestId != m_listRequest || !ok) {
        emit OnRememberedSourceOpened(0);
        return;
    }
    takeDeviceList({ScanRules::DeviceEntry{m_rememberedName, QString(), QString()}});
    TTwainControl::setSourceIndex(0);
    m_keepRemembered = true;
    emit OnRememberedSourceOpened(1);
}

void SaneTwainControl::onDevicesListed(int requestId, bool ok,
                                       const QList<ScanRules::DeviceEntry> &devices)
{
    if (requestId != m_listRequest)
        return;
    if (!ok) {
        emit OnSourcesListed(0);
        return;
    }
    takeDeviceList(devices);
    if (sourceIndex() < 0 || sourceIndex() >= m_devices.size())
        TTwainControl::setSourceIndex(m_devices.isEmpty() ? -1 : 0);
    emit OnSourcesListed(1);
}

void SaneTwainControl::takeDeviceList(const QList<ScanRules::DeviceEntry> &devices)
{
    // The chosen source keeps its place by name: indexes change with the list.
    const int chosen = sourceIndex();
    const bool hadChoice = chosen >= 0 && chosen < m_devices.size();
    const ScanRules::DeviceEntry current =
        hadChoice ? m_devices.at(chosen) : ScanRules::DeviceEntry{};
    m_devices = devices;
    int found = -1;
    for (int i = 0; hadChoice && i < m_devices.size(); ++i) {
        if (m_devices.at(i).name == current.name) {
            found = i;
            break;
        }
    }
    // A remembered source that opened is there, even when a search in a hurry (a
    // network device slow to answer) missed it.
    if (found < 0 && hadChoice && m_keepRemembered) {
        m_devices.append(current);
        found = int(m_devices.size()) - 1;
    }
    m_keepRemembered = false;
    if (found >= 0)
        TTwainControl::setSourceIndex(found);
    m_names = ScanRules::displayNames(m_devices);
    m_listed = true;
}

void SaneTwainControl::StopDevice()
{
    if (m_stopsPending++ == 0)
        m_stopClock.start();
    if (m_busy) {
        // The worker sees the flag between two reads; what it has read completely
        // still comes, then the answer below.
        m_stoppingBatch = m_batchId;
        m_worker->requestStop(m_batchId);
        m_busy = false;
    } else {
        m_state = kStateClosed;
    }
    m_open = false;
    m_opening = false;
    ++m_openRequest;
    m_progressTimer.stop();
    m_pendingPercent = -1;
    m_caps = DeviceCaps();
    m_effectiveResolution = 0;
    m_cancelTimer.start();
    cancelBlockedCall();
    const int stopId = ++m_lastStopId;
    SaneScanWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, stopId] { worker->closeAndReport(stopId); }, Qt::QueuedConnection);
}

void SaneTwainControl::onStopped(int stopId)
{
    Q_UNUSED(stopId)
    if (--m_stopsPending == 0) {
        m_cancelTimer.stop();
        m_stoppingBatch = 0;
        m_stopClock.invalidate();
        if (!m_busy)
            m_state = m_open ? kStateOpen : kStateClosed;
    }
    emit OnStopped();
}

void SaneTwainControl::closeQuietly()
{
    m_open = false;
    m_opening = false;
    ++m_openRequest;
    m_state = kStateClosed;
    m_caps = DeviceCaps();
    m_effectiveResolution = 0;
    SaneScanWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->closeDevice(); }, Qt::QueuedConnection);
}

int SaneTwainControl::sourceCount() const
{
    return int(m_devices.size());
}

QString SaneTwainControl::GetSourceProductName(int index) const
{
    return index >= 0 && index < m_names.size() ? m_names.at(index) : QString();
}

QString SaneTwainControl::deviceName(int index) const
{
    return index >= 0 && index < m_devices.size() ? m_devices.at(index).name : QString();
}

int SaneTwainControl::OpenDataSource()
{
    if (m_busy) {
        // A batch still running belongs to an earlier command: it ends here, and
        // its remaining events are dropped.
        m_worker->requestStop(m_batchId);
        ++m_batchId;
        endBatch();
    }
    if (m_open || m_opening)
        closeQuietly();
    clearError();
    const int index = sourceIndex();
    const bool chosen = index >= 0 && index < m_devices.size();
    // Without a list (or after an open failed) the worker reads one first.
    const bool listFirst = !m_listed;
    if (!chosen && !(listFirst && m_devices.isEmpty())) {
        setError(ScanError::NoSource, ScanError::text(ScanError::NoSource));
        answerOpenLater();
        return 0;
    }
    const QByteArray name = chosen ? m_devices.at(index).name.toUtf8() : QByteArray();
    const OptionOverrides overrides = m_overrides;
    const int request = ++m_openRequest;
    m_opening = true;
    m_state = kStateOpen;
    m_buffer.clear();
    m_droppedSheets = 0;
    // Page size, area and feeder belong to one command: a preview sends none of
    // them, and a flatbed scan after a feeder batch must not feed again.
    m_settings.pageSize = -1;
    m_settings.hasLayout = false;
    m_settings.feeder = false;
    m_settings.duplex = false;
    m_settings.xferCount = 1;
    TTwainControl::setFeederEnabled(0);
    TTwainControl::setDuplexEnabled(0);
    TTwainControl::setXferCount(1);
    TTwainControl::setAutoFeed(0);
    m_effectiveResolution = 0;
    SaneScanWorker *worker = m_worker;
    // Queued behind a stop still under way: the device is opened once it is closed.
    QMetaObject::invokeMethod(
        worker,
        [worker, request, name, index, listFirst, overrides] {
            worker->openDeviceFor(request, name, index, listFirst, overrides);
        },
        Qt::QueuedConnection);
    return 1;
}

void SaneTwainControl::answerOpenLater()
{
    const int request = ++m_openRequest;
    QMetaObject::invokeMethod(
        this,
        [this, request] {
            if (request == m_openRequest)
                emit OnSourceOpened(0);
        },
        Qt::QueuedConnection);
}

void SaneTwainControl::onDeviceOpened(int requestId, const OpenResult &result)
{
    if (requestId != m_openRequest || !m_opening)
        return; // closed, stopped or opened again since
    m_opening = false;
    if (result.listed) {
        takeDeviceList(result.devices);
        if (sourceIndex() < 0 || sourceIndex() >= m_devices.size())
            TTwainControl::setSourceIndex(m_devices.isEmpty() ? -1 : 0);
    }
    if (result.errorCode != 0) {
        setError(result.errorCode, ScanError::text(result.errorCode));
        m_listed = false; // the device may have gone: read the list at the next open
        if (!m_busy)
            m_state = kStateClosed;
        emit OnSourceOpened(0);
        return;
    }
    m_open = true;
    if (!m_busy)
        m_state = kStateOpen;
    m_caps = result.caps;
    // Settings given while it opened are answered now.
    answerFromCaps();
    emit OnSourceOpened(1);
}

void SaneTwainControl::answerFromCaps()
{
    if (!m_open)
        return; // stored; answered once the device is open, sent with Acquire
    const ApplyResult result = SaneDeviceSetup::predict(m_caps, m_settings);
    m_effectiveResolution = result.resolution;
    noteError(result.errorCode);
}

void SaneTwainControl::noteError(int code)
{
    // Keep a failure once reported; a warning never hides it.
    if (code != 0 && (errorCode() == 0 || ScanError::isWarning(errorCode())))
        setError(code, ScanError::text(code));
}

void SaneTwainControl::setPixelType(int v)
{
    TTwainControl::setPixelType(v);
    m_settings.pixelType = qBound(0, v, 2);
    answerFromCaps();
}

void SaneTwainControl::setResolution(int dpi)
{
    TTwainControl::setResolution(dpi);
    m_settings.resolution = dpi;
    answerFromCaps();
}

int SaneTwainControl::resolution() const
{
    return m_effectiveResolution > 0 ? m_effectiveResolution : TTwainControl::resolution();
}

void SaneTwainControl::setPageSize(int code)
{
    TTwainControl::setPageSize(code);
    m_settings.pageSize = (code >= 1 && code <= 15) ? code : 0;
    answerFromCaps();
}

void SaneTwainControl::SetImageLayout(float left, float top, float right, float bottom)
{
    m_settings.hasLayout = true;
    m_settings.layoutInches = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
    answerFromCaps();
}

int SaneTwainControl::feederAvailable() const
{
    return m_open && m_caps.feederAvailable() ? 1 : 0;
}

int SaneTwainControl::feederLoaded() const
{
    if (!m_open || !m_caps.feederAvailable())
        return 0;
    if (m_busy)
        return 1;
    return m_caps.paperLoaded ? 1 : 0;
}

void SaneTwainControl::setFeederEnabled(int v)
{
    TTwainControl::setFeederEnabled(v);
    m_settings.feeder = v != 0;
    answerFromCaps();
}

void SaneTwainControl::setDuplexEnabled(int v)
{
    TTwainControl::setDuplexEnabled(v);
    m_settings.duplex = v != 0;
    answerFromCaps();
}

void SaneTwainControl::setXferCount(int v)
{
    TTwainControl::setXferCount(v);
    m_settings.xferCount = v;
}

void SaneTwainControl::Acquire()
{
    if (m_busy) {
        qCWarning(lcScanner) << "Acquire ignored: an acquisition is running";
        return;
    }
    clearError();
    // While the source opens the scan is queued behind the open on the worker.
    if (!m_open && !m_opening) {
        setError(ScanError::NotOpen, ScanError::text(ScanError::NotOpen));
        m_state = kStateClosed;
        const int batch = ++m_batchId;
        // Events come after the command returns, as they do from a device.
        QMetaObject::invokeMethod(
            this,
            [this, batch] {
                if (batch == m_batchId)
                    emit OnPostScan(1);
            },
            Qt::QueuedConnection);
        return;
    }
    m_busy = true;
    m_state = kStateAcquiring;
    m_pendingPercent = -1;
    m_progressClock.invalidate();
    const int batch = ++m_batchId;
    const ScanSettings settings = m_settings;
    SaneScanWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, settings, batch] { worker->acquire(settings, batch); },
        Qt::QueuedConnection);
}

void SaneTwainControl::onPageReady(int batchId, const ScannedPage &page)
{
    // A page read completely before a stop is still delivered; the state stays
    // non-zero until OnStopped, which ends the batch.
    const bool stopping = m_stopsPending > 0 && batchId == m_stoppingBatch;
    if (!stopping && (batchId != m_batchId || !m_busy))
        return;
    flushProgress();
    m_buffer.append(page.image);
    if (page.resolution > 0)
        m_effectiveResolution = page.resolution;
    if (stopping) {
        m_state = kStateAcquiring;
    } else if (page.more) {
        m_state = kStateMoreFollow;
    } else {
        endBatch();
    }
    QPointer<SaneTwainControl> self(this);
    emit OnPostScan(0);
    if (self && batchId == m_batchId && !m_manualRelease)
        m_worker->pageHandled();
}

void SaneTwainControl::releasePage()
{
    m_worker->pageHandled();
}

void SaneTwainControl::onFailed(int batchId, int code)
{
    if (batchId != m_batchId || !m_busy)
        return;
    flushProgress();
    endBatch();
    // A scan queued behind an open that failed: the open's reason is the one to tell.
    if (code != ScanError::NotOpen || errorCode() == 0)
        setError(code, ScanError::text(code));
    emit OnPostScan(1);
}

void SaneTwainControl::onBatchEnded(int batchId, int code)
{
    if (batchId != m_batchId || !m_busy)
        return;
    flushProgress();
    endBatch();
    if (code != 0)
        setError(code, ScanError::text(code));
    emit OnSourceFinished();
}

void SaneTwainControl::endBatch()
{
    m_busy = false;
    m_state = kStateClosed;
    m_progressTimer.stop();
    m_pendingPercent = -1;
}

void SaneTwainControl::onProgress(int batchId, int percent)
{
    if (batchId != m_batchId || !m_busy)
        return;
    if (!m_progressClock.isValid() || m_progressClock.elapsed() >= kProgressIntervalMs) {
        m_progressTimer.stop();
        m_pendingPercent = -1;
        emitProgress(percent);
        return;
    }
    m_pendingPercent = percent;
    if (!m_progressTimer.isActive())
        m_progressTimer.start(int(kProgressIntervalMs - m_progressClock.elapsed()));
}

void SaneTwainControl::flushProgress()
{
    m_progressTimer.stop();
    if (m_pendingPercent >= 0 && m_busy) {
        const int percent = m_pendingPercent;
        m_pendingPercent = -1;
        emitProgress(percent);
    }
    m_pendingPercent = -1;
}

void SaneTwainControl::emitProgress(int percent)
{
    m_progressClock.start();
    emit OnProgress(Acquiring, percent, false);
}

bool SaneTwainControl::SaveImage(int index, const QString &path)
{
    const QImage image = m_buffer.at(index);
    QString why;
    if (image.isNull())
        why = tr("the image is no longer in the buffer");
    else if (PageImageWriter::save(image, path, &why)) {
        // A write failure belongs to the file that failed; once a later save
        // works it must not be reported again after every following page.
        if (errorCode() == ScanError::WriteFailed)
            clearError();
        return true;
    }
    qCWarning(lcScanner) << "SaveImage" << index << path << "failed:" << why;
    setSaveFailureReason(why);
    if (errorCode() == 0 || ScanError::isWarning(errorCode()))
        setError(ScanError::WriteFailed,
                 tr("The page could not be saved as %1 (%2).").arg(path, why));
    return false;
}

int SaneTwainControl::GetImageWidth(int index) const
{
    return m_buffer.at(index).width();
}

int SaneTwainControl::GetImageHeight(int index) const
{
    return m_buffer.at(index).height();
}

int SaneTwainControl::IsBlankImage(int index, float maxNoiseLevel, float &currentNoiseLevel)
{
    const QImage image = m_buffer.at(index);
    currentNoiseLevel = 0;
    if (image.isNull())
        return 0; // nothing to judge: keep it
    return BlankPageDetector::isBlank(image, maxNoiseLevel, &currentNoiseLevel) ? 1 : 0;
}

void SaneTwainControl::setDeviceOptionOverride(const QByteArray &name, const QVariant &value)
{
    for (auto &o : m_overrides) {
        if (o.first == name) {
            o.second = value;
            return;
        }
    }
    m_overrides.append({name, value});
}

void SaneTwainControl::clearDeviceOptionOverrides()
{
    m_overrides.clear();
}

void SaneTwainControl::setMaxPageBytes(qint64 bytes)
{
    m_worker->setMaxPageBytes(bytes);
}
