// Times "Save all to PDF" of 10 A4 300 dpi text pages through the main window:
// without recognition, and searchable after the pages were recognised in the
// background as they were listed. Goal: searchable within 1.2 times the plain time.
#include "GalleryBench.h"
#include "files/TempFolder.h"
#include "gallery/PdfSaveDialog.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageRecogniser.h"
#include "scanner/NullTwainControl.h"
#include "settings/SettingsStore.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace GalleryBench;

namespace {

// Lines of ordinary words in a 10-point serif, as a printed letter.
QImage textPage(quint32 seed)
{
    static const QStringList words =
        QStringLiteral("the of and to in is that for it as was with be by on not this are "
                       "document scanner page paper office letter invoice report search "
                       "archive folder printer system window copy")
            .split(QLatin1Char(' '));
    QImage page(PageWidth, PageHeight, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(42);
    painter.setFont(font);
    painter.setPen(Qt::black);
    QRandomGenerator random(seed);
    for (int y = 300; y < PageHeight - 250; y += 70) {
        QString line;
        while (painter.fontMetrics().horizontalAdvance(line) < PageWidth - 600)
            line += words.at(int(random.bounded(words.size()))) + QLatin1Char(' ');
        painter.drawText(200, y, line.trimmed());
    }
    return page;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    qputenv("TEMP", QFile::encodeName(scratch.path()));
    SettingsStore::setDefaultFilePath(scratch.filePath(QStringLiteral("settings.ini")));
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 3;

    Tfrm_Main window(new NullTwainControl);
    const QString pdf = scratch.filePath(QStringLiteral("out.pdf"));
    bool searchable = true; // the save dialog's check box as the user leaves it
    UserPrompts::setResponder([&pdf, &searchable](const UserPrompts::Prompt &) {
        UserPrompts::Answer answer;
        answer.path = pdf;
        answer.option = searchable;
        return answer;
    });
    const auto saveAll = [&] {
        window.imageList()->Action_PDFExecute();
        while (window.imageList()->pdfExportRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    };

    // Recognition on, as in the preferences, before the pages are listed.
    {
        SettingsStore store;
        store.WriteBool(SettingsStore::SearchablePdf, true);
        store.WriteString(SettingsStore::OcrLanguages, QStringLiteral("eng"));
    }
    window.imageList()->Recogniser->setLanguages(PdfSaveDialog::preferredRecognition());
    QElapsedTimer background;
    background.start();
    for (int i = 0; i < 10; ++i) {
        const QString copy = TempFolder::join(scratch.path(), QStringLiteral("p%1.bmp").arg(i));
        if (!textPage(quint32(i + 1)).save(copy, "BMP") ||
            !window.imageList()->FillImageList(copy, PageWidth, PageHeight,
                                               QStringLiteral("p%1.bmp").arg(i)))
            return 1;
    }
    while (window.imageList()->Recogniser->busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const double backgroundMs = double(background.elapsed());

    const double searchableMs = medianMs(runs, saveAll);
    const qint64 searchableBytes = QFileInfo(pdf).size();
    searchable = false;
    const double plainMs = medianMs(runs, saveAll);

    std::printf("background recognition, 10 pages: %8.2f s (%d threads)\n", backgroundMs / 1000,
                QThread::idealThreadCount());
    std::printf("Save all to PDF, plain:           %8.2f s (%lld bytes)\n", plainMs / 1000,
                QFileInfo(pdf).size());
    std::printf("Save all to PDF, searchable:      %8.2f s (%lld bytes)\n", searchableMs / 1000,
                searchableBytes);
    std::printf("ratio (goal <= 1.2):              %8.2f\n", searchableMs / plainMs);
    return 0;
}
