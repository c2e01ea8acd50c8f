#include "about/Tfrm_About.h"
#include "app/CommandLine.h"
#include "app/PagoraApplication.h"
#include "app/SignalShutdown.h"
#include "app/UnixSignalWatcher.h"
#include "gallery/Tfrm_Preview.h"
#include "mainwindow/Tfrm_Main.h"
#include "scanner/SaneDeviceLister.h"
#include "settings/Tfrm_Settings.h"
#include "widgets/UserPrompts.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

int runProgram(PagoraApplication &app, const QList<int> &closingSignals)
{
    // The four windows exist, hidden, before the main window is first shown, so
    // a language restored at start reaches all of them.
    Tfrm_Main frm_Main;
    Tfrm_About frm_About(&frm_Main);
    Tfrm_Settings frm_Settings(&frm_Main);
    Tfrm_Preview frm_Preview(&frm_Main);
    frm_Main.setWindows(&frm_About, &frm_Settings, &frm_Preview);

    // Logout, kill and Ctrl+C close the program as File, Exit does.
    SignalShutdown shutdown(&frm_Main);
    UnixSignalWatcher signalWatcher(closingSignals);
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &shutdown,
                     &SignalShutdown::closeProgram);

    try {
        frm_Main.show();
    } catch (const std::exception &e) {
        UserPrompts::showError(&frm_Main, QString::fromLocal8Bit(e.what()));
    }
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // The scanner search the program runs in a process of its own: no display, no
    // application object, no exit handlers (a backend may hang in one).
    if (argc == 2 && std::strcmp(argv[1], SaneDeviceLister::kOption) == 0)
        std::_Exit(SaneDeviceLister::printDevices());
    // Before the application object: --version and --help need no display.
    const int status = CommandLine::handleInfoOptions(argc, argv);
    if (status >= 0)
        return status;
    // Before any thread exists (the application object starts some).
    const QList<int> closingSignals{SIGTERM, SIGINT, SIGHUP};
    UnixSignalWatcher::blockInEveryThread(closingSignals);
    PagoraApplication app(argc, argv);
    SaneDeviceLister::setCommand(QCoreApplication::applicationFilePath(),
                                 {QString::fromLatin1(SaneDeviceLister::kOption)});
    const int result = runProgram(app, closingSignals);
    // The windows have closed and are gone: settings written, pages on disk, the
    // scanner closed or, if a backend never returned, left behind. Exit handlers are
    // skipped: one of them may wait for a lock such a backend thread holds, and
    // nothing of ours is left for them to do.
    std::fflush(nullptr);
    std::_Exit(result);
}
