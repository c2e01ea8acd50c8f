// A 10-sheet A4 300 dpi colour feeder batch with JPEG pages: the time from the
// scan command to the last page listed, against scanimage --batch of the same
// sheets followed by cjpeg of each, in the same run. Prints both and the ratio.
// With --corrections the preferences turn pages upright, straighten them and crop
// them to the paper, so the batch also measures that work. SANE's test pictures hold
// no text, so the corrections find nothing to measure in them: --text-pages feeds
// the same window and pipeline drawn text pages, fed turned and skewed, from a
// scripted control instead (no comparison with the tools then).
#include "i18n/MessageTables.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageModel.h"
#include "scanner/PageImageWriter.h"
#include "scanner/SaneTwainControl.h"
#include "settings/SettingsStore.h"
#include "widgets/UserPrompts.h"
#ifdef PAGORA_BENCH_TEXT_PAGES
#include "FakeTwainControl.h"
#include "support/TextPage.h"
#endif

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int Sheets = 10;
// The "A4 Letter, A4 " size, 8.3 x 11.7 inches, in millimetres for scanimage.
constexpr double A4WidthMm = 8.3 * 25.4;
constexpr double A4HeightMm = 11.7 * 25.4;

// Serves events until done() holds or the time is up; wakes at least every 50 ms.
bool waitFor(const std::function<bool()> &done, int ms)
{
    QTimer tick;
    tick.start(50);
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

// scanimage writes the sheets as PNM, then cjpeg compresses each at the quality
// the program's JPEG pages use. Returns seconds, or a negative value on failure.
double runTools(const QString &folder)
{
    const QString script =
        QStringLiteral("set -e; cd '%1'; "
                       "scanimage -d test:0 --source 'Automatic Document Feeder' --mode Color "
                       "--resolution 300 -l 0 -t 0 -x %2 -y %3 --format=pnm --batch=p%d.pnm "
                       "2>/dev/null || true; "
                       "n=0; for f in p*.pnm; do cjpeg -quality %4 -outfile \"${f%.pnm}.jpg\" "
                       "\"$f\"; n=$((n+1)); done; test $n -eq %5")
            .arg(folder)
            .arg(A4WidthMm, 0, 'f', 2)
            .arg(A4HeightMm, 0, 'f', 2)
            .arg(PageImageWriter::kJpegQuality)
            .arg(Sheets);
    QElapsedTimer timer;
    timer.start();
    QProcess p;
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        std::fprintf(stderr, "tools failed: %s\n", p.readAllStandardError().constData());
        return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

// The longest time the UI thread's event loop did not run during the last batch:
// a 2 ms timer notes how late each tick comes.
double g_longestStallMs = 0;

// Ten A4 300 dpi pages of text, fed upright, turned and skewed.
QList<QImage> g_textPages;

// One batch through the main window, from SANE's test backend or, with text pages,
// from the scripted control. Returns seconds, or a negative value.
double runPipeline(const QString &folder, bool textPages)
{
    const QString dest = folder + QStringLiteral("/scans");
    const QString temp = folder + QStringLiteral("/temp");
    QDir().mkpath(dest);
    QDir().mkpath(temp);
    qputenv("TEMP", QFile::encodeName(temp));

    TTwainControl *control = nullptr;
    int source = -1;
#ifdef PAGORA_BENCH_TEXT_PAGES
    if (textPages) {
        auto *fake = new FakeTwainControl;
        fake->setSources({QStringLiteral("Text pages")});
        fake->setFeederAvailable(true);
        QList<FakeTwainControl::Step> steps;
        for (const QImage &page : std::as_const(g_textPages))
            steps.append(FakeTwainControl::page(page));
        fake->queueBatch(steps);
        control = fake;
        source = 0;
    }
#else
    Q_UNUSED(textPages);
#endif
    auto *sane = control ? nullptr : new SaneTwainControl;
    if (sane)
        control = sane;
    Tfrm_Main w(control);
    w.FormShow();
    // The device search runs on the control's worker; the commands wait for it.
    if (!waitFor([&] { return w.scanSettings()->ToolButtonScan->isEnabled(); }, 60000)) {
        std::fprintf(stderr, "the scanner search did not end\n");
        return -1;
    }
    for (int i = 0; sane && i < sane->sourceCount(); ++i) {
        if (sane->deviceName(i) == QLatin1String("test:0"))
            source = i;
    }
    if (source < 0) {
        std::fprintf(stderr, "SANE's test backend is not in the source list\n");
        return -1;
    }
    w.scanSettings()->cmb_Sources->setCurrentIndex(source);
    w.scanSettings()->cmb_Mode->setCurrentIndex(2);
    w.scanSettings()->cmb_Resolution->setCurrentText(QStringLiteral("300"));
    w.scanSettings()->cmb_Size->setCurrentIndex(1);
    w.scanSettings()->cmb_Format->setCurrentIndex(1);
    w.scanSettings()->edt_Destination->setText(dest);
    w.scanSettings()->cb_ADF->setChecked(true);
    w.scanSettings()->cb_ADFClick();

    QElapsedTimer timer;
    // With PAGORA_BENCH_VERBOSE set: when the command returned and each page was done.
    const bool verbose = qEnvironmentVariableIsSet("PAGORA_BENCH_VERBOSE");
    QObject::connect(control, &TTwainControl::OnPostScan, &w, [&](int) {
        if (verbose)
            std::printf("  page %d handled at %.3f s\n", w.imageList()->Pages->rowCount(),
                        timer.nsecsElapsed() / 1e9);
    });
    QElapsedTimer sinceTick;
    double longestStall = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &w, [&] {
        const double gap = sinceTick.nsecsElapsed() / 1e6;
        if (verbose && gap > 50)
            std::printf("  UI stall of %.1f ms ending at %.3f s\n", gap,
                        timer.nsecsElapsed() / 1e9);
        longestStall = std::max(longestStall, gap);
        sinceTick.start();
    });
    timer.start();
    sinceTick.start();
    tick.start(2);
    w.Action1->trigger(); // File, "S&can"
    if (verbose)
        std::printf("  command returned at %.3f s\n", timer.nsecsElapsed() / 1e9);
    const bool done = waitFor(
        [&] {
            return w.scanSettings()->ToolButtonScan->isEnabled() &&
                   w.imageList()->Pages->rowCount() >= Sheets;
        },
        600000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    tick.stop();
    g_longestStallMs = longestStall;
    if (!done || w.StatusIsError) {
        std::fprintf(stderr, "pipeline failed: %d listed, status \"%s\"\n",
                     w.imageList()->Pages->rowCount(), qPrintable(w.StatusText));
        return -1;
    }
    const int pages = int(QDir(dest).entryList(QDir::Files).size());
    if (pages != Sheets) {
        std::fprintf(stderr, "pipeline wrote %d page files\n", pages);
        return -1;
    }
    w.FormClose();
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SANE_CONFIG_DIR"))
        qputenv("SANE_CONFIG_DIR", PAGORA_SOURCE_DIR "/data/sane");
    QApplication app(argc, argv);
    int runs = 3;
    bool corrections = false;
    bool textPages = false;
    for (const QString &argument : QCoreApplication::arguments().mid(1)) {
        bool number = false;
        const int n = argument.toInt(&number);
        if (number && n > 0) {
            runs = n;
        } else if (argument == QLatin1String("--corrections")) {
            corrections = true;
#ifdef PAGORA_BENCH_TEXT_PAGES
        } else if (argument == QLatin1String("--text-pages")) {
            textPages = true;
#endif
        } else {
            std::fprintf(stderr, "usage: bench_pipeline [--corrections] [--text-pages] [RUNS]\n");
            return 2;
        }
    }
#ifdef PAGORA_BENCH_TEXT_PAGES
    if (textPages) {
        const QImage page = textPage(pageOfWords(), 2480, 3508).image;
        const double turns[Sheets] = {0, 90, 180, 270, 2.5, -3, 91.5, 0, 180, -1.5};
        for (double degrees : turns)
            g_textPages.append(fedTurned(page, degrees));
    }
#endif

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    SettingsStore::setDefaultFilePath(work.filePath(QStringLiteral("settings.conf")));
    if (corrections) {
        // As OK in Preferences stores them; the window reads them when it is shown.
        SettingsStore store;
        for (const char *name :
             {SettingsStore::TurnUpright, SettingsStore::Straighten, SettingsStore::CropToPage})
            store.WriteBool(QLatin1String(name), true);
    }
    std::printf("page corrections (upright, straighten, crop): %s\n", corrections ? "on" : "off");
    UserPrompts::setResponder([](const UserPrompts::Prompt &) { return UserPrompts::Answer{}; });

    QList<double> tools;
    QList<double> pipeline;
    QList<double> stalls;
    for (int r = 0; r < runs; ++r) {
        const QString toolsDir = work.filePath(QStringLiteral("tools%1").arg(r));
        const QString pipeDir = work.filePath(QStringLiteral("pipeline%1").arg(r));
        QDir().mkpath(toolsDir);
        QDir().mkpath(pipeDir);
        const double t = textPages ? 0 : runTools(toolsDir);
        const double p = runPipeline(pipeDir, textPages);
        if (t < 0 || p < 0)
            return 1;
        tools.append(t);
        pipeline.append(p);
        stalls.append(g_longestStallMs);
        if (textPages)
            std::printf("run %d: pipeline %.3f s, longest UI stall %.1f ms\n", r + 1, p,
                        g_longestStallMs);
        else
            std::printf("run %d: pipeline %.3f s, scanimage+cjpeg %.3f s, ratio %.2f, "
                        "longest UI stall %.1f ms\n",
                        r + 1, p, t, p / t, g_longestStallMs);
        std::fflush(stdout);
        // Each run writes about 0.5 GB; free it before the next.
        QDir(toolsDir).removeRecursively();
        QDir(pipeDir).removeRecursively();
    }
    QList<double> ratios;
    for (int r = 0; r < runs && !textPages; ++r)
        ratios.append(pipeline.at(r) / tools.at(r));
    if (textPages)
        std::printf("median of %d runs: pipeline %.3f s\n", runs, median(pipeline));
    else
        std::printf("median of %d runs: pipeline %.3f s, scanimage+cjpeg %.3f s, "
                    "ratio %.2f (goal <= 1.0)\n",
                    runs, median(pipeline), median(tools), median(ratios));
    std::printf("longest UI stall: median %.1f ms, worst %.1f ms (goal <= 50 ms)\n", median(stalls),
                *std::max_element(stalls.cbegin(), stalls.cend()));
    return 0;
}
