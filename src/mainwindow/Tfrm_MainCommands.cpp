// Scan and copy commands, the page pipeline and printing.
#include "gallery/FileNaming.h"
#include "gallery/TempFolder.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/PrintLayout.h"
#include "mainwindow/Tfrm_Main.h"
#include "mainwindow/UserPrompts.h"
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

constexpr int ScanModePreview = 1;
constexpr int ScanModeScan = 2;
constexpr int ScanModeCopy = 3;
constexpr float MaxNoiseLevel = 0.01f;

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

// Step 1 of the scan command. The folder tested and created is the trimmed one
// the page files go to: testing the text as typed would create "scans " while
// every page file failed to reach "scans".
bool destinationReady(Tfrm_Main &w)
{
    const QString folder = w.edt_Destination->text().trimmed();
    if (QFileInfo(folder).isDir())
        return true;
    const QString title = message("IDS_38");
    if (UserPrompts::message(&w, QMessageBox::Question, title, message("IDS_37"),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    // One level only: a missing parent is the user's to fix, not ours to invent.
    if (!QDir().mkdir(folder)) {
        UserPrompts::message(&w, QMessageBox::Warning, title, message("IDS_39"), QMessageBox::Ok);
        return false;
    }
    return true;
}

// Steps 2 to 7 shared by scan and copy.
void startAcquisition(Tfrm_Main &w, bool forScan)
{
    TTwainControl *control = w.TwainControl;
    w.ScanMode = forScan ? ScanModeScan : ScanModeCopy;
    w.BatchError.clear();
    w.Mess(message(forScan ? "IDS_41" : "IDS_43"));
    w.setCommandButtonsEnabled(false);

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
        control->Acquire();
        return;
    }
    w.Mess(control->errorString(), true);
    w.setCommandButtonsEnabled(true);
}

std::unique_ptr<QPrinter> freshPrinterLike(const QPrinter &old)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (old.outputFormat() == QPrinter::NativeFormat && !old.printerName().isEmpty())
        printer->setPrinterName(old.printerName());
    else if (!old.outputFileName().isEmpty())
        printer->setOutputFileName(old.outputFileName());
    printer->setPageLayout(old.pageLayout());
    printer->setColorMode(old.colorMode());
    printer->setDuplex(old.duplex());
    printer->setCopyCount(old.copyCount());
    return printer;
}

void endOfBatchTest(Tfrm_Main &w)
{
    TTwainControl *control = w.TwainControl;
    if (control->dataSourceState() != 0)
        return; // more sheets are coming
    control->StopDevice();
    w.Mess(message("IDS_6"));
    w.setCommandButtonsEnabled(true);
    const QString batchError = w.BatchError;
    w.BatchError.clear();
    if (!batchError.isEmpty())
        w.Mess(batchError, true);
}

void controlErrorTest(Tfrm_Main &w)
{
    if (w.TwainControl->errorCode() != 0)
        w.Mess(w.TwainControl->errorString(), true);
}

FileNaming::PageNames nameNextPage(Tfrm_Main &w)
{
    const QString temp = TempFolder::path();
    const QString suffix =
        w.Check(FileNaming::stamp(QDateTime::currentDateTime(), QLocale::system()));
    return FileNaming::pageNames(suffix, w.edt_FileName->text(),
                                 FileNaming::extensionFromFormatItem(w.cmb_Format->currentText()),
                                 w.edt_Destination->text(), temp);
}

void postScanScannedPage(Tfrm_Main &w)
{
    TTwainControl *control = w.TwainControl;
    const FileNaming::PageNames names = nameNextPage(w);
    const int page = control->numImages() - 1;
    QElapsedTimer clock;
    clock.start();

    QString error;
    if (!control->SaveImage(page, names.pageFile))
        error = Tfrm_Main::tr("The page file %1 could not be written: %2", "pageFileNotWritten")
                    .arg(nativePath(names.pageFile), control->saveFailureReason());
    const qint64 pageFileMs = clock.restart();
    const bool copyWritten = control->SaveImage(page, names.workingCopy);
    const qint64 workingCopyMs = clock.restart();
    if (!copyWritten && error.isEmpty())
        error =
            Tfrm_Main::tr("The working copy %1 could not be written: %2", "workingCopyNotWritten")
                .arg(nativePath(names.workingCopy), control->saveFailureReason());
    const int width = control->GetImageWidth(page);
    const int height = control->GetImageHeight(page);

    bool blank = false;
    if (w.gADF && w.gSkipBlank) {
        float level = 0; // measured, not used
        blank = control->IsBlankImage(page, MaxNoiseLevel, level) == 1;
    }
    // A page whose page file failed is still listed from its working copy:
    // the scan is not lost, and the error above says what is missing.
    if (!blank && !w.FillImageList(names.workingCopy, width, height, names.fileName) &&
        copyWritten && error.isEmpty())
        error = Tfrm_Main::tr("The working copy %1 could not be read.", "workingCopyNotRead")
                    .arg(nativePath(names.workingCopy));

    qCDebug(lcCommands) << "page" << page << "saved in" << pageFileMs << "ms, working copy"
                        << workingCopyMs << "ms, blank test and list" << clock.elapsed() << "ms";
    if (!error.isEmpty())
        reportPageError(w, error);
    // The batch goes on after a failed page and ends as usual.
    endOfBatchTest(w);
    controlErrorTest(w);
}

