#pragma once

#include <QPageLayout>
#include <QPrinter>
#include <QString>

class QImage;

// Prints copied pages, one job each, on the printer the user chose. The choice is
// taken on the UI thread when a copy starts; print() may then run on any thread
// (QPainter on a QPrinter works off the UI thread), each job on a fresh QPrinter,
// so a job that failed to start leaves nothing behind for the next one.
class PagePrinter final
{
public:
    // The choices of the window's printer: its name or output file, page layout,
    // colour mode, duplex and copies.
    explicit PagePrinter(const QPrinter &choice);

    // Places the page at the top-left of the printable area, as large as fits with
    // its proportions kept (w x h of the page into printable width x height).
    // Empty on success, otherwise the reason, ready to show.
    QString print(const QImage &page, int w, int h, int printableWidth, int printableHeight,
                  const QString &title) const;

private:
    QString m_printerName;
    QString m_outputFileName;
    QPageLayout m_layout;
    QPrinter::ColorMode m_colorMode;
    QPrinter::DuplexMode m_duplex;
    int m_copies;
};
