// Scan and copy commands, the page pipeline and printing.
#include "mainwindow/Tfrm_Main.h"

#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "scanner/TTwainControl.h"

#include <QAction>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QToolButton>

void Tfrm_Main::Scan1Click()
{
    ToolButtonScan->setProperty("currentItem", QStringLiteral("Scan1"));
    ToolButtonScan->setText(Scan1->text());
    ToolButtonScan->setIcon(Scan1->icon());
    TwainScan();
}

void Tfrm_Main::Copy1Click()
{
    ToolButtonScan->setProperty("currentItem", QStringLiteral("Copy1"));
    ToolButtonScan->setText(Copy1->text());
    ToolButtonScan->setIcon(Copy1->icon());
    TwainCopy();
}

void Tfrm_Main::ToolButtonScanClick()
{
    if (ToolButtonScan->property("currentItem").toString() == QLatin1String("Scan1"))
        Scan1Click();
    else
        Copy1Click();
}

void Tfrm_Main::TwainScan() {}

void Tfrm_Main::TwainCopy() {}

void Tfrm_Main::TwainControlPostScan(int) {}

void Tfrm_Main::TwainControlProgress(int action, int percentComplete, bool)
{
    static const char *const ActionIds[] = {"IDS_28", "IDS_29", "IDS_30", "IDS_31"};
    const TLangTranslator &t = MessageTables::main();
    if (action >= 0 && action <= 3) {
        Mess(t.GetTextOrDefault(QLatin1String(ActionIds[action])));
    } else if (action == TTwainControl::Acquiring) {
        if (ScanMode == 1)
            Mess(t.GetTextOrDefault(QStringLiteral("IDS_32")));
        else if (ScanMode == 2)
            Mess(t.GetTextOrDefault(QStringLiteral("IDS_33")));
        else if (ScanMode == 3)
            Mess(t.GetTextOrDefault(QStringLiteral("IDS_34")));
    }
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

void Tfrm_Main::GetPrinterInfo() {}

bool Tfrm_Main::PrintImage(const QString &, int, int)
{
    return false;
}
