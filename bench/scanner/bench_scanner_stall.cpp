// The longest time the window cannot repaint or take input while a feeder scan
// starts on a slow scanner: every option call (sane_control_option) is made to take
// PAGORA_BENCH_OPTION_DELAY_MS (default 200 ms) by a wrapper in this program, as a
// network scanner's exchanges do. The scan goes through the main window, File,
// "S&can", to SANE's test backend at 75 dpi; a 2 ms timer on the UI thread notes how
// late each tick comes. Printed per run: the longest stall from the command to the
// first page, the longest over the whole batch, and how many option calls the batch
// made (all of them on the SANE thread). The tick gaps include the time the UI
// thread waited for a core on a busy machine; the longest single event the UI
// thread handled is printed as well, as that is what a wait for the scanner
// would lengthen.
#include "mainwindow/ImageListPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageModel.h"
#include "scanner/SaneTwainControl.h"
#include "settings/SettingsStore.h"
#include "widgets/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <dlfcn.h>
#include <functional>
#include <sane/sane.h>
#include <unistd.h>
#include <vector>

namespace {

std::atomic_int g_delayMs{200};
std::atomic_int g_optionCalls{0};

// Times every event the UI thread handles, without the events handled inside it
// (a nested event loop keeps the window responsive and is no stall).
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!measuring || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        QElapsedTimer clock;
        clock.start();
        m_nested.push_back(0);
        const bool result = QApplication::notify(receiver, event);
        const qint64 inner = m_nested.back();
        m_nested.pop_back();
        const qint64 total = clock.nsecsElapsed();
        if (!m_nested.empty())
            m_nested.back() += total;
        const double own = (total - inner) / 1e6;
        if (own > longestEventMs) {
            longestEventMs = own;
            longestEvent = QStringLiteral("%1 to %2")
                               .arg(int(event->type()))
                               .arg(QLatin1String(receiver->metaObject()->className()));
        }
        return result;
    }
    bool measuring = false;
    double longestEventMs = 0;
    QString longestEvent;

private:
    std::vector<qint64> m_nested;
};

TimedApplication *g_app = nullptr;

// Nanoseconds the calling thread has waited in the run queue for a core (Linux
// schedstat): taken off a tick gap, what is left is time the thread ran or was
// blocked, which a wait for the scanner thread would be.
qint64 runQueueWaitNs()
{
    std::FILE *f = std::fopen("/proc/thread-self/schedstat", "r");
    if (!f)
        return 0;
    unsigned long long running = 0, waiting = 0;
    const int n = std::fscanf(f, "%llu %llu", &running, &waiting);
    std::fclose(f);
    return n == 2 ? qint64(waiting) : 0;
}

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

struct Run
{
    double startStallMs = -1; // the command until the first page arrived
    double startEventMs = -1; // the longest event handled until then
    double startNetMs = -1;   // the longest stall until then, less waiting for a core
    double batchStallMs = -1; // the command until the batch is listed and idle
    double firstPageS = 0;
    double batchS = 0;
    int optionCalls = 0;
    int openCalls = 0; // of them until the source was open
    double openS = 0;
};

