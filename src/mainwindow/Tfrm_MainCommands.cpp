// Scan and copy commands and printing: the window checks the name and the
// folder, the session runs the command.
#include "pages/FileNaming.h"
#include "files/TempFolder.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "session/PreviewRules.h"
#include "mainwindow/PreviewPane.h"
#include "mainwindow/PagePrinter.h"
#include "mainwindow/Tfrm_Main.h"
#include "widgets/UserPrompts.h"

#include <QAction>
#include <QCheckBox>
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

QString message(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

// A prefix that would lose the page or put it outside the destination folder is
// refused before anything is scanned.
bool Tfrm_Main::prefixAccepted()
{
    QString problem;
    switch (FileNaming::prefixProblem(edt_FileName->text())) {
    case FileNaming::PrefixProblem::None:
        return true;
    case FileNaming::PrefixProblem::Separator:
        problem =
            tr("The file name must not contain \"/\" or \"\\\".", "prefixSeparator");
        break;
    case FileNaming::PrefixProblem::DotName:
        problem = tr("The file name must not be \".\" or \"..\".", "prefixDots");
        break;
    case FileNaming::PrefixProblem::ControlCharacter:
        problem =
            tr("The file name must not contain control characters.", "prefixControl");
        break;
    case FileNaming::PrefixProblem::TooLong:
        problem =
            tr("The file name must not be longer than %1 characters.", "prefixTooLong")
                .arg(FileNaming::kMaxPrefixLength);
        break;
    }
    Mess(problem, true);
    edt_FileName->setFocus();
    return false;
}

// Step 1 of the scan command. "~" is the home folder and a relative path is
// taken from there, never from wherever the program was started; the field then
// shows the folder the pages really go to.
bool Tfrm_Main::destinationReady()
{
    const QString typed = edt_Destination->text().trimmed();
    const QString folder = FileNaming::resolveDestination(typed, QDir::homePath());
    if (!folder.isEmpty() && folder != QDir::fromNativeSeparators(typed))
        edt_Destination->setText(nativePath(folder));
    if (QFileInfo(folder).isDir())
        return true;
    const QString title = message("IDS_38");
    if (UserPrompts::message(this, QMessageBox::Question, title, message("IDS_37"),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    // One level only: a missing parent is the user's to fix, not ours to invent.
    if (folder.isEmpty() || !QDir().mkdir(folder)) {
        UserPrompts::message(this, QMessageBox::Warning, title, message("IDS_39"), QMessageBox::Ok);
        return false;
    }
    return true;
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

void Tfrm_Main::StopScanningClick()
{
    m_session->stop();
}

ScanSession::Request Tfrm_Main::scanRequest() const
{
    ScanSession::Request request;
    request.source = cmb_Sources->currentIndex();
    request.pixelType = cmb_Mode->currentIndex();
    request.resolution = cmb_Resolution->currentText().toInt();
    request.sizeIndex = cmb_Size->currentIndex();
    if (request.sizeIndex == 0)
        request.areaInches =
            PreviewRules::areaInInches(I32_Preview->areaRect(), PreviewResolution);
    request.feeder = cb_ADF->isChecked();
    request.duplex = cb_Duplex->isChecked();
    return request;
}

void Tfrm_Main::TwainScan()
{
    // The menu's shortcut may still come here while a command runs or the
    // scanners are being searched for.
    if (m_session->state() != ScanSession::State::Idle || !prefixAccepted() || !destinationReady())
        return;
    syncNaming();
    m_session->TwainScan(scanRequest());
}

void Tfrm_Main::TwainCopy()
{
    if (m_session->state() != ScanSession::State::Idle || !prefixAccepted())
        return;
    syncNaming();
    ScanSession::Request request = scanRequest();
    const QSize printable = GetPrinterInfo();
    request.printableWidth = printable.width();
    request.printableHeight = printable.height();
    // A copy of the printer's settings: the job runs on the pipeline's thread.
    const PagePrinter printer(*currentPrinter());
    const QString title = message("IDS_98");
    request.print = [printer, printable, title](const QImage &image, int width, int height) {
        return printer.print(image, width, height, printable.width(), printable.height(), title);
    };
    m_session->TwainCopy(request);
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

QSize Tfrm_Main::GetPrinterInfo()
{
    QPrinter *printer = currentPrinter();
    // The painter's origin is the top-left of this rectangle (not full page).
    const QRect printable = printer->pageLayout().paintRectPixels(printer->resolution());
    qCDebug(lcCommands) << "printer" << printer->printerName() << printer->resolution() << "dpi"
                        << printable.size();
    return printable.size();
}
