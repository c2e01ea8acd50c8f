#include "FakeTwainControl.h"

#include "scanner/BlankPageDetector.h"
#include "scanner/PageImageWriter.h"

#include <QPainter>
#include <QTimer>
#include <cmath>

FakeTwainControl::Step FakeTwainControl::page(const QImage &image, int errorCode,
                                              const QString &errorText)
{
    return {image, errorCode, errorText};
}

FakeTwainControl::Step FakeTwainControl::failure(int errorCode, const QString &errorText)
{
    return {QImage(), errorCode, errorText};
}

QImage FakeTwainControl::makePage(int width, int height, int dpi, bool blank)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    const int dpm = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    if (!blank) {
        QPainter p(&image);
        p.fillRect(width / 8, height / 8, width / 2, height / 10, Qt::black);
        p.fillRect(width / 8, height / 2, width / 3, height / 12, Qt::blue);
    }
    return image;
}

FakeTwainControl::FakeTwainControl(QObject *parent) : TTwainControl(parent)
{
}

void FakeTwainControl::setOpenError(int code, const QString &text)
{
    m_openError = code;
    m_openErrorText = text;
}

void FakeTwainControl::setPropertyError(const QString &property, int code, const QString &text)
{
    m_propertyErrors.insert(property, {code, text});
}

void FakeTwainControl::wrote(const QString &property, int value)
{
    record(QStringLiteral("%1=%2").arg(property).arg(value));
    const auto it = m_propertyErrors.constFind(property);
    if (it != m_propertyErrors.constEnd())
        setError(it->first, it->second);
}

int FakeTwainControl::StartDevice()
{
    record(QStringLiteral("StartDevice"));
    if (m_startResult && (sourceIndex() < 0 || sourceIndex() >= sourceCount()))
        TTwainControl::setSourceIndex(sourceCount() == 0 ? -1 : 0);
    return m_startResult;
}

void FakeTwainControl::ListSources()
{
    record(QStringLiteral("ListSources"));
    if (m_discoveryDelay < 0) {
        ++m_heldListings;
        return;
    }
    if (m_discoveryDelay == 0) {
        emitListing();
        return;
    }
    QTimer::singleShot(m_discoveryDelay, this, &FakeTwainControl::emitListing);
}

bool FakeTwainControl::answerDiscovery()
{
    if (m_heldListings == 0)
        return false;
    --m_heldListings;
    emitListing();
    return true;
}

void FakeTwainControl::emitListing()
{
    if (!m_remembered.isEmpty() && m_startResult) {
        // As the real control: the remembered source keeps its choice by name and
        // stays listed when the search missed it.
        int index = int(m_sources.indexOf(m_remembered));
        if (index < 0) {
            m_sources.append(m_remembered);
            index = int(m_sources.size()) - 1;
        }
        TTwainControl::setSourceIndex(index);
    }
    if (m_startResult)
        m_remembered.clear();
    emit OnSourcesListed(StartDevice());
}

void FakeTwainControl::OpenRememberedSource(const QString &deviceName)
{
    record(QStringLiteral("OpenRememberedSource(%1)").arg(deviceName));
    QTimer::singleShot(0, this, [this, deviceName] {
        if (m_rememberedFails) {
            emit OnRememberedSourceOpened(0);
            return;
        }
        m_remembered = deviceName;
        TTwainControl::setSourceIndex(0);
        emit OnRememberedSourceOpened(1);
    });
}

int FakeTwainControl::sourceCount() const
{
    return m_remembered.isEmpty() ? int(m_sources.size()) : 1;
}

void FakeTwainControl::OpenSource()
{
    if (!m_openLater) {
        TTwainControl::OpenSource();
        return;
    }
    record(QStringLiteral("OpenSource"));
    const int request = ++m_openRequest;
    QTimer::singleShot(0, this, [this, request] {
        if (request == m_openRequest)
            emit OnSourceOpened(OpenDataSource());
    });
}

void FakeTwainControl::StopDevice()
{
    record(QStringLiteral("StopDevice"));
    ++m_openRequest;
    m_open = false;
    // Sheets read completely still come: as many as the script says, and the one
    // read while the owner had no room for it.
    const int readSheets = qMax(m_readAtStop, m_unreleased > 0 ? 1 : 0);
    for (const Step &step : std::as_const(m_current)) {
        if (m_stopPages.size() >= readSheets || step.page.isNull())
            break;
        m_stopPages.append(step.page);
    }
    m_current.clear();
    m_unreleased = 0;
    if (m_stopPages.isEmpty())
        m_state = 0;
    ++m_stopsPending;
    // Never from inside the call, as the real control answers from its worker.
    QTimer::singleShot(0, this, &FakeTwainControl::continueStop);
}

void FakeTwainControl::continueStop()
{
    if (!m_stopPages.isEmpty()) {
        // Still before OnStopped: the batch is not over, whatever comes next.
        m_buffer.append(m_stopPages.takeFirst());
        m_state = 5;
        emit OnPostScan(0);
        QTimer::singleShot(0, this, &FakeTwainControl::continueStop);
        return;
    }
    if (--m_stopsPending == 0 && m_current.isEmpty())
        m_state = 0;
    emit OnStopped();
}

QString FakeTwainControl::GetSourceProductName(int index) const
{
    record(QStringLiteral("GetSourceProductName(%1)").arg(index));
    return GetSourceDeviceName(index);
}

QString FakeTwainControl::GetSourceDeviceName(int index) const
{
    if (!m_remembered.isEmpty())
        return index == 0 ? m_remembered : QString();
    return m_sources.value(index);
}

void FakeTwainControl::setSourceIndex(int index)
{
    record(QStringLiteral("sourceIndex=%1").arg(index));
    TTwainControl::setSourceIndex(index);
}

