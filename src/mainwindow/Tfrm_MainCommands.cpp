// Scan and copy commands, the page pipeline and printing.
#include "pages/FileNaming.h"
#include "pages/PageModel.h"
#include "files/TempFolder.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "pages/PagePipeline.h"
#include "mainwindow/PagePrinter.h"
#include "mainwindow/Tfrm_Main.h"
#include "widgets/UserPrompts.h"
#include "scanner/TTwainControl.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QLocale>
#include <QLoggingCategory>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QToolButton>

namespace {

Q_LOGGING_CATEGORY(lcCommands, "pagora.mainwindow.commands", QtWarningMsg)

// Pages waiting in the pipeline before the scanner is held back: enough to keep
// the worker busy, few enough that a fast feeder does not fill the memory.
constexpr int PagesAhead = 2;

QString message(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

void reportPageError(Tfrm_Main &w, const QString &text)
{
    qCWarning(lcCommands) << text;
    w.Mess(text, true);
    w.BatchError = text;
}

// A prefix that would lose the page or put it outside the destination folder is
// refused before anything is scanned.
bool prefixAccepted(Tfrm_Main &w)
{
    QString problem;
    switch (FileNaming::prefixProblem(w.edt_FileName->text())) {
    case FileNaming::PrefixProblem::None:
        return true;
    case FileNaming::PrefixProblem::Separator:
        problem =
            Tfrm_Main::tr("The file name must not contain \"/\" or \"\\\".", "prefixSeparator");
        break;
    case FileNaming::PrefixProblem::DotName:
        problem = Tfrm_Main::tr("The file name must not be \".\" or \"..\".", "prefixDots");
        break;
    case FileNaming::PrefixProblem::ControlCharacter:
        problem =
            Tfrm_Main::tr("The file name must not contain control characters.", "prefixControl");
        break;
    case FileNaming::PrefixProblem::TooLong:
        problem =
            Tfrm_Main::tr("The file name must not be longer than %1 characters.", "prefixTooLong")
                .arg(FileNaming::kMaxPrefixLength);
        break;
    }
    w.Mess(problem, true);
    w.edt_FileName->setFocus();
    return false;
}

// Step 1 of the scan command. "~" is the home folder and a relative path is
// taken from there, never from wherever the program was started; the field then
// shows the folder the pages really go to.
bool destinationReady(Tfrm_Main &w)
{
    const QString typed = w.edt_Destination->text().trimmed();
    const QString folder = FileNaming::resolveDestination(typed, QDir::homePath());
    if (!folder.isEmpty() && folder != QDir::fromNativeSeparators(typed))
        w.edt_Destination->setText(nativePath(folder));
    if (QFileInfo(folder).isDir())
        return true;
    const QString title = message("IDS_38");
    if (UserPrompts::message(&w, QMessageBox::Question, title, message("IDS_37"),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    // One level only: a missing parent is the user's to fix, not ours to invent.
    if (folder.isEmpty() || !QDir().mkdir(folder)) {
        UserPrompts::message(&w, QMessageBox::Warning, title, message("IDS_39"), QMessageBox::Ok);
        return false;
    }
    return true;
}

// Steps 2 to 7 shared by scan and copy.
void startAcquisition(Tfrm_Main &w, bool forScan)
{
    TTwainControl *control = w.TwainControl;
    w.BatchError.clear();
    w.Mess(message(forScan ? "IDS_41" : "IDS_43"));
    w.beginCommand(forScan ? ScanMode::Scan : ScanMode::Copy);

    const int index = w.cmb_Sources->currentIndex();
    control->setSourceIndex(index);
    control->StartDevice();
    control->setSourceIndex(index);
    control->OpenDataSource();

    control->setTransferMode(1);
    control->setShowUI(0);
    control->setShowIndicators(0);
    control->setDisableAfterAcquire(1);
    control->setUnitOfMeasure(0);

    if (!w.ApplyScanSettings(forScan)) {
        w.setCommandButtonsEnabled(true); // the empty feeder is already reported
        return;
    }

    const int code = control->errorCode();
    // 39 and 45 are warnings (a feature left out, a value adjusted): go on.
    if (code <= 0 || code == 45 || code == 39) {
        // A warning (duplex on a one-sided feeder, an area cut to the bed) is
        // shown now and again at the end of the batch: Acquire clears it.
        if (code > 0) {
            w.Mess(control->errorString(), true);
            w.BatchError = control->errorString();
        }
        control->Acquire();
        return;
    }
    w.Mess(control->errorString(), true);
    w.setCommandButtonsEnabled(true);
}

// The batch ends only once its last page is written: the error is shown now and
// again after "Ready".
void controlErrorTest(Tfrm_Main &w)
{
    if (w.TwainControl->errorCode() != 0)
        reportPageError(w, w.TwainControl->errorString());
}

FileNaming::PageNames nameNextPage(Tfrm_Main &w)
{
    const QString suffix =
        w.Check(FileNaming::stamp(QDateTime::currentDateTime(), QLocale::system()));
    return FileNaming::pageNames(
        suffix, w.edt_FileName->text(),
        FileNaming::extensionFromFormatItem(w.cmb_Format->currentText()),
        FileNaming::resolveDestination(w.edt_Destination->text(), QDir::homePath()),
        TempFolder::path());
}

} // namespace

// The end-of-batch test: the control is released at once; "Ready" and the
// buttons wait until the last page's files are written and it is listed.
void Tfrm_Main::endOfBatchTest()
{
    if (TwainControl->dataSourceState() != 0)
        return; // more sheets are coming
    TwainControl->StopDevice();
    m_batchEnding = true;
    if (Pipeline->pending() == 0)
        finishBatch();
}

void Tfrm_Main::finishBatch()
{
    m_batchEnding = false;
    Mess(m_stopRequested ? stoppedText() : message("IDS_6"));
    m_stopRequested = false;
    setCommandButtonsEnabled(true);
    const QString batchError = BatchError;
    BatchError.clear();
    if (!batchError.isEmpty())
        Mess(batchError, true);
}

void Tfrm_Main::pageDone(const PageResult &r)
{
    if (m_owedReleases > 0 && Pipeline->pending() <= PagesAhead) {
        --m_owedReleases;
        TwainControl->releasePage();
    }
    QString error;
    const auto workingCopyError = [this, &r] {
        return tr("The working copy %1 could not be written: %2", "workingCopyNotWritten")
            .arg(nativePath(r.workingCopyPath), r.workingCopyReason);
    };
    if (r.kind == PageJob::Kind::Copy) {
        error = r.workingCopyWritten ? r.printError : workingCopyError();
    } else {
        PageEntry page = r.entry;
        if (!r.pageFileWritten) {
            error = tr("The page file %1 could not be written: %2", "pageFileNotWritten")
                        .arg(nativePath(page.pageFile), r.pageFileReason);
            page.pageFileError = error;
        } else if (!r.workingCopyWritten) {
            error = workingCopyError();
        }
        if (r.listed)
            FillImageList(page);
    }
    if (!error.isEmpty())
        reportPageError(*this, error);
    if (m_batchEnding && !m_awaitingStop && Pipeline->pending() == 0)
        finishBatch();
}

void Tfrm_Main::submitPage()
{
    const int page = TwainControl->numImages() - 1;
    PageJob job;
    job.kind = ScanMode == ScanMode::Scan ? PageJob::Kind::Scan : PageJob::Kind::Copy;
    // Named like a scanned page, against the destination folder, also for a copy.
    job.names = nameNextPage(*this);
    job.image = TwainControl->GetImage(page);
    job.blankTest = ScanMode == ScanMode::Scan && gADF && gSkipBlank;
    if (job.kind == PageJob::Kind::Copy) {
        const PagePrinter printer(*currentPrinter());
        const int width = TwainControl->GetImageWidth(page);
        const int height = TwainControl->GetImageHeight(page);
        const int printableWidth = PrintableWidth;
        const int printableHeight = PrintableHeight;
        const QString title = message("IDS_98");
        job.print = [=](const QImage &image) {
            return printer.print(image, width, height, printableWidth, printableHeight, title);
        };
    }
    // The page's own files are the working copies this run made; the clean-up at
    // close may remove them unless they are a page file.
    if (job.kind == PageJob::Kind::Copy || job.names.workingCopy != job.names.pageFile)
        Pages->noteWorkingCopy(job.names.workingCopy);
    Pipeline->submit(job);
    if (Pipeline->pending() <= PagesAhead)
        TwainControl->releasePage();
    else
        ++m_owedReleases;
    endOfBatchTest();
    controlErrorTest(*this);
}

void Tfrm_Main::Scan1Click()
{
    ToolButtonScanItem = Scan1;
    ToolButtonScan->setText(Scan1->text());
    ToolButtonScan->setIcon(Scan1->icon());
    TwainScan();
}

void Tfrm_Main::Copy1Click()
{
    ToolButtonScanItem = Copy1;
    ToolButtonScan->setText(Copy1->text());
    ToolButtonScan->setIcon(Copy1->icon());
    TwainCopy();
}

void Tfrm_Main::ToolButtonScanClick()
{
    if (ToolButtonScanItem == Scan1)
        Scan1Click();
    else
        Copy1Click();
}

void Tfrm_Main::beginCommand(::ScanMode mode)
{
    ScanMode = mode;
    m_commandRunning = true;
    m_stopRequested = false;
    setCommandButtonsEnabled(false);
}

QString Tfrm_Main::stoppedText() const
{
    return tr("Scanning stopped", "ScanningStopped");
}

void Tfrm_Main::StopScanningClick()
{
    // Once the scanner is done (the feeder ran empty, the last sheet came) the
    // pages still in the pipeline finish as usual: there is nothing left to stop.
    if (!m_commandRunning || m_stopRequested || m_batchEnding)
        return;
    m_stopRequested = true;
    // Sheets the scanner had read completely still arrive and are handled as usual;
    // the one being read is dropped. The command ends at OnStopped, once the
    // scanner is closed and ready for the next one.
    TwainControl->StopDevice();
    m_awaitingStop = true;
    m_owedReleases = 0;
    Mess(stoppedText());
    setCommandButtonsEnabled(false); // Stop itself is done
    m_batchEnding = true;
}

void Tfrm_Main::scannerStopped()
{
    if (!m_awaitingStop)
        return;
    m_awaitingStop = false;
    if (m_batchEnding && Pipeline->pending() == 0)
        finishBatch();
}

void Tfrm_Main::TwainScan()
{
    // The menu commands stay enabled during a batch; starting another one then
    // would reopen the busy scanner and turn the remaining sheets into copies.
    if (m_busy || !prefixAccepted(*this) || !destinationReady(*this))
        return;
    m_owedReleases = 0;
    startAcquisition(*this, true);
}

void Tfrm_Main::TwainCopy()
{
    if (m_busy || !prefixAccepted(*this))
        return;
    m_owedReleases = 0;
    startAcquisition(*this, false);
}

void Tfrm_Main::TwainControlPostScan(int flag)
{
    if (flag != 0) {
        if (TwainControl->errorCode() != 0)
            Mess(TwainControl->errorString(), true);
        else
            Mess(message("IDS_6"));
        // No page came and none will: release the scanner after a scan or copy
        // and leave the program usable.
        if ((ScanMode == ScanMode::Scan || ScanMode == ScanMode::Copy) &&
            TwainControl->dataSourceState() == 0)
            TwainControl->StopDevice();
        // Pages of the batch still being written end it as usual, and the
        // failure is shown again after "Ready".
        if (Pipeline->pending() > 0) {
            if (TwainControl->errorCode() != 0)
                BatchError = TwainControl->errorString();
            m_batchEnding = true;
            return;
        }
        setCommandButtonsEnabled(true);
        return;
    }
    switch (ScanMode) {
    case ScanMode::Preview:
        PostScanPreview();
        break;
    case ScanMode::Scan:
    case ScanMode::Copy:
        submitPage();
        break;
    case ScanMode::None:
        break;
    }
}

void Tfrm_Main::TwainControlProgress(int action, int percentComplete, bool)
{
    static const char *const ActionIds[] = {"IDS_28", "IDS_29", "IDS_30", "IDS_31"};
    if (action >= 0 && action <= 3) {
        Mess(message(ActionIds[action]));
    } else if (action == TTwainControl::Acquiring) {
        if (ScanMode == ScanMode::Preview)
            Mess(message("IDS_32"));
        else if (ScanMode == ScanMode::Scan)
            Mess(message("IDS_33"));
        else if (ScanMode == ScanMode::Copy)
            Mess(message("IDS_34"));
    }
    // Keeps the last value after the batch: the bar shows how far it got.
    pb_ScanProgress->setValue(qBound(0, percentComplete, 100));
}

QPrinter *Tfrm_Main::currentPrinter()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

void Tfrm_Main::printSetup()
{
    QPrintDialog dialog(currentPrinter(), this);
    dialog.exec();
}

void Tfrm_Main::GetPrinterInfo()
{
    QPrinter *printer = currentPrinter();
    // The painter's origin is the top-left of this rectangle (not full page).
    const QRect printable = printer->pageLayout().paintRectPixels(printer->resolution());
    PrintableWidth = printable.width();
    PrintableHeight = printable.height();
    qCDebug(lcCommands) << "printer" << printer->printerName() << printer->resolution() << "dpi"
                        << PrintableWidth << "x" << PrintableHeight;
}
