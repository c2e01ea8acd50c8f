// Memory of "Save all to PDF" for a long list: lists N A4 300 dpi colour pages
// (1000 by default) in the main window and saves them all through the window's
// command, then prints the peak resident memory of the whole process and of the
// save alone. Goal: at most 200 MiB. The working copies are 20 different pages,
// each hard-linked N / 20 times, so the run needs about 520 MB of disk, not 26 GB;
// the PDF (about 1.3 GB for 1000 pages) goes to the same folder.
#include "GalleryBench.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "scanner/NullTwainControl.h"
#include "settings/SettingsStore.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

using namespace GalleryBench;

namespace {

// A colour scan: tinted paper, grey text lines and a coloured block.
QImage colourPage(quint32 seed)
{
    QImage page(PageWidth, PageHeight, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    page.fill(QColor(246, 242, 232));
    QPainter painter(&page);
    for (int y = 300; y < PageHeight - 300; y += 60)
        painter.fillRect(200, y, 400 + int(random.bounded(1800)), 24, QColor(40, 40, 50));
    painter.fillRect(300, 900, 900, 700, QColor::fromHsv(int(random.bounded(360)), 160, 200));
    painter.end();
    // Scanner noise, so that the JPEGs have the size of real ones.
    for (int y = 0; y < PageHeight; ++y) {
        auto *row = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < PageWidth; ++x) {
            const int n = int(random.bounded(9)) - 4;
            const QRgb c = row[x];
            row[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255),
                          qBound(0, qBlue(c) + n, 255));
        }
    }
    return page;
}

// Kilobytes from /proc/self/status: VmRSS (now) or VmHWM (peak).
long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Starts the peak afresh at the present size (Linux 4.0 and later).
bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int pages = argc > 1 ? qMax(20, atoi(argv[1])) : 1000;
    QTemporaryDir scratch(
        argc > 2
            ? QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("pagora-bench-XXXXXX"))
            : QDir::tempPath() + QStringLiteral("/pagora-bench-XXXXXX"));
    if (!scratch.isValid())
        return 1;
    qputenv("TEMP", QFile::encodeName(scratch.path()));
    SettingsStore::setDefaultFilePath(scratch.filePath(QStringLiteral("settings.ini")));

    Tfrm_Main window(new NullTwainControl);
    const QString pdf = scratch.filePath(QStringLiteral("out.pdf"));
    UserPrompts::setResponder([&pdf](const UserPrompts::Prompt &) {
        UserPrompts::Answer answer;
        answer.path = pdf;
        return answer;
    });

    QStringList originals;
    for (int i = 0; i < 20; ++i) {
        originals << scratch.filePath(QStringLiteral("original%1.bmp").arg(i));
        if (!colourPage(quint32(i + 1)).save(originals.last(), "BMP"))
            return 1;
    }
    QElapsedTimer listing;
    listing.start();
    for (int i = 0; i < pages; ++i) {
        const QString copy = scratch.filePath(QStringLiteral("p%1.bmp").arg(i));
        if (::link(QFile::encodeName(originals.at(i % 20)).constData(),
                   QFile::encodeName(copy).constData()) != 0 ||
            !window.imageList()->FillImageList(copy, PageWidth, PageHeight,
                                               QStringLiteral("p%1.bmp").arg(i)))
            return 1;
    }
    const double listedS = double(listing.elapsed()) / 1000;
    const long listedKb = statusKb("VmRSS:");
    const long listingPeakKb = statusKb("VmHWM:");

    const bool reset = resetPeak();
    QElapsedTimer saving;
    saving.start();
    window.imageList()->Action_PDFExecute();
    while (window.imageList()->pdfExportRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const double savedS = double(saving.elapsed()) / 1000;
    const long savePeakKb = statusKb("VmHWM:");

    std::printf("%d pages listed in %.1f s; memory then %ld MiB (peak while listing %ld MiB)\n",
                pages, listedS, listedKb / 1024, listingPeakKb / 1024);
    std::printf("Save all to PDF: %.1f s, PDF %lld MiB\n", savedS,
                QFileInfo(pdf).size() / (1024 * 1024));
    std::printf("peak memory during the save: %ld MiB%s (goal <= 200 MiB)\n", savePeakKb / 1024,
                reset ? "" : " (could not reset the peak: the whole run's)");
    return QFileInfo(pdf).size() > 0 ? 0 : 1;
}
