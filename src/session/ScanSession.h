#pragma once

#include "pages/FileNaming.h"
#include "pages/PageEntry.h"
#include "pages/PagePipeline.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QStringList>
#include <functional>

class PageStore;
class TTwainControl;

// What the running command does with the pages the control delivers.
enum class ScanMode
{
    None = 0,
    Preview = 1,
    Scan = 2,
    Copy = 3
};

// The scanner's side of the program without a window: the command state, the
// choices a command runs with, page naming, the page pipeline and the status
// texts. Preview, scan and copy start here and end here; the window only
// forwards its choices, shows what this reports and lists the pages it hands on.
//
// States: Searching while the source list is read, Acquiring from a command's
// start until its last page is written, Stopping from a stop until the scanner
// says it is closed and the pages already read are written.
class ScanSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanSession)

public:
    enum class State
    {
        Idle,
        Searching,
        Acquiring,
        Stopping
    };
    Q_ENUM(State)

    // The window's choices when a command starts.
    struct Request
    {
        int source = -1;
        int pixelType = 2;    // 0 b/w, 1 gray, 2 colour
        int resolution = 100; // as the list shows it; the source may settle nearby
        int sizeIndex = 0;    // 0: the drawn area
        QRectF areaInches;    // the drawn area, used when sizeIndex is 0
        bool feeder = false;  // "Autofeeder" ticked
        bool duplex = false;
        // Copy: the printer's printable size in its device pixels, and the job
        // that prints one page (any thread; empty answer: handed to the printer).
        int printableWidth = 0;
        int printableHeight = 0;
        std::function<QString(const QImage &page, int width, int height)> print;
    };

    // Where pages go; read afresh for every page, so a change between two
    // sheets applies to the next one.
    struct Naming
    {
        QString prefix;
        QString extension;   // bmp, jpg or tiff
        QString destination; // absolute
    };

    // control and store stay the caller's; scanned pages are written against the
    // store's reservations and journal.
    ScanSession(TTwainControl *control, PageStore *store, QObject *parent = nullptr);
    ~ScanSession() override;

    State state() const { return m_state; }
    ::ScanMode ScanMode() const { return m_mode; }
    // A preview, scan or copy runs (also while it stops).
    bool busy() const { return m_state == State::Acquiring || m_state == State::Stopping; }
    // The resolution the source settled on for the running or last command.
    int ScanResolution() const { return m_scanResolution; }
    // The running batch uses the feeder.
    bool gADF() const { return m_feederBatch; }

    void setNaming(const Naming &naming) { m_naming = naming; }
    const Naming &naming() const { return m_naming; }
    // The preference: blank feeder pages are left out of the list.
    void setSkipBlank(bool on) { m_skipBlank = on; }
    bool gSkipBlank() const { return m_skipBlank; }
    // The preferences: pages turned upright and straightened before they are written.
    void setPageCorrection(bool upright, bool straighten)
    {
        m_turnUpright = upright;
        m_straighten = straighten;
    }
    // The preference: flatbed pages cut to the paper.
    void setCropToPage(bool on) { m_cropToPage = on; }
    // Two-pass duplex: the backs' pass delivers the sheets in the order they
    // were fed (a feeder that reverses the turned stack), not last-first.
    void setBacksFirstFirst(bool on) { m_backsFirstFirst = on; }
    bool backsFirstFirst() const { return m_backsFirstFirst; }
    // A free suffix for the stamp: no page file holds the name and no page still
    // being written, or listed, has taken it.
    QString Check(const QString &stamp) const;

    // The source search: commands wait until it ends.
    void beginSearch();
    void endSearch();

    // Each returns false when the command ended at once (the reason was reported).
    bool TwainScan(const Request &request);
    bool TwainCopy(const Request &request);
    bool preview(int source);
    // A sheet still being transferred is dropped; pages already read are written
    // and listed, then "Scanning stopped" (saying so when a sheet was dropped).
    void stop();
    // Two-pass duplex, after backsWanted(): scan the turned stack and merge, or
    // list the fronts alone in scan order.
    void scanBacks();
    void skipBacks();
    // The fronts' pass is over and the session waits for scanBacks() or skipBacks().
    bool awaitingBacks() const { return m_pass == Pass::AwaitingBacks; }
    // Closing: a running batch stops like stop(). The session is done once
    // closed() (at once when nothing runs); no page is listed after that. A
    // scanner that has not answered the stop within CloseWaitMs is given up on.
    void close();
    static constexpr int CloseWaitMs = 1000;
    bool isClosed() const { return m_closed; }

    // The last error of the running batch, shown again once it ends: an error on
    // an early sheet must not vanish under the later progress texts.
    QString batchError() const { return m_batchError; }

    // The texts this session shows, in the current language.
    static QString stoppedText();
    static QString searchingText();
    static QString turnStackText();

