#include "session/ScanSession.h"

#include "files/TempFolder.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "pages/PageOrder.h"
#include "pages/PagePipeline.h"
#include "pages/PageStore.h"
#include "scanner/ScanErrors.h"
#include "scanner/TTwainControl.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QTimer>

namespace {

Q_LOGGING_CATEGORY(lcSession, "pagora.session", QtWarningMsg)

// Pages waiting in the pipeline before the scanner is held back: enough to keep
// the worker busy, few enough that a fast feeder does not fill the memory.
constexpr int PagesAhead = 2;

QString message(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

QString previewImagePath()
{
    return TempFolder::join(TempFolder::path(), QStringLiteral("Pagora.bmp"));
}

} // namespace

ScanSession::ScanSession(TTwainControl *control, PageStore *store, QObject *parent)
    : QObject(parent), m_control(control), m_store(store), m_pipeline(new PagePipeline(this))
{
    m_pipeline->setStore(store);
    connect(m_pipeline, &PagePipeline::pageDone, this, &ScanSession::onPageDone);
    // A page that cannot be written stops the batch at once, before the sheets
    // behind it are fed for nothing; its message comes with the page.
    connect(m_pipeline, &PagePipeline::writeFailed, this, [this] {
        if (m_mode == ::ScanMode::Scan || m_mode == ::ScanMode::Copy)
            stop();
    });
    connect(m_control, &TTwainControl::OnPostScan, this, &ScanSession::onPostScan);
    connect(m_control, &TTwainControl::OnProgress, this, &ScanSession::onProgress);
    connect(m_control, &TTwainControl::OnStopped, this, &ScanSession::onStopped);
    connect(m_control, &TTwainControl::OnSourceFinished, this, &ScanSession::onSourceFinished);
    connect(m_control, &TTwainControl::OnSourceOpened, this, &ScanSession::onSourceOpened);
    // The scanner reads ahead only while the pipeline keeps up (see submitPage).
    m_control->setManualPageRelease(true);
}

ScanSession::~ScanSession() = default;

QString ScanSession::stoppedText()
{
    return tr("Scanning stopped", "ScanningStopped");
}

QString ScanSession::stoppedReport() const
{
    // A sheet cut short in the scanner exists nowhere: the user must know to scan
    // it again.
    if (m_control->droppedSheets() > 0)
        return tr("Scanning stopped. The sheet the scanner was sending when you stopped was "
                  "not received: scan it again.",
                  "ScanningStoppedSheetDropped");
    return stoppedText();
}

QString ScanSession::searchingText()
{
    return tr("Searching for scanners…", "cmb_Sources.Searching");
}

QString ScanSession::Check(const QString &stamp) const
{
    const QString temp = TempFolder::path();
    return FileNaming::freeSuffixWhere(stamp, [&](const QString &suffix) {
        const QString pageFile = FileNaming::pageFilePath(
            m_naming.destination,
            FileNaming::fileName(m_naming.prefix, suffix, m_naming.extension));
        if (FileNaming::pathTaken(pageFile) || m_store->isReserved(pageFile))
            return true;
        // A page whose page file could not be written is listed from its working
        // copy; a later page of the same second must not write over that copy.
        return m_store->isReserved(FileNaming::workingCopyPath(temp, m_naming.prefix, suffix));
    });
}

void ScanSession::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    qCDebug(lcSession).noquote() << "state" << QMetaEnum::fromType<State>().valueToKey(int(state));
    emit stateChanged(state);
}

void ScanSession::report(const QString &text, bool error)
{
    emit status(text, error);
}

void ScanSession::reportBatchError(const QString &text)
{
    qCWarning(lcSession) << text;
    report(text, true);
    m_batchError = text;
}

void ScanSession::beginSearch()
{
    if (m_state == State::Idle)
        setState(State::Searching);
}

void ScanSession::endSearch()
{
    if (m_state == State::Searching)
        setState(State::Idle);
}

bool ScanSession::startCommand(::ScanMode mode, const Request &request)
{
    // Starting another command during a batch would reopen the busy scanner
    // and turn the remaining sheets into copies or previews.
    if (m_state != State::Idle || m_closed)
        return false;
    m_mode = mode;
    m_request = request;
    m_batchError.clear();
    m_blankLeftOut = 0;
    m_blankFolders.clear();
    m_pass = Pass::None;
    m_fronts.clear();
    m_backs.clear();
    resetBatch();
    setState(State::Acquiring);
    return true;
}

