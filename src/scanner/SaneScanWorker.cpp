#include "scanner/SaneScanWorker.h"

#include "imaging/PageLimits.h"
#include "scanner/SaneDeviceSetup.h"
#include "scanner/SaneLibrary.h"
#include "scanner/SaneOptions.h"
#include "scanner/SanePageReader.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScannerLog.h"

#include <QElapsedTimer>
#include <QThread>
#include <climits>
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <unistd.h>

SaneScanWorker::SaneScanWorker(std::shared_ptr<SaneBlockingCalls> calls, QObject *parent)
    : QObject(parent), m_calls(std::move(calls)), m_maxPageBytes(defaultMaxPageBytes())
{
}

SaneScanWorker::~SaneScanWorker()
{
    // Deleted on the SANE thread after closeDevice(); nothing is left to close.
    Q_ASSERT(!m_handle);
}

qint64 SaneScanWorker::defaultMaxPageBytes()
{
    // The readers of page images are sized for this bound: keep the two together.
    constexpr qint64 kCap = PageLimits::LargestScanBytes;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return kCap;
    return qMin(kCap, qint64(pages) * pageSize / 4);
}

bool SaneScanWorker::listDevices(QList<ScanRules::DeviceEntry> *devices)
{
    return SaneLibrary::instance().listDevices(devices);
}

void SaneScanWorker::listDevicesFor(int requestId)
{
    QElapsedTimer clock;
    clock.start();
    QList<ScanRules::DeviceEntry> devices;
    const bool ok = listDevices(&devices);
    qCDebug(lcScanner) << "source list read:" << devices.size() << "device(s) in" << clock.elapsed()
                       << "ms";
    emit devicesListed(requestId, ok, devices);
}

OpenResult SaneScanWorker::openDevice(const QByteArray &name, const OptionOverrides &overrides)
{
    closeDevice();
    OpenResult result;
    void *handle = nullptr;
    const int status = SaneLibrary::instance().open(name, &handle);
    if (status != SANE_STATUS_GOOD) {
        qCWarning(lcScanner) << "cannot open" << name << sane_strstatus(SANE_Status(status));
        switch (status) {
        case SANE_STATUS_DEVICE_BUSY:
        case SANE_STATUS_ACCESS_DENIED:
        case SANE_STATUS_NO_MEM:
            result.errorCode = ScanError::fromSaneStatus(status);
            break;
        default:
            result.errorCode = SaneLibrary::instance().isDeviceListed(QString::fromUtf8(name))
                                   ? ScanError::OpenFailed
                                   : ScanError::DeviceGone;
        }
        return result;
    }
    m_handle = handle;
    m_deviceName = name;
    m_cancellable = !name.startsWith("net:");
    SaneOptions options(m_handle);
    for (const auto &o : overrides) {
        const int st = options.setFromVariant(o.first, o.second);
        if (st != SANE_STATUS_GOOD)
            qCWarning(lcScanner) << "override" << o.first
                                 << "not applied:" << sane_strstatus(SANE_Status(st));
    }
    m_caps = SaneDeviceSetup::probe(m_handle);
    qCDebug(lcScanner) << "device" << m_deviceName << "sources" << m_caps.sourceNames << "modes"
                       << m_caps.lineArtMode << m_caps.grayMode << m_caps.colorMode << "sensor"
                       << m_caps.paperSensor;
    result.caps = m_caps;
    return result;
}

void SaneScanWorker::openDeviceFor(int requestId, const QByteArray &name, int index, bool listFirst,
                                   const OptionOverrides &overrides)
{
    Q_ASSERT(SaneLibrary::instance().onSaneThread());
    QElapsedTimer clock;
    clock.start();
    QByteArray device = name;
    OpenResult result;
    if (listFirst) {
        closeDevice();
        result.listed = listDevices(&result.devices);
        if (device.isEmpty() && !result.devices.isEmpty())
            device = result.devices.at(index >= 0 && index < result.devices.size() ? index : 0)
                         .name.toUtf8();
    }
    if (device.isEmpty()) {
        result.errorCode = ScanError::NoSource;
        emit deviceOpened(requestId, result);
        return;
    }
    const QList<ScanRules::DeviceEntry> devices = result.devices;
    const bool listed = result.listed;
    result = openDevice(device, overrides);
    result.listed = listed;
    result.devices = devices;
    result.name = device;
    if (result.errorCode == 0 && !m_caps.paperSensor.isEmpty() && m_caps.feederAvailable()) {
        // A sensor may tell about the feeder only while it is the source: read it so,
        // as a feeder command would. Acquire sets the source the command asks for.
        ScanSettings feeder;
        feeder.feeder = true;
        SaneDeviceSetup::apply(m_handle, m_caps, feeder);
        result.caps.paperLoaded = paperLoaded();
    }
    qCDebug(lcScanner) << "device" << device << "open answered in" << clock.elapsed() << "ms";
    emit deviceOpened(requestId, result);
}