void postScanCopiedPage(Tfrm_Main &w)
{
    TTwainControl *control = w.TwainControl;
    // Named like a scanned page, against the destination folder, which gets nothing.
    const FileNaming::PageNames names = nameNextPage(w);
    const int page = control->numImages() - 1;
    const bool copyWritten = control->SaveImage(page, names.workingCopy);
    const int width = control->GetImageWidth(page);
    const int height = control->GetImageHeight(page);
    if (!copyWritten)
        reportPageError(w, Tfrm_Main::tr("The working copy %1 could not be written: %2",
                                         "workingCopyNotWritten")
                               .arg(nativePath(names.workingCopy), control->saveFailureReason()));
    else
        w.PrintImage(names.workingCopy, width, height); // reports its own failure
    endOfBatchTest(w);
    controlErrorTest(w);
}

} // namespace

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

void Tfrm_Main::TwainScan()
{
    // The menu commands stay enabled during a batch; starting another one then
    // would reopen the busy scanner and turn the remaining sheets into copies.
    if (!ToolButtonScan->isEnabled())
        return;
    if (!destinationReady(*this))
        return;
    startAcquisition(*this, true);
}

void Tfrm_Main::TwainCopy()
{
    if (!ToolButtonScan->isEnabled())
        return;
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
        if ((ScanMode == ScanModeScan || ScanMode == ScanModeCopy) &&
            TwainControl->dataSourceState() == 0)
            TwainControl->StopDevice();
        setCommandButtonsEnabled(true);
        return;
    }
    switch (ScanMode) {
    case ScanModePreview:
        PostScanPreview();
        break;
    case ScanModeScan:
        postScanScannedPage(*this);
        break;
    case ScanModeCopy:
        postScanCopiedPage(*this);
        break;
    default:
        break;
    }
}

void Tfrm_Main::TwainControlProgress(int action, int percentComplete, bool)
{
    static const char *const ActionIds[] = {"IDS_28", "IDS_29", "IDS_30", "IDS_31"};
    if (action >= 0 && action <= 3) {
        Mess(message(ActionIds[action]));
    } else if (action == TTwainControl::Acquiring) {
        if (ScanMode == ScanModePreview)
            Mess(message("IDS_32"));
        else if (ScanMode == ScanModeScan)
            Mess(message("IDS_33"));
        else if (ScanMode == ScanModeCopy)
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

bool Tfrm_Main::PrintImage(const QString &TmpFileName, int w, int h)
{
    const QImage image(TmpFileName);
    if (image.isNull()) {
        reportPageError(*this, tr("The working copy %1 could not be read.", "workingCopyNotRead")
                                   .arg(nativePath(TmpFileName)));
        return false;
    }
    QPrinter *printer = currentPrinter();
    printer->setDocName(message("IDS_98"));
    const QRect target = printRectangle(w, h, PrintableWidth, PrintableHeight);

    QPainter painter;
    if (!painter.begin(printer)) {
        const QString name = printer->printerName();
        // Qt leaves a printer whose job failed to start "active" for good; a
        // fresh one with the same choices lets the next page try again.
        m_printer = freshPrinterLike(*printer);
        reportPageError(*this,
                        name.isEmpty()
                            ? tr("The page could not be printed: there is no printer.", "noPrinter")
                            : tr("The page could not be printed on %1.", "printFailed").arg(name));
        return false;
    }
    if (!target.isEmpty())
        painter.drawImage(target, image, QRect(0, 0, w, h));
    if (!painter.end()) {
        reportPageError(
            *this,
            tr("The page could not be printed on %1.", "printFailed").arg(printer->printerName()));
        return false;
    }
    return true;
}
