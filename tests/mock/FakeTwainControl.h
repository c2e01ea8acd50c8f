#pragma once

#include "scanner/PageBuffer.h"
#include "scanner/TTwainControl.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QStringList>

// A scripted scanner control for window tests. It records every property write
// ("pixelType=2") and call ("OpenDataSource", "SaveImage(0,/tmp/a.bmp)") in order,
// and plays queued batches of pages and failures after Acquire, one event per turn
// of the event loop, as a device would.
class FakeTwainControl final : public TTwainControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FakeTwainControl)

public:
    // A page (errorCode set: the control reports that error with the page), or,
    // with a null image, a failure event (OnPostScan flag 1) that ends the batch.
    struct Step
    {
        QImage page;
        int errorCode = 0;
        QString errorText;
    };
    static Step page(const QImage &image, int errorCode = 0, const QString &errorText = {});
    static Step failure(int errorCode, const QString &errorText);
    // A white or patterned page of the given size in pixels at the given resolution.
    static QImage makePage(int width, int height, int dpi = 100, bool blank = false);

    explicit FakeTwainControl(QObject *parent = nullptr);

    // --- script ---
    void setSources(const QStringList &names) { m_sources = names; }
    void setStartDeviceResult(int result) { m_startResult = result; }
    // Slow discovery: ListSources answers after this many milliseconds instead of at
    // once, with the sources and start result set by then. Negative: it answers only
    // when answerDiscovery() is called.
    void setDiscoveryDelay(int ms) { m_discoveryDelay = ms; }
    // Answers a held ListSources; false when none is waiting.
    bool answerDiscovery();
    // OpenRememberedSource fails, as for a scanner unplugged since the last run.
    // Otherwise it opens any name (the device name of a source is its product name).
    void setRememberedOpenFails(bool fails) { m_rememberedFails = fails; }
    void setOpenError(int code, const QString &text);
    // OpenSource answers on a later turn of the event loop, as a device does; a
    // StopDevice before then drops the answer.
    void setOpenLater(bool later) { m_openLater = later; }
    // Writing this property (e.g. "resolution") sets the error; codes 39 and 45 included.
    void setPropertyError(const QString &property, int code, const QString &text);
    void setAcceptedResolutions(const QList<int> &dpis) { m_acceptedDpi = dpis; }
    void setFeederAvailable(bool available) { m_feederAvailable = available; }
    void setFeederLoaded(bool loaded) { m_feederLoaded = loaded; }
    void setSaveFails(bool fails) { m_saveFails = fails; }
    void queueBatch(const QList<Step> &steps) { m_batches.append(steps); }
    // Pages of the running batch the fake has already read when StopDevice comes:
    // they still arrive (OnPostScan(0), state non-zero) before OnStopped, as the real
    // control delivers sheets that left the scanner before the stop.
    void setSheetsReadAtStop(int pages) { m_readAtStop = pages; }
    // When off, deliverNext() plays one step at a time.
    void setAutoPlay(bool on) { m_autoPlay = on; }
    bool deliverNext();

    // --- records ---
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

    // --- the contract ---
    int StartDevice() override;
    void ListSources() override;
    void StopDevice() override;
    int sourceCount() const override;
    QString GetSourceProductName(int index) const override;
    QString GetSourceDeviceName(int index) const override;
    void OpenRememberedSource(const QString &deviceName) override;
    void setSourceIndex(int index) override;
    int OpenDataSource() override;
    void OpenSource() override;
    int dataSourceState() const override { return m_state; }
    void setDisableAfterAcquire(int v) override;
    void setShowUI(int v) override;
    void setShowIndicators(int v) override;
    void setTransferMode(int v) override;
    void setUnitOfMeasure(int v) override;
    void setPixelType(int v) override;
    void setResolution(int dpi) override;
    void setPageSize(int code) override;
    void SetImageLayout(float left, float top, float right, float bottom) override;
    int feederAvailable() const override;
    int feederLoaded() const override;
    void setFeederEnabled(int v) override;
    void setDuplexEnabled(int v) override;
    void setXferCount(int v) override;
    void setAutoFeed(int v) override;
    void Acquire() override;
    // Manual release: after a page is announced the next sheet is read but held
    // until releasePage(); a stop then still delivers that sheet, as a scanner
    // delivers what has left the feeder.
    void setManualPageRelease(bool on) override { m_manualRelease = on; }
    void releasePage() override;
    int numImages() const override { return m_buffer.count(); }
    bool SaveImage(int index, const QString &path) override;
    QImage GetImage(int index) const override;
    int GetImageWidth(int index) const override { return m_buffer.at(index).width(); }
    int GetImageHeight(int index) const override { return m_buffer.at(index).height(); }
    int IsBlankImage(int index, float maxNoiseLevel, float &currentNoiseLevel) override;

private:
    void record(const QString &entry) const { m_calls.append(entry); }
    void wrote(const QString &property, int value);
    void scheduleNext();
    void continueStop();
    void emitListing();

    mutable QStringList m_calls;
    QStringList m_sources;
    int m_startResult = 1;
    int m_discoveryDelay = 0;
    int m_heldListings = 0;
    bool m_rememberedFails = false;
    bool m_openLater = false;
    int m_openRequest = 0;
    QString m_remembered; // listed alone until the next list answers
    int m_openError = 0;
    QString m_openErrorText;
    QHash<QString, QPair<int, QString>> m_propertyErrors;
    QList<int> m_acceptedDpi;
    bool m_feederAvailable = false;
    bool m_feederLoaded = true;
    bool m_saveFails = false;
    bool m_autoPlay = true;
    bool m_manualRelease = false;
    bool m_scheduled = false;
    int m_unreleased = 0; // announced pages the owner has not released yet
    bool m_open = false;
    int m_state = 0;
    QList<QList<Step>> m_batches;
    QList<Step> m_current;
    int m_readAtStop = 0;
    QList<QImage> m_stopPages; // read before the stop, delivered before OnStopped
    int m_stopsPending = 0;
    PageBuffer m_buffer{1000};
};
