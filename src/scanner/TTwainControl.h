#pragma once

#include <QImage>
#include <QObject>
#include <QString>

// The scanner control as the program sees it: a source list, one open source,
// a buffer of acquired images and two events. Implementations live behind this
// class (SANE on Linux; a TWAIN one can follow on Windows). Every method is
// called on the UI thread and every signal is delivered there.
class TTwainControl : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TTwainControl)

public:
    // Progress actions reported through OnProgress.
    enum Action
    {
        Despeckling = 0,
        Deskewing = 1,
        Rotating = 2,
        BorderDetecting = 3,
        Acquiring = 4
    };

    explicit TTwainControl(QObject *parent = nullptr) : QObject(parent) {}
    ~TTwainControl() override = default;

    // --- sources ---
    virtual int StartDevice() = 0; // non-zero on success
    // Reads the source list afresh without making the caller wait for the devices:
    // OnSourcesListed follows with what StartDevice would have returned, and the
    // source properties then describe the new list. The default asks StartDevice at
    // once (and so may signal before returning), for controls whose list costs nothing.
    virtual void ListSources() { emit OnSourcesListed(StartDevice()); }
    // Ends a running batch and closes the source. Returns at once; OnStopped follows,
    // exactly once per call and never from inside it, once the batch has ended and the
    // source is closed. Pages read completely before or during the stop still arrive
    // through OnPostScan(0) before OnStopped (only a sheet still being transferred is
    // dropped, and droppedSheets() counts it); none comes after it. dataSourceState
    // reads 0 again by OnStopped at the latest.
    virtual void StopDevice() = 0;
    // Sheets a stop cut short since the source was opened.
    virtual int droppedSheets() const { return 0; }
    virtual int sourceCount() const = 0;
    virtual QString GetSourceProductName(int index) const = 0;
    // The name the source is opened by ("test:0"), which outlives a change of the
    // list; empty for a control without such names.
    virtual QString GetSourceDeviceName(int index) const
    {
        Q_UNUSED(index)
        return {};
    }
    // Opens the source chosen last time by its device name, without reading the
    // list first (a full search can take seconds). OnRememberedSourceOpened follows,
    // never from inside the call; on success the list holds that source alone, as
    // source 0 and chosen, until the next ListSources answers. That answer keeps the
    // source chosen by its device name, and keeps it in the list even when the
    // search missed it. The default has no such shortcut and answers 0.
    virtual void OpenRememberedSource(const QString &deviceName);
    virtual int sourceIndex() const { return m_sourceIndex; }
    virtual void setSourceIndex(int index) { m_sourceIndex = index; }
    virtual int OpenDataSource() = 0;
    // Opens the source chosen by sourceIndex without making the caller wait for the
    // device: OnSourceOpened follows with the result (errorCode says why on 0), and the
    // settings then answer for the open source. The default asks OpenDataSource at
    // once (and so signals before returning), for controls whose open costs nothing.
    // A StopDevice or another open before the answer drops it.
    virtual void OpenSource() { emit OnSourceOpened(OpenDataSource()); }
    virtual int dataSourceState() const = 0; // 0 once the source has finished and closed

    // --- errors of the last operation ---
    int errorCode() const { return m_errorCode; }
    QString errorString() const { return m_errorString; }

    // --- fixed settings every command writes ---
    virtual void setDisableAfterAcquire(int v) { m_disableAfterAcquire = v; }
    int disableAfterAcquire() const { return m_disableAfterAcquire; }
    virtual void setShowUI(int v) { m_showUI = v; }
    int showUI() const { return m_showUI; }
    virtual void setShowIndicators(int v) { m_showIndicators = v; }
    int showIndicators() const { return m_showIndicators; }
    virtual void setTransferMode(int v) { m_transferMode = v; }
    int transferMode() const { return m_transferMode; }
    virtual void setUnitOfMeasure(int v) { m_unitOfMeasure = v; }
    int unitOfMeasure() const { return m_unitOfMeasure; }

    // --- image settings ---
    virtual void setPixelType(int v) { m_pixelType = v; } // 0 b/w, 1 gray, 2 colour
    virtual int pixelType() const { return m_pixelType; }
    virtual void setResolution(int dpi) { m_resolution = dpi; }
    virtual int resolution() const { return m_resolution; }   // what the device will really use
    virtual void setPageSize(int code) { m_pageSize = code; } // 0 none, 1..15 the size list
    virtual int pageSize() const { return m_pageSize; }
    // Scan area in inches from the top-left of the bed; used when pageSize is 0.
    virtual void SetImageLayout(float left, float top, float right, float bottom) = 0;

    // --- feeder ---
    virtual int feederAvailable() const = 0;
    virtual int feederLoaded() const = 0;
    virtual void setFeederEnabled(int v) { m_feederEnabled = v; }
    int feederEnabled() const { return m_feederEnabled; }
    virtual void setDuplexEnabled(int v) { m_duplexEnabled = v; }
    int duplexEnabled() const { return m_duplexEnabled; }
    virtual void setXferCount(int v) { m_xferCount = v; }
    int xferCount() const { return m_xferCount; }
    virtual void setAutoFeed(int v) { m_autoFeed = v; }
    int autoFeed() const { return m_autoFeed; }

    // --- acquisition and the image buffer ---
    virtual void Acquire() = 0;        // returns at once; pages arrive through OnPostScan
    virtual int numImages() const = 0; // images since the source was opened
    virtual bool SaveImage(int index, const QString &path) = 0; // format by extension
    // The buffered image itself (null when it is no longer held), so that a page can
    // be saved and tested off the UI thread; the copy stays valid after the buffer
    // moves on.
    virtual QImage GetImage(int index) const = 0;
    // Why the last SaveImage that failed did so, in the system's words where it has
    // some ("No space left on device"); empty while no save has failed.
    QString saveFailureReason() const { return m_saveFailureReason; }
    virtual int GetImageWidth(int index) const = 0;
    virtual int GetImageHeight(int index) const = 0;
    // Flow of pages: by default the next page may be announced as soon as the
    // handler of OnPostScan returns. With manual release on, the owner calls
    // releasePage() once per page when it can take the next one, so pages handed
    // on to other threads cannot pile up in memory.
    virtual void setManualPageRelease(bool on) { Q_UNUSED(on) }
    virtual void releasePage() {}
    // Returns 1 when the image counts as blank; the measured level goes to currentNoiseLevel.
    virtual int IsBlankImage(int index, float maxNoiseLevel, float &currentNoiseLevel) = 0;