bool runOnce(const QString &folder, Run *out)
{
    const QString dest = folder + QStringLiteral("/scans");
    const QString temp = folder + QStringLiteral("/temp");
    QDir().mkpath(dest);
    QDir().mkpath(temp);
    qputenv("TEMP", QFile::encodeName(temp));

    auto *control = new SaneTwainControl;
    Tfrm_Main w(control);
    w.FormShow();
    if (!waitFor([&] { return w.scanSettings()->ToolButtonScan->isEnabled(); }, 120000)) {
        std::fprintf(stderr, "the scanner search did not end\n");
        return false;
    }
    int source = -1;
    for (int i = 0; i < control->sourceCount(); ++i) {
        if (control->deviceName(i) == QLatin1String("test:0"))
            source = i;
    }
    if (source < 0) {
        std::fprintf(stderr, "SANE's test backend is not in the source list\n");
        return false;
    }
    w.scanSettings()->cmb_Sources->setCurrentIndex(source);
    w.scanSettings()->cmb_Mode->setCurrentIndex(2);
    w.scanSettings()->cmb_Resolution->setCurrentText(QStringLiteral("75"));
    w.scanSettings()->cmb_Size->setCurrentIndex(1);
    w.scanSettings()->cmb_Format->setCurrentIndex(1);
    w.scanSettings()->edt_Destination->setText(dest);
    w.scanSettings()->cb_ADF->setChecked(true);
    w.scanSettings()->cb_ADFClick();

    bool firstPage = false;
    double commandMs = 0;
    double longestNet = 0;
    qint64 queuedAtTick = 0;
    QElapsedTimer timer;
    QElapsedTimer sinceTick;
    double longest = 0;
    QObject::connect(control, &TTwainControl::OnPostScan, &w, [&](int flag) {
        if (flag == 0 && !firstPage) {
            firstPage = true;
            out->firstPageS = timer.nsecsElapsed() / 1e9;
            out->startStallMs = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
            out->startEventMs = std::max(commandMs, g_app->longestEventMs);
            out->startNetMs = longestNet;
        }
    });
    // The open alone is what a control waiting for each answer would have frozen
    // the window for at the least.
    QObject::connect(control, &TTwainControl::OnSourceOpened, &w, [&](int) {
        out->openCalls = g_optionCalls;
        out->openS = timer.nsecsElapsed() / 1e9;
    });
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    // With PAGORA_BENCH_VERBOSE set: every stall over 16 ms, with when it ended.
    const bool verbose = qEnvironmentVariableIsSet("PAGORA_BENCH_VERBOSE");
    QObject::connect(&tick, &QTimer::timeout, &w, [&] {
        const double gap = sinceTick.nsecsElapsed() / 1e6;
        if (verbose && gap > 16)
            std::printf("  UI stall of %.1f ms ending at %.3f s\n", gap,
                        timer.nsecsElapsed() / 1e9);
        longest = std::max(longest, gap);
        const qint64 queued = runQueueWaitNs();
        longestNet = std::max(longestNet, gap - (queued - queuedAtTick) / 1e6);
        queuedAtTick = queued;
        sinceTick.start();
    });
    g_optionCalls = 0;
    g_app->longestEventMs = 0;
    g_app->measuring = true;
    queuedAtTick = runQueueWaitNs();
    timer.start();
    sinceTick.start();
    tick.start(2);
    w.Action1->trigger(); // File, "S&can"
    commandMs = timer.nsecsElapsed() / 1e6;
    if (verbose)
        std::printf("  command returned after %.1f ms\n", commandMs);
    const bool done = waitFor(
        [&] {
            return firstPage && w.scanSettings()->ToolButtonScan->isEnabled() &&
                   w.imageList()->Pages->rowCount() > 0;
        },
        600000);
    tick.stop();
    g_app->measuring = false;
    if (verbose)
        std::printf("  longest event: %.1f ms, event type %s\n", g_app->longestEventMs,
                    qPrintable(g_app->longestEvent));
    out->batchStallMs = longest;
    out->batchS = timer.nsecsElapsed() / 1e9;
    out->optionCalls = g_optionCalls;
    if (!done || w.StatusIsError) {
        std::fprintf(stderr, "the scan failed: %d listed, status \"%s\"\n",
                     w.imageList()->Pages->rowCount(), qPrintable(w.StatusText));
        return false;
    }
    w.FormClose();
    return true;
}

} // namespace

// Every option call of the program goes through here (the program's own calls bind
// to this definition; RTLD_NEXT finds libsane's).
extern "C" SANE_Status sane_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                           void *value, SANE_Int *info)
{
    using Real = SANE_Status (*)(SANE_Handle, SANE_Int, SANE_Action, void *, SANE_Int *);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "sane_control_option"));
    ++g_optionCalls;
    if (g_delayMs > 0)
        usleep(useconds_t(g_delayMs) * 1000);
    return real(handle, option, action, value, info);
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SANE_CONFIG_DIR"))
        qputenv("SANE_CONFIG_DIR", PAGORA_SOURCE_DIR "/data/sane");
    if (qEnvironmentVariableIsSet("PAGORA_BENCH_OPTION_DELAY_MS"))
        g_delayMs = qEnvironmentVariableIntValue("PAGORA_BENCH_OPTION_DELAY_MS");
    TimedApplication app(argc, argv);
    g_app = &app;
    int runs = 3;
    if (argc > 1 && QByteArray(argv[1]).toInt() > 0)
        runs = QByteArray(argv[1]).toInt();

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    SettingsStore::setDefaultFilePath(work.filePath(QStringLiteral("settings.conf")));
    UserPrompts::setResponder([](const UserPrompts::Prompt &) { return UserPrompts::Answer{}; });
    std::printf("every option call takes %d ms\n", int(g_delayMs));

    QList<double> starts;
    QList<double> events;
    QList<double> nets;
    for (int r = 0; r < runs; ++r) {
        Run run;
        if (!runOnce(work.filePath(QStringLiteral("run%1").arg(r)), &run))
            return 1;
        starts.append(run.startStallMs);
        events.append(run.startEventMs);
        nets.append(run.startNetMs);
        std::printf("run %d: first page after %.2f s, longest UI stall until then %.1f ms "
                    "(%.1f ms less waiting for a core; longest event %.1f ms); batch listed after "
                    "%.2f s, longest UI stall "
                    "%.1f ms; %d option calls, %d of them in the open (%.2f s)\n",
                    r + 1, run.firstPageS, run.startStallMs, run.startNetMs, run.startEventMs,
                    run.batchS, run.batchStallMs, run.optionCalls, run.openCalls, run.openS);
    }
    std::sort(starts.begin(), starts.end());
    std::sort(events.begin(), events.end());
    std::sort(nets.begin(), nets.end());
    std::printf("longest UI stall while the feeder scan starts: median %.1f ms, worst %.1f ms "
                "(goal <= 16 ms)\n",
                starts.at(starts.size() / 2), starts.last());
    std::printf("  less the time the UI thread waited for a core: median %.1f ms, worst %.1f ms\n",
                nets.at(nets.size() / 2), nets.last());
    std::printf("  longest single event or the command itself: median %.1f ms, worst %.1f ms\n",
                events.at(events.size() / 2), events.last());
    return nets.last() <= 16 ? 0 : 3;
}
