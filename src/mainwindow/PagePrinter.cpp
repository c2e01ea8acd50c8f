#include "mainwindow/PagePrinter.h"

#include "session/PrintLayout.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

PagePrinter::PagePrinter(const QPrinter &choice)
    : m_printerName(choice.outputFormat() == QPrinter::NativeFormat ? choice.printerName()
                                                                    : QString()),
      m_outputFileName(choice.outputFileName()), m_layout(choice.pageLayout()),
      m_colorMode(choice.colorMode()), m_duplex(choice.duplex()), m_copies(choice.copyCount())
{
}

QString PagePrinter::print(const QImage &page, int w, int h, int printableWidth,
                           int printableHeight, const QString &title) const
{
    QPrinter printer(QPrinter::HighResolution);
    if (!m_printerName.isEmpty())
        printer.setPrinterName(m_printerName);
    else if (!m_outputFileName.isEmpty())
        printer.setOutputFileName(m_outputFileName);
    printer.setPageLayout(m_layout);
    printer.setColorMode(m_colorMode);
    printer.setDuplex(m_duplex);
    printer.setCopyCount(m_copies);
    printer.setDocName(title);

    const QString name = printer.printerName();
    const auto failed = [&name] {
        return name.isEmpty()
                   ? QCoreApplication::translate(
                         "Tfrm_Main", "The page could not be printed: there is no printer.",
                         "noPrinter")
                   : QCoreApplication::translate(
                         "Tfrm_Main", "The page could not be printed on %1.", "printFailed")
                         .arg(name);
    };
    QPainter painter;
    if (!painter.begin(&printer))
        return failed();
    const QRect target = printRectangle(w, h, printableWidth, printableHeight);
    if (!target.isEmpty())
        painter.drawImage(target, page, QRect(0, 0, w, h));
    if (!painter.end())
        return failed();
    return {};
}