void SaneScanWorker::probeDeviceFor(int requestId, const QByteArray &name)
{
    QElapsedTimer clock;
    clock.start();
    closeDevice();
    void *handle = nullptr;
    const int status = SaneLibrary::instance().open(name, &handle);
    if (handle)
        SaneLibrary::instance().close(handle);
    qCDebug(lcScanner) << "remembered device" << name
                       << (status == SANE_STATUS_GOOD ? "opened" : "did not open") << "in"
                       << clock.elapsed() << "ms";
    emit deviceProbed(requestId, status == SANE_STATUS_GOOD);
}

void SaneScanWorker::closeDevice()
{
    Q_ASSERT(SaneLibrary::instance().onSaneThread());
    if (m_handle) {
        // Every batch ends its own scan cycle; this only covers one cut short by an
        // error, and is a no-op for a device that is not scanning.
        sane_cancel(static_cast<SANE_Handle>(m_handle));
        SaneLibrary::instance().close(m_handle);
        m_handle = nullptr;
    }
    m_cancellable = false;
    m_caps = DeviceCaps();
}

void SaneScanWorker::closeAndReport(int stopId)
{
    closeDevice();
    emit stopped(stopId);
}

ApplyResult SaneScanWorker::applySettings(const ScanSettings &settings)
{
    Q_ASSERT(SaneLibrary::instance().onSaneThread());
    if (!m_handle) {
        ApplyResult result;
        result.errorCode = ScanError::NotOpen;
        return result;
    }
    return SaneDeviceSetup::apply(m_handle, m_caps, settings);
}

bool SaneScanWorker::paperLoaded()
{
    if (!m_handle || m_caps.paperSensor.isEmpty())
        return true; // no sensor: an empty feeder shows as "no documents" on the first sheet
    bool loaded = true;
    if (!SaneOptions(m_handle).boolValue(m_caps.paperSensor.constData(), &loaded))
        return true;
    return loaded;
}

void SaneScanWorker::settleBeforeCancel()
{
    // A transfer that failed at once (an injected read status) leaves the backend's
    // reader thread starting up, possibly inside the allocator, and sane_cancel stops
    // it asynchronously. Give it a moment to reach its blocking write first.
    constexpr int kSettleMs = 200;
    QThread::msleep(kSettleMs);
}

int SaneScanWorker::errorFor(int saneStatus)
{
    // An unplugged scanner shows as an I/O error; tell the user what really happened.
    if (saneStatus == SANE_STATUS_IO_ERROR || saneStatus == SANE_STATUS_INVAL) {
        if (!SaneLibrary::instance().isDeviceListed(QString::fromUtf8(m_deviceName)))
            return ScanError::DeviceGone;
    }
    return ScanError::fromSaneStatus(saneStatus);
}

void SaneScanWorker::requestStop(int batchId)
{
    int seen = m_stopUpTo.load();
    while (seen < batchId && !m_stopUpTo.compare_exchange_weak(seen, batchId)) {
    }
    QMutexLocker lock(&m_flowMutex);
    m_flow.wakeAll();
}

void SaneScanWorker::pageHandled()
{
    QMutexLocker lock(&m_flowMutex);
    if (m_inFlight > 0)
        --m_inFlight;
    m_flow.wakeAll();
}

void SaneScanWorker::waitForSlot(int batchId)
{
    // A stop ends the wait; no sheet follows then.
    QMutexLocker lock(&m_flowMutex);
    while (m_inFlight > kMaxPagesInFlight && !stopRequested(batchId))
        m_flow.wait(&m_flowMutex, 100);
}

int SaneScanWorker::startSheet(void *handle)
{
    SaneBlockingCall mark(m_calls.get(), handle, m_cancellable);
    return sane_start(static_cast<SANE_Handle>(handle));
}