signals:
    // flag 0: a page arrived (the newest image). flag != 0: no page; see errorCode.
    // dataSourceState reads 0 during a page's event when it is known to be the last.
    void OnPostScan(int flag);
    // A batch whose last page came while dataSourceState read non-zero has ended
    // (a feeder ran empty; a control learns that only after the page is handed
    // over): dataSourceState reads 0 now. errorCode is set when a further sheet
    // failed (a jam); the pages before it came whole.
    void OnSourceFinished();
    void OnProgress(int action, int percentComplete, bool canInterrupt);
    // The answer to ListSources: non-zero when the list could be read.
    void OnSourcesListed(int result);
    // The answer to StopDevice; see there.
    void OnStopped();
    // The answer to OpenRememberedSource: non-zero when the source opened.
    void OnRememberedSourceOpened(int result);
    // The answer to OpenSource: non-zero when the source opened.
    void OnSourceOpened(int result);

protected:
    void setError(int code, const QString &text)
    {
        m_errorCode = code;
        m_errorString = text;
    }
    void clearError() { setError(0, QString()); }
    void setSaveFailureReason(const QString &reason) { m_saveFailureReason = reason; }

private:
    int m_sourceIndex = -1;
    int m_errorCode = 0;
    QString m_errorString;
    QString m_saveFailureReason;
    int m_disableAfterAcquire = 0;
    int m_showUI = 1;
    int m_showIndicators = 1;
    int m_transferMode = 0;
    int m_unitOfMeasure = 0;
    int m_pixelType = 2;
    int m_resolution = 100;
    int m_pageSize = 0;
    int m_feederEnabled = 0;
    int m_duplexEnabled = 0;
    int m_xferCount = 1;
    int m_autoFeed = 0;
};