signals:
    void stateChanged(ScanSession::State state);
    // For the status line: dark green, or red for an error.
    void status(const QString &text, bool error);
    void progress(int percent);
    // A scanned page to list, in scan order.
    void pageListed(const PageEntry &page);
    // The preview image is saved at path, scanned at resolution dpi.
    void previewSaved(const QString &path, int resolution);
    // Duplex asked for on a feeder without a duplex unit: the fronts' pass gave
    // fronts sheets; the stack is to be turned over and put back.
    void backsWanted(int fronts);
    // Idle again after close(): nothing more will come.
    void closed();

private:
    bool startCommand(::ScanMode mode, const Request &request);
    bool applySettings(const Request &request);
    void setState(State state);
    void report(const QString &text, bool error = false);
    void reportBatchError(const QString &text);
    void onPostScan(int flag);
    void onProgress(int action, int percent, bool canInterrupt);
    void onStopped();
    void onSourceFinished();
    // "Scanning stopped", and whether a sheet was lost in the scanner.
    QString stoppedReport() const;
    void onPageDone(const PageResult &result);
    // A page's file could not be written: which one, in which folder, and why.
    static QString writeFailureText(const QString &path, const QString &reason);
    void submitPage();
    void savePreview();
    void endOfBatchTest();
    // Idle once the scanner is closed and every page read is written.
    void finishWhenDone();
    FileNaming::PageNames nameNextPage() const;
    // Opens the request's source and runs then once it answers (at once for a control
    // that opens without waiting); its result, or true while the open is under way.
    bool openSource(std::function<bool()> then);
    void onSourceOpened(int result);
    bool startPreview();
    void resetBatch();
    // Lists the pages held for the two passes, merged when both passes gave the
    // same number of sheets, otherwise in scan order.
    void listHeldPages(bool merge);

    // Two-pass duplex: the pass running, or the wait between them.
    enum class Pass
    {
        None,
        Fronts,
        AwaitingBacks,
        Backs
    };

    TTwainControl *m_control;
    PageStore *m_store;
    PagePipeline *m_pipeline;
    State m_state = State::Idle;
    ::ScanMode m_mode = ::ScanMode::None;
    Naming m_naming;
    Request m_request;
    QString m_batchError;
    // Feeder pages left out of the list as blank in this batch, and the folders
    // their files went to: told at the end, so no page goes unaccounted for.
    int m_blankLeftOut = 0;
    QStringList m_blankFolders;
    int m_scanResolution = 0;
    int m_owedReleases = 0; // pages the scanner waits to hear were taken
    int m_stopsPending = 0; // StopDevice calls whose OnStopped is still to come
    bool m_feederBatch = false;
    bool m_skipBlank = false;
    bool m_turnUpright = false;
    bool m_straighten = false;
    bool m_cropToPage = false;
    bool m_sourceDone = false; // the control finished; pages may still be in the pipeline
    bool m_quietEnd = false;   // the end's message stands alone: no "Ready" after it
    bool m_stopRequested = false;
    bool m_closed = false;
    bool m_backsFirstFirst = false;
    bool m_passFailed = false; // the scanner failed in the running pass
    Pass m_pass = Pass::None;
    std::function<bool()> m_afterOpen; // the command's rest, once the source is open
    bool m_startResult = true;
    // Every sheet of each pass, blank ones included: pairing counts sheets, and
    // blank skipping acts only after the merge.
    QList<PageResult> m_fronts;
    QList<PageResult> m_backs;
};