void SaneScanWorker::acquire(const ScanSettings &settings, int batchId)
{
    Q_ASSERT(SaneLibrary::instance().onSaneThread());
    if (stopRequested(batchId))
        return;
    {
        QMutexLocker lock(&m_flowMutex);
        m_inFlight = 0;
    }
    if (!m_handle) {
        emit acquisitionFailed(batchId, ScanError::NotOpen);
        return;
    }
    const ApplyResult applied = applySettings(settings);
    if (applied.errorCode != 0 && !ScanError::isWarning(applied.errorCode)) {
        emit acquisitionFailed(batchId, applied.errorCode);
        return;
    }
    auto *h = static_cast<SANE_Handle>(m_handle);
    const bool feeder = settings.feeder && m_caps.feederAvailable();
    // The reading at the open may be old: a feeder emptied since then fails here,
    // before anything is fed.
    if (feeder && !paperLoaded()) {
        emit acquisitionFailed(batchId, ScanError::NoDocuments);
        return;
    }
    const bool untilEmpty = feeder && settings.xferCount < 0;
    const int limit = !feeder ? 1 : untilEmpty ? kMaxFeederSheets : qMax(1, settings.xferCount);

    int lastPercent = -1;
    auto report = [&](int percent) {
        if (percent != lastPercent) {
            lastPercent = percent;
            emit progress(batchId, percent);
        }
    };
    SanePageReader reader(
        m_handle, [this, batchId] { return stopRequested(batchId); }, m_maxPageBytes.load(),
        report);
    reader.markBlockingCalls(m_calls.get(), m_cancellable);

    for (int count = 1;; ++count) {
        if (stopRequested(batchId)) {
            sane_cancel(h);
            return;
        }
        reader.noteThreadsBeforeStart();
        const int status = startSheet(m_handle);
        if (status != SANE_STATUS_GOOD) {
            sane_cancel(h); // ends the scan cycle
            if (stopRequested(batchId)) {
                // Cut short while the scanner fed or sent it (cancelled from outside).
                if (status == SANE_STATUS_CANCELLED)
                    emit sheetDropped(batchId);
            } else if (count == 1) {
                emit acquisitionFailed(batchId, errorFor(status));
            } else {
                // An empty feeder ends the batch; anything else ends it with a reason.
                const bool empty = status == SANE_STATUS_NO_DOCS || status == SANE_STATUS_CANCELLED;
                emit batchEnded(batchId, empty ? 0 : errorFor(status));
            }
            return;
        }
        if (stopRequested(batchId) && m_calls->lastCallCancelled()) {
            // sane-airscan answers a cancel of a feeder job it is waiting on by
            // starting a new job in the same call: end that one before it feeds.
            sane_cancel(h);
            emit sheetDropped(batchId);
            return;
        }
        lastPercent = -1;
        report(0);
        SanePageReader::Result page = reader.read(applied.resolution);
        if (page.status != SANE_STATUS_GOOD) {
            if (page.stopped) {
                // Read to the end of a frame, the sheet left no reader behind; cut
                // short, it is the backend's to stop.
                sane_cancel(h);
                emit sheetDropped(batchId);
                qCDebug(lcScanner) << "batch" << batchId << "stopped in sheet" << count
                                   << (page.drained ? "(read to a frame's end)" : "(cancelled)");
                return;
            }
            if (!page.readerDone && !stopRequested(batchId))
                settleBeforeCancel();
            sane_cancel(h);
            if (stopRequested(batchId)) {
                emit sheetDropped(batchId);
            } else {
                const int code =
                    page.tooLarge ? int(ScanError::OutOfMemory) : errorFor(page.status);
                if (count == 1)
                    emit acquisitionFailed(batchId, code);
                else
                    emit batchEnded(batchId, code);
            }
            return;
        }
        report(100);
        if (applied.conversion == PageConversion::ToLineArt)
            page.image = ScanRules::thresholdToMono(page.image);
        else if (applied.conversion == PageConversion::ToGray)
            page.image = page.image.convertToFormat(QImage::Format_Grayscale8);

        // The page goes to the program before anything else happens: the next sheet
        // may take seconds to arrive, and a stop or close meanwhile must find this
        // page already handed over.
        ScannedPage out;
        out.image = page.image;
        out.resolution = applied.resolution;
        // A batch that reaches the limit still ends with batchEnded, which says why.
        out.more = (count < limit || untilEmpty) && !stopRequested(batchId);
        if (out.more) {
            // Counted before the program can answer it.
            QMutexLocker lock(&m_flowMutex);
            ++m_inFlight;
        } else {
            sane_cancel(h); // ends the scan cycle
        }
        emit pageReady(batchId, out);
        if (!out.more) {
            if (page.stopped)
                qCDebug(lcScanner)
                    << "batch" << batchId << "stopped after sheet" << count << "read to its end";
            return;
        }
        if (count >= limit) {
            sane_cancel(h);
            emit batchEnded(batchId, ScanError::FeederNeverEmpty);
            return;
        }
        // The next sheet starts once the program has room for it.
        waitForSlot(batchId);
    }
}