void ScanSession::resetBatch()
{
    m_owedReleases = 0;
    m_sourceDone = false;
    m_stopRequested = false;
    m_quietEnd = false;
    m_feederBatch = false;
    m_passFailed = false;
}

bool ScanSession::openSource(std::function<bool()> then)
{
    const int source = m_request.source;
    m_control->setSourceIndex(source);
    m_control->StartDevice();
    m_control->setSourceIndex(source);
    // The window goes on while the scanner opens (seconds on a network): the
    // command continues from onSourceOpened.
    m_afterOpen = std::move(then);
    m_startResult = true;
    m_control->OpenSource();
    return m_startResult;
}

void ScanSession::onSourceOpened(int result)
{
    Q_UNUSED(result) // a failure is in errorCode, which the command reports
    if (!m_afterOpen)
        return;
    const auto then = std::move(m_afterOpen);
    m_afterOpen = nullptr;
    if (m_state != State::Acquiring || m_sourceDone)
        return; // stopped or closed meanwhile
    m_control->setTransferMode(1);
    if (m_mode == ::ScanMode::Preview)
        m_control->setSourceIndex(m_request.source);
    m_control->setShowUI(0);
    m_control->setShowIndicators(0);
    m_control->setDisableAfterAcquire(1);
    m_control->setUnitOfMeasure(0);
    m_startResult = then();
}

bool ScanSession::TwainScan(const Request &request)
{
    if (!startCommand(::ScanMode::Scan, request))
        return false;
    report(message("IDS_41"));
    return openSource([this] { return applySettings(m_request); });
}

bool ScanSession::TwainCopy(const Request &request)
{
    if (!startCommand(::ScanMode::Copy, request))
        return false;
    report(message("IDS_43"));
    return openSource([this] { return applySettings(m_request); });
}

bool ScanSession::preview(int source)
{
    Request request;
    request.source = source;
    if (!startCommand(::ScanMode::Preview, request))
        return false;
    report(message("IDS_32"));
    return openSource([this] { return startPreview(); });
}

bool ScanSession::startPreview()
{
    // A quick look at the whole bed: colour at 100 dpi, no page size, no area,
    // whatever the image settings say.
    m_control->setPixelType(2);
    m_control->setResolution(100);
    m_scanResolution = m_control->resolution();
    if (m_control->errorCode() != 0) {
        QString text = m_control->errorString();
        if (text.isEmpty())
            text = tr("The scanner reported error %1.", "ScannerErrorCode")
                       .arg(m_control->errorCode());
        report(text, true);
        setState(State::Idle);
        return false;
    }
    m_control->Acquire();
    return true;
}

// Pixel type, resolution (read back: pages are measured in what the source
// settled on), page size or the drawn area, and the feeder decision.
bool ScanSession::applySettings(const Request &request)
{
    TTwainControl *control = m_control;
    control->setPixelType(request.pixelType);
    control->setResolution(request.resolution);
    m_scanResolution = control->resolution();
    control->setPageSize(request.sizeIndex);
    // Scan and copy alike send the drawn area: what is printed is what is shown.
    if (request.sizeIndex == 0) {
        const QRectF &a = request.areaInches;
        control->SetImageLayout(float(a.left()), float(a.top()), float(a.right()),
                                float(a.bottom()));
    }
    if (control->feederAvailable() == 1 && request.feeder) {
        m_feederBatch = true;
        control->setFeederEnabled(1);
        control->setDuplexEnabled(request.duplex ? 1 : 0);
        // A one-sided feeder (warning 39) scans both sides in two passes: the
        // fronts, then the turned stack. Copies print as the pages come.
        if (request.duplex && m_mode == ::ScanMode::Scan &&
            control->errorCode() == ScanError::FeatureUnavailable) {
            if (m_pass == Pass::None)
                m_pass = Pass::Fronts;
            control->setDuplexEnabled(0);
        }
        if (control->feederLoaded() == 0) {
            report(message("IDS_42"), true);
            setState(State::Idle);
            // The stack was not put back: the fronts are not lost.
            if (m_pass == Pass::Backs)
                listHeldPages(false);
            return false;
        }
        control->setXferCount(-1);
        control->setAutoFeed(1);
    }
    // Otherwise the feeder properties stay as they were: the control keeps or drops them.

    const int code = control->errorCode();
    // 39 and 45 are warnings (a feature left out, a value adjusted): go on.
    if (code > 0 && code != 45 && code != 39) {
        report(control->errorString(), true);
        setState(State::Idle);
        if (m_pass == Pass::Backs)
            listHeldPages(false);
        return false;
    }
    // A warning (duplex on a one-sided feeder, an area cut to the bed) is shown
    // now and again at the end of the batch: Acquire clears it. Duplex in two
    // passes is what was asked for, not a warning.
    if (code > 0 && !(code == ScanError::FeatureUnavailable && m_pass != Pass::None)) {
        report(control->errorString(), true);
        m_batchError = control->errorString();
    }
    control->Acquire();
    return true;
}

