#include "app/UnixSignalWatcher.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

Q_LOGGING_CATEGORY(lcSignals, "pagora.app.signals", QtWarningMsg)

// [0] read by the event loop, [1] written by the handler.
int pipeEnds[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pipe full the program already knows it must close.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

UnixSignalWatcher::UnixSignalWatcher(const QList<int> &signalNumbers, QObject *parent)
    : QObject(parent), m_signals(signalNumbers)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0) {
        qCWarning(lcSignals) << "no socket pair for signals:" << strerror(errno);
        return;
    }
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : std::as_const(m_signals))
        sigaction(number, &action, nullptr);
    qCDebug(lcSignals) << "watching" << m_signals;
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    if (!m_notifier)
        return;
    restoreDefaults();
    delete m_notifier;
    m_notifier = nullptr;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void UnixSignalWatcher::restoreDefaults()
{
    for (int number : std::as_const(m_signals))
        std::signal(number, SIG_DFL);
}

void UnixSignalWatcher::readSignal()
{
    unsigned char byte = 0;
    bool any = false;
    int last = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1) {
        any = true;
        last = byte;
    }
    if (!any)
        return;
    qCDebug(lcSignals) << "signal" << last;
    restoreDefaults();
    emit received(last);
}
