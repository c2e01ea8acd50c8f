// Times the thumbnail of an A4 300 dpi page (from memory, against Pillow's
// reduce(47) on the same picture in the same run, and from the BMP file on
// disk) and "Save all to PDF" of 20 such pages through the main window.
#include "GalleryBench.h"
#include "files/TempFolder.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/Thumbnail.h"
#include "scanner/NullTwainControl.h"
#include "settings/SettingsStore.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace GalleryBench;

namespace {

// Text-like content: white paper with dark strokes and some colour, so neither
// side profits from a uniform picture.
QImage a4Page(quint32 seed)
{
    QImage page(PageWidth, PageHeight, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < PageHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < PageWidth; ++x) {
            const bool ink = ((x / 7 + y / 11) % 5 == 0) && (random.generate() & 3) != 0;
            line[x] = ink ? qRgb(20, 20, 30 + (x & 63)) : qRgb(250, 248, 240 - (y & 15));
        }
    }
    return page;
}

// Pillow's reduce(47) on the same BMP, loaded into memory first: median in ms.
double pillowMs(const QString &bmp, int runs)
{
    const QString script = QStringLiteral(
        "import sys, time\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]); im.load()\n"
        "t = []\n"
        "for _ in range(int(sys.argv[2])):\n"
        "    s = time.perf_counter(); im.reduce(47); t.append(time.perf_counter() - s)\n"
        "t.sort(); print(t[len(t) // 2] * 1000)\n");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), script, bmp, QString::number(runs)});
    if (!python.waitForFinished(300000) || python.exitCode() != 0) {
        std::fprintf(stderr, "python3 with Pillow failed: %s\n",
                     python.readAllStandardError().constData());
        return -1;
    }
    return python.readAllStandardOutput().trimmed().toDouble();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    qputenv("TEMP", QFile::encodeName(scratch.path()));
    SettingsStore::setDefaultFilePath(scratch.filePath(QStringLiteral("settings.ini")));
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 15;

    const QImage page = a4Page(1);
    const QString bmp = scratch.filePath(QStringLiteral("page.bmp"));
    if (!page.save(bmp, "BMP"))
        return 1;

    const double memory =
        medianMs(runs, [&] { Thumbnail::fromImage(page, PageWidth, PageHeight); });
    const double pillow = pillowMs(bmp, runs);
    const double file = medianMs(runs, [&] { Thumbnail::fromFile(bmp, PageWidth, PageHeight); });
    std::printf("thumbnail from memory:     %8.2f ms\n", memory);
    std::printf("Pillow reduce(47):         %8.2f ms\n", pillow);
    if (pillow > 0)
        std::printf("ratio (goal <= 1.0):       %8.2f\n", memory / pillow);
    std::printf("thumbnail from BMP file:   %8.2f ms (goal <= 30 ms)\n", file);

    // "Save all to PDF" of 20 pages, through the command, as a user runs it.
    Tfrm_Main window(new NullTwainControl);
    for (int i = 0; i < 20; ++i) {
        const QString copy = TempFolder::join(scratch.path(), QStringLiteral("p%1.bmp").arg(i));
        if (!a4Page(quint32(i + 2)).save(copy, "BMP") ||
            !window.imageList()->FillImageList(copy, PageWidth, PageHeight,
                                               QStringLiteral("p%1.bmp").arg(i)))
            return 1;
    }
    const QString pdf = scratch.filePath(QStringLiteral("out.pdf"));
    UserPrompts::setResponder([&pdf](const UserPrompts::Prompt &) {
        UserPrompts::Answer answer;
        answer.path = pdf;
        return answer;
    });
    const double exportMs = medianMs(3, [&] {
        window.imageList()->Action_PDFExecute();
        while (window.imageList()->pdfExportRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    });
    std::printf("Save all to PDF, 20 pages: %8.2f s (%lld bytes, %d threads)\n", exportMs / 1000,
                QFileInfo(pdf).size(), QThread::idealThreadCount());
    return 0;
}
