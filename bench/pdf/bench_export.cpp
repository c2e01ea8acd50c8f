// The export as the program runs it for "Save all to PDF", timed inside one process:
// what bench/pdf/run.sh compares with tjbench without the start of a program.
//   pagora_bench_export RUNS OUTPUT.pdf IMAGE...
// prints the seconds of each run on one line.
#include "pdf/PdfExport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

int main(int argc, char *argv[])
{
    // As pagora-pdf sets them: each page's buffers are used again by the next.
    mallopt(M_MMAP_THRESHOLD, 16 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fputs("usage: pagora_bench_export RUNS OUTPUT.pdf IMAGE...\n", stderr);
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    const QString output = QString::fromLocal8Bit(argv[2]);
    QStringList pages;
    for (int i = 3; i < argc; ++i)
        pages << QString::fromLocal8Bit(argv[i]);
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        QString error;
        if (!PdfExport::run(pages, output, PdfExportOptions(), &error)) {
            std::fprintf(stderr, "pagora_bench_export: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s%.3f", run ? " " : "", double(clock.nsecsElapsed()) / 1e9);
    }
    std::printf("\n");
    return 0;
}
