// Adds a PDF (or any files) through File, "Add files..." as the window runs it
// (PageAdder: the free-space check, the importer off the UI thread, the pages
// listed in the page store) and prints the time until every page is listed and
// the temporary disk the working copies take, with the load average around it.
#include "mainwindow/PageAdder.h"
#include "pages/PageStore.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <sys/stat.h>

namespace {

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray("?");
}

// Blocks on the disk, as du counts them, of the files in folder.
qint64 diskUsed(const QString &folder, int *files)
{
    qint64 bytes = 0;
    *files = 0;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        struct stat st = {};
        if (::lstat(QFile::encodeName(dir.filePath(name)).constData(), &st) == 0) {
            bytes += qint64(st.st_blocks) * 512;
            ++*files;
        }
    }
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE... (TEMP names the temporary folder)\n", argv[0]);
        return 1;
    }
    // The working copies go to a folder of the run's own unless TEMP names one.
    QTemporaryDir own(QDir::tempPath() + QStringLiteral("/pagora-import-XXXXXX"));
    if (qEnvironmentVariableIsEmpty("TEMP"))
        qputenv("TEMP", QFile::encodeName(own.path()));
    const QString temp = QFile::decodeName(qgetenv("TEMP"));
    QApplication app(argc, argv);
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files.append(QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath());
    QStringList said;
    UserPrompts::setResponder([&said](const UserPrompts::Prompt &prompt) {
        said.append(prompt.text);
        return UserPrompts::Answer();
    });

    QWidget window;
    PageStore store;
    int used0 = 0;
    const qint64 before = diskUsed(temp, &used0);
    const QByteArray loadBefore = loadAverage();
    auto *adder = new PageAdder(&window, &store);
    int added = -1;
    QObject::connect(adder, &PageAdder::done, &app, [&](int pages) {
        added = pages;
        app.quit();
    });
    QElapsedTimer clock;
    clock.start();
    adder->add(files);
    if (added < 0)
        app.exec();
    const double seconds = clock.elapsed() / 1000.0;
    int copies = 0;
    const qint64 used = diskUsed(temp, &copies) - before;
    const QByteArray loadAfter = loadAverage();
    for (const QString &text : std::as_const(said))
        std::printf("said: %s\n", qPrintable(text));
    std::printf("pages listed: %d\n", added);
    std::printf("until listed: %.1f s (%.2f s a page)\n", seconds, added > 0 ? seconds / added : 0);
    std::printf("temporary disk used: %.1f MB in %d files (%.2f MB a page)\n", used / 1e6, copies,
                added > 0 ? used / 1e6 / added : 0);
    std::printf("load average before: %s\nload average after:  %s\n", loadBefore.constData(),
                loadAfter.constData());
    store.close();
    return added > 0 ? 0 : 2;
}