void ScanSession::stop()
{
    if (m_pass == Pass::AwaitingBacks) {
        skipBacks();
        return;
    }
    // Once the scanner is done (the feeder ran empty, the last sheet came) the
    // pages still in the pipeline finish as usual: there is nothing left to stop.
    if (m_state != State::Acquiring || m_sourceDone)
        return;
    m_stopRequested = true;
    m_sourceDone = true;
    m_owedReleases = 0;
    m_afterOpen = nullptr; // a source still opening is closed: no settings follow
    setState(State::Stopping);
    // A sheet still being transferred is dropped; sheets read to their end still
    // come, then OnStopped says the scanner is closed and ready for the next command.
    ++m_stopsPending;
    m_control->StopDevice();
    report(stoppedText());
}

void ScanSession::close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_pass == Pass::AwaitingBacks) {
        skipBacks(); // ends the command: closed() follows from there
        return;
    }
    stop();
    if (!busy()) {
        emit closed();
        return;
    }
    // A scanner whose backend never returns does not keep the program open: the
    // pages already written are listed, and the close goes on without its answer.
    QTimer::singleShot(CloseWaitMs, this, [this] {
        if (busy() && m_stopsPending > 0) {
            qCWarning(lcSession) << "the scanner did not stop in time; closing without it";
            m_stopsPending = 0;
            finishWhenDone();
        }
    });
}

void ScanSession::onPostScan(int flag)
{
    if (!busy() || (m_sourceDone && flag != 0))
        return; // nothing of ours runs
    if (flag != 0) {
        const bool failed = m_control->errorCode() != 0;
        m_passFailed = m_passFailed || failed;
        report(failed ? m_control->errorString() : message("IDS_6"), failed);
        // No page came and none will: release the scanner after a scan or copy.
        if ((m_mode == ::ScanMode::Scan || m_mode == ::ScanMode::Copy) &&
            m_control->dataSourceState() == 0) {
            ++m_stopsPending;
            m_control->StopDevice();
        }
        m_sourceDone = true;
        // Pages of the batch still being written end it as usual, and the failure
        // is shown again after "Ready"; with none, the message stands alone.
        if (m_pipeline->pending() > 0) {
            if (failed)
                m_batchError = m_control->errorString();
        } else {
            m_quietEnd = true;
        }
        finishWhenDone();
        return;
    }
    // The device tells with each page what it really used.
    m_scanResolution = m_control->resolution();
    switch (m_mode) {
    case ::ScanMode::Preview:
        // A preview that was stopped is not shown.
        if (!m_stopRequested)
            savePreview();
        break;
    case ::ScanMode::Scan:
    case ::ScanMode::Copy:
        submitPage();
        break;
    case ::ScanMode::None:
        break;
    }
}

void ScanSession::savePreview()
{
    m_sourceDone = true;
    const QString path = previewImagePath();
    const int index = m_control->numImages() - 1;
    // Showing the previous preview as if it were this one would mislead the user.
    if (index < 0 || !m_control->SaveImage(index, path)) {
        QString text = m_control->errorString();
        if (text.isEmpty())
            text = tr("The preview image could not be saved to %1.", "PreviewNotSaved").arg(path);
        qCWarning(lcSession) << "preview not saved:" << path << m_control->errorCode();
        report(text, true);
        m_quietEnd = true;
        finishWhenDone();
        return;
    }
    emit previewSaved(path, m_scanResolution);
    finishWhenDone();
}

