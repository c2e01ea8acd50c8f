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

SaneScanWorker::SaneScanWorker(QObject *parent)
    : QObject(parent), m_maxPageBytes(defaultMaxPageBytes())
{
}

SaneScanWorker::~SaneScanWorker()
{
    closeDevice();
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
    {
        QMutexLocker lock(&m_handleMutex);
        m_handle = handle;
    }
    m_deviceName = name;
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

void SaneScanWorker::closeDevice()
{
    void *handle = nullptr;
    {
        QMutexLocker lock(&m_handleMutex);
        handle = m_handle;
        m_handle = nullptr;
    }
    if (handle) {
        sane_cancel(static_cast<SANE_Handle>(handle));
        SaneLibrary::instance().close(handle);
    }
    m_caps = DeviceCaps();
}

ApplyResult SaneScanWorker::applySettings(const ScanSettings &settings)
{
    if (!m_handle) {
        ApplyResult result;
        result.errorCode = ScanError::NotOpen;
        return result;
    }
    return SaneDeviceSetup::apply(m_handle, m_caps, settings);
}

int SaneScanWorker::readFeederLoaded(const ScanSettings &settings)
{
    if (!m_handle)
        return 0;
    applySettings(settings);
    if (m_caps.paperSensor.isEmpty())
        return 1; // no sensor: an empty feeder shows as "no documents" on the first sheet
    bool loaded = true;
    if (!SaneOptions(m_handle).boolValue(m_caps.paperSensor.constData(), &loaded))
        return 1;
    return loaded ? 1 : 0;
}

void SaneScanWorker::settleBeforeCancel()
{
    // Several backends (SANE's test backend among them) produce the page in a reader
    // thread that sane_cancel stops asynchronously. A transfer that failed early may
    // leave that thread inside the allocator, and stopping it there dead-locks the
    // process. Give it a moment to reach its blocking write first.
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

void SaneScanWorker::requestCancel(int batchId)
{
    int seen = m_cancelUpTo.load();
    while (seen < batchId && !m_cancelUpTo.compare_exchange_weak(seen, batchId)) {
    }
    m_cancel = true;
    {
        QMutexLocker lock(&m_flowMutex);
        m_flow.wakeAll();
    }
    QMutexLocker lock(&m_handleMutex);
    // sane_cancel may be called from another thread to end a blocked sane_read.
    if (m_handle)
        sane_cancel(static_cast<SANE_Handle>(m_handle));
}

void SaneScanWorker::pageHandled()
{
    QMutexLocker lock(&m_flowMutex);
    if (m_inFlight > 0)
        --m_inFlight;
    m_flow.wakeAll();
}

bool SaneScanWorker::waitForSlot()
{
    QMutexLocker lock(&m_flowMutex);
    while (m_inFlight >= kMaxPagesInFlight && !m_cancel)
        m_flow.wait(&m_flowMutex, 100);
    if (m_cancel)
        return false;
    ++m_inFlight;
    return true;
}

void SaneScanWorker::acquire(const ScanSettings &settings, int batchId)
{
    // Cleared first and then set again from the token: a cancel racing with this
    // start is seen either way.
    m_cancel = false;
    if (m_cancelUpTo.load() >= batchId)
        m_cancel = true;
    if (m_cancel)
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
    const int limit = !feeder ? 1 : settings.xferCount < 0 ? INT_MAX : qMax(1, settings.xferCount);

    int lastPercent = -1;
    auto report = [&](int percent) {
        if (percent != lastPercent) {
            lastPercent = percent;
            emit progress(batchId, percent);
        }
    };
    SanePageReader reader(m_handle, m_cancel, m_maxPageBytes.load(), report);

    int status = sane_start(h);
    if (status != SANE_STATUS_GOOD) {
        sane_cancel(h);
        if (!m_cancel)
            emit acquisitionFailed(batchId, errorFor(status));
        return;
    }
    for (int count = 1;; ++count) {
        report(0);
        SanePageReader::Result page = reader.read(applied.resolution);
        if (page.status != SANE_STATUS_GOOD) {
            if (!m_cancel)
                settleBeforeCancel();
            sane_cancel(h);
            if (!m_cancel)
                emit acquisitionFailed(batchId, page.tooLarge ? int(ScanError::OutOfMemory)
                                                              : errorFor(page.status));
            return;
        }
        report(100);
        if (applied.conversion == PageConversion::ToLineArt)
            page.image = ScanRules::thresholdToMono(page.image);
        else if (applied.conversion == PageConversion::ToGray)
            page.image = page.image.convertToFormat(QImage::Format_Grayscale8);

        // Start the next sheet before announcing this one, so the page's event can
        // tell whether it is the last.
        ScannedPage out;
        out.image = page.image;
        if (count < limit) {
            status = sane_start(h);
            if (status == SANE_STATUS_GOOD)
                out.more = true;
            else if (status != SANE_STATUS_NO_DOCS && status != SANE_STATUS_CANCELLED)
                out.errorCode = errorFor(status);
        }
        if (!out.more)
            sane_cancel(h); // ends the scan cycle
        if (!waitForSlot()) {
            sane_cancel(h);
            return;
        }
        emit pageReady(batchId, out);
        if (!out.more)
            return;
        lastPercent = -1;
    }
}