int FakeTwainControl::OpenDataSource()
{
    record(QStringLiteral("OpenDataSource"));
    clearError();
    if (m_openError != 0) {
        setError(m_openError, m_openErrorText);
        return 0;
    }
    if (sourceIndex() < 0 || sourceIndex() >= sourceCount()) {
        setError(1, QStringLiteral("No scanner is selected."));
        return 0;
    }
    m_open = true;
    m_state = 4;
    m_buffer.clear();
    return 1;
}

void FakeTwainControl::setDisableAfterAcquire(int v)
{
    wrote(QStringLiteral("disableAfterAcquire"), v);
    TTwainControl::setDisableAfterAcquire(v);
}

void FakeTwainControl::setShowUI(int v)
{
    wrote(QStringLiteral("showUI"), v);
    TTwainControl::setShowUI(v);
}

void FakeTwainControl::setShowIndicators(int v)
{
    wrote(QStringLiteral("showIndicators"), v);
    TTwainControl::setShowIndicators(v);
}

void FakeTwainControl::setTransferMode(int v)
{
    wrote(QStringLiteral("transferMode"), v);
    TTwainControl::setTransferMode(v);
}

void FakeTwainControl::setUnitOfMeasure(int v)
{
    wrote(QStringLiteral("unitOfMeasure"), v);
    TTwainControl::setUnitOfMeasure(v);
}

void FakeTwainControl::setPixelType(int v)
{
    wrote(QStringLiteral("pixelType"), v);
    TTwainControl::setPixelType(v);
}

void FakeTwainControl::setResolution(int dpi)
{
    wrote(QStringLiteral("resolution"), dpi);
    int accepted = dpi;
    for (int candidate : m_acceptedDpi) {
        if (accepted == dpi || std::abs(candidate - dpi) < std::abs(accepted - dpi))
            accepted = candidate;
    }
    TTwainControl::setResolution(accepted);
}

void FakeTwainControl::setPageSize(int code)
{
    wrote(QStringLiteral("pageSize"), code);
    TTwainControl::setPageSize(code);
}

void FakeTwainControl::SetImageLayout(float left, float top, float right, float bottom)
{
    record(QStringLiteral("SetImageLayout(%1,%2,%3,%4)").arg(left).arg(top).arg(right).arg(bottom));
}

int FakeTwainControl::feederAvailable() const
{
    record(QStringLiteral("feederAvailable?"));
    return m_open && m_feederAvailable ? 1 : 0;
}

int FakeTwainControl::feederLoaded() const
{
    record(QStringLiteral("feederLoaded?"));
    return m_open && m_feederAvailable && m_feederLoaded ? 1 : 0;
}

void FakeTwainControl::setFeederEnabled(int v)
{
    wrote(QStringLiteral("feederEnabled"), v);
    TTwainControl::setFeederEnabled(v);
}

void FakeTwainControl::setDuplexEnabled(int v)
{
    wrote(QStringLiteral("duplexEnabled"), v);
    TTwainControl::setDuplexEnabled(v);
}

void FakeTwainControl::setXferCount(int v)
{
    wrote(QStringLiteral("xferCount"), v);
    TTwainControl::setXferCount(v);
}

void FakeTwainControl::setAutoFeed(int v)
{
    wrote(QStringLiteral("autoFeed"), v);
    TTwainControl::setAutoFeed(v);
}

void FakeTwainControl::Acquire()
{
    record(QStringLiteral("Acquire"));
    clearError();
    if (!m_open || m_batches.isEmpty()) {
        m_current = {failure(13, QStringLiteral("No scanner is open."))};
    } else {
        m_current = m_batches.takeFirst();
    }
    m_state = 5;
    m_unreleased = 0;
    scheduleNext();
}

void FakeTwainControl::scheduleNext()
{
    if (!m_autoPlay || m_current.isEmpty() || m_scheduled)
        return;
    // A page waits for room; a failure needs none.
    if (m_manualRelease && m_unreleased > 0 && !m_current.first().page.isNull())
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        deliverNext();
    });
}

void FakeTwainControl::releasePage()
{
    if (m_unreleased > 0)
        --m_unreleased;
    scheduleNext();
}

bool FakeTwainControl::deliverNext()
{
    if (m_current.isEmpty())
        return false;
    const Step step = m_current.takeFirst();
    if (step.page.isNull()) {
        m_current.clear();
        m_state = 0;
        setError(step.errorCode, step.errorText);
        emit OnPostScan(1);
        return true;
    }
    m_buffer.append(step.page);
    if (m_manualRelease)
        ++m_unreleased;
    m_state = m_current.isEmpty() ? 0 : 6;
    if (step.errorCode != 0)
        setError(step.errorCode, step.errorText);
    emit OnProgress(Acquiring, 100, false);
    emit OnPostScan(0);
    scheduleNext();
    return true;
}

bool FakeTwainControl::SaveImage(int index, const QString &path)
{
    record(QStringLiteral("SaveImage(%1,%2)").arg(index).arg(path));
    QString why = QStringLiteral("Input/output error");
    if (!m_saveFails && PageImageWriter::save(m_buffer.at(index), path, &why))
        return true;
    setSaveFailureReason(why);
    return false;
}

QImage FakeTwainControl::GetImage(int index) const
{
    record(QStringLiteral("GetImage(%1)").arg(index));
    return m_buffer.at(index);
}

int FakeTwainControl::IsBlankImage(int index, float maxNoiseLevel, float &currentNoiseLevel)
{
    record(QStringLiteral("IsBlankImage(%1,%2)").arg(index).arg(maxNoiseLevel));
    return BlankPageDetector::isBlank(m_buffer.at(index), maxNoiseLevel, &currentNoiseLevel) ? 1
                                                                                             : 0;
}