void ScanSession::onProgress(int action, int percent, bool)
{
    static const char *const ActionIds[] = {"IDS_28", "IDS_29", "IDS_30", "IDS_31"};
    if (action >= 0 && action <= 3) {
        report(message(ActionIds[action]));
    } else if (action == TTwainControl::Acquiring) {
        if (m_mode == ::ScanMode::Preview)
            report(message("IDS_32"));
        else if (m_mode == ::ScanMode::Scan)
            report(message("IDS_33"));
        else if (m_mode == ::ScanMode::Copy)
            report(message("IDS_34"));
    }
    emit progress(qBound(0, percent, 100));
}

void ScanSession::onSourceFinished()
{
    if (m_state != State::Acquiring || m_sourceDone)
        return; // stopped meanwhile: OnStopped ends the batch
    // A sheet after the last page failed: the pages before it are kept, and the
    // error is shown again once they are written.
    if (m_control->errorCode() != 0)
        reportBatchError(m_control->errorString());
    endOfBatchTest();
}

void ScanSession::onStopped()
{
    if (m_stopsPending > 0)
        --m_stopsPending;
    finishWhenDone();
}

FileNaming::PageNames ScanSession::nameNextPage() const
{
    const QString suffix =
        Check(FileNaming::stamp(QDateTime::currentDateTime(), QLocale::system()));
    return FileNaming::pageNames(suffix, m_naming.prefix, m_naming.extension, m_naming.destination,
                                 TempFolder::path());
}

void ScanSession::submitPage()
{
    const int page = m_control->numImages() - 1;
    PageJob job;
    job.kind = m_mode == ::ScanMode::Scan ? PageJob::Kind::Scan : PageJob::Kind::Copy;
    // Named like a scanned page, against the destination folder, also for a copy.
    job.names = nameNextPage();
    job.image = m_control->GetImage(page);
    job.blankTest = m_mode == ::ScanMode::Scan && m_feederBatch && m_skipBlank;
    job.turnUpright = m_turnUpright;
    job.straighten = m_straighten;
    job.cropToPage = m_cropToPage && !m_feederBatch;
    if (job.kind == PageJob::Kind::Copy && m_request.print) {
        const int width = m_control->GetImageWidth(page);
        const int height = m_control->GetImageHeight(page);
        const auto print = m_request.print;
        job.print = [print, width, height](const QImage &image) {
            return print(image, width, height);
        };
    }
    // The page's own files are the working copies this run made; the clean-up at
    // close may remove them unless they are a page file.
    if (job.kind == PageJob::Kind::Copy || job.names.workingCopy != job.names.pageFile)
        m_store->noteWorkingCopy(job.names.workingCopy);
    m_pipeline->submit(job);
    if (m_state == State::Stopping)
        return; // the scanner no longer waits for room
    if (m_pipeline->pending() <= PagesAhead)
        m_control->releasePage();
    else
        ++m_owedReleases;
    endOfBatchTest();
    // The batch ends only once its last page is written: the error is shown now
    // and again after "Ready".
    if (m_control->errorCode() != 0)
        reportBatchError(m_control->errorString());
}

// The control is released at once; "Ready" waits until the last page's files are
// written and it is listed.
void ScanSession::endOfBatchTest()
{
    if (m_control->dataSourceState() != 0)
        return; // more sheets are coming
    m_sourceDone = true;
    ++m_stopsPending;
    m_control->StopDevice();
    finishWhenDone();
}

void ScanSession::onPageDone(const PageResult &r)
{
    if (m_owedReleases > 0 && m_pipeline->pending() <= PagesAhead) {
        --m_owedReleases;
        m_control->releasePage();
    }
    QString error;
    if (r.kind == PageJob::Kind::Copy) {
        error = r.workingCopyWritten ? r.printError
                                     : writeFailureText(r.workingCopyPath, r.workingCopyReason);
    } else {
        PageEntry page = r.entry;
        if (!r.pageFileWritten) {
            error = writeFailureText(page.pageFile, r.pageFileReason);
            page.pageFileError =
                tr("The page file %1 could not be written: %2", "pageFileNotWritten")
                    .arg(QDir::toNativeSeparators(page.pageFile), r.pageFileReason);
            if (page.heldInMemory())
                page.pageFileError +=
                    QLatin1Char('\n') +
                    tr("The page is held in memory only: save it to a folder before closing.",
                       "pageHeldInMemory");
        } else if (!r.workingCopyWritten) {
            error = writeFailureText(r.workingCopyPath, r.workingCopyReason);
        }
        if (r.blank && !r.listed) {
            ++m_blankLeftOut;
            const QString folder =
                QDir::toNativeSeparators(QFileInfo(page.pageFile).absolutePath());
            if (!m_blankFolders.contains(folder))
                m_blankFolders.append(folder);
        }
        if (m_pass == Pass::Fronts || m_pass == Pass::Backs) {
            PageResult held = r;
            held.entry = page;
            (m_pass == Pass::Fronts ? m_fronts : m_backs).append(held);
        } else if (r.listed) {
            emit pageListed(page);
        }
    }
    const bool writeFailed = r.kind == PageJob::Kind::Copy
                                 ? !r.workingCopyWritten
                                 : !r.pageFileWritten || !r.workingCopyWritten;
    if (error.isEmpty() && !r.correctionReason.isEmpty())
        error = tr("The page was kept as scanned: %1", "pageNotCorrected").arg(r.correctionReason);
    // A page that could not be written stops the batch as a jam does: the next
    // sheets would fail the same way (a full disk) and be fed for nothing.
    if (writeFailed)
        stop();
    if (!error.isEmpty())
        reportBatchError(error);
    finishWhenDone();
}

QString ScanSession::writeFailureText(const QString &path, const QString &reason)
{
    const QFileInfo file(path);
    return tr("The page %1 could not be written to the folder %2: %3", "pageNotWritten")
        .arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath()), reason);
}

void ScanSession::finishWhenDone()
{
    if (!busy() || !m_sourceDone || m_stopsPending > 0 || m_pipeline->pending() > 0)
        return;
    if (m_pass == Pass::Fronts) {
        // Only a whole fronts' pass can be paired with the backs.
        if (!m_stopRequested && !m_closed && !m_passFailed && !m_fronts.isEmpty()) {
            m_pass = Pass::AwaitingBacks;
            report(turnStackText());
            emit backsWanted(int(m_fronts.size()));
            return;
        }
        listHeldPages(false);
    } else if (m_pass == Pass::Backs) {
        listHeldPages(!m_stopRequested && !m_passFailed);
    }
    if (!m_quietEnd)
        report(m_stopRequested ? stoppedReport() : message("IDS_6"));
    if (!m_quietEnd && m_blankLeftOut > 0)
        report(
            tr("Blank pages left out of the list: %1. Their files are in %2", "blankPagesLeftOut")
                .arg(m_blankLeftOut)
                .arg(m_blankFolders.join(QStringLiteral(", "))));
    const QString batchError = m_batchError;
    m_batchError.clear();
    setState(State::Idle);
    if (!batchError.isEmpty())
        report(batchError, true);
    if (m_closed)
        emit closed();
}

QString ScanSession::turnStackText()
{
    return tr("Turn the stack over and put it back in the feeder to scan the backs.", "TurnStack");
}

void ScanSession::scanBacks()
{
    if (m_pass != Pass::AwaitingBacks || m_closed)
        return;
    m_pass = Pass::Backs;
    resetBatch();
    report(message("IDS_41"));
    openSource([this] { return applySettings(m_request); });
}

void ScanSession::skipBacks()
{
    if (m_pass != Pass::AwaitingBacks)
        return;
    listHeldPages(false);
    m_sourceDone = true;
    m_quietEnd = false;
    finishWhenDone();
}

void ScanSession::listHeldPages(bool merge)
{
    QList<PageResult> sheets = m_fronts + m_backs;
    const bool equal = m_fronts.size() == m_backs.size();
    if (merge && !equal) {
        reportBatchError(tr("The fronts' pass gave %1 sheets and the backs' pass %2: the "
                            "pages were not merged and stay in scan order.",
                            "DuplexUnequal")
                             .arg(m_fronts.size())
                             .arg(m_backs.size()));
    }
    if (merge && equal) {
        const QList<int> order = PageOrder::permutation(
            int(sheets.size()), m_backsFirstFirst
                                    ? PageOrder::Arrangement::Interleave
                                    : PageOrder::Arrangement::InterleaveSecondReversed);
        QList<PageResult> merged;
        for (int from : order)
            merged.append(sheets.at(from));
        sheets = merged;
    }
    m_fronts.clear();
    m_backs.clear();
    m_pass = Pass::None;
    // Blank pages go only now, so a blank back never shifts the pairing.
    for (const PageResult &r : sheets) {
        if (r.listed)
            emit pageListed(r.entry);
    }
    // The pages' lines were written ahead in scan order: the journal takes the list's.
    m_store->journalOrder();
}
