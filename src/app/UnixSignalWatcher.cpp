#include "app/UnixSignalWatcher.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

Q_LOGGING_CATEGORY(lcSignals, "pagora.app.signals", QtWarningMsg)

sigset_t setOf(const QList<int> &signalNumbers)
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : signalNumbers)
        sigaddset(&set, number);
    return set;
}

} // namespace

void UnixSignalWatcher::blockInEveryThread(const QList<int> &signalNumbers)
{
    const sigset_t set = setOf(signalNumbers);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

UnixSignalWatcher::UnixSignalWatcher(const QList<int> &signalNumbers, QObject *parent)
    : QObject(parent), m_signals(signalNumbers)
{
    // Blocked and read from a signalfd rather than caught by a handler: a scanner
    // backend may set the signals' actions back to the default in its own threads
    // (SANE's test backend does), which would then end the program at once.
    blockInEveryThread(m_signals);
    const sigset_t set = setOf(m_signals);
    m_fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0) {
        qCWarning(lcSignals) << "no signalfd:" << strerror(errno);
        restoreDefaults();
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);
    qCDebug(lcSignals) << "watching" << m_signals;
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    if (!m_notifier)
        return;
    restoreDefaults();
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fd);
    m_fd = -1;
}

void UnixSignalWatcher::restoreDefaults()
{
    for (int number : std::as_const(m_signals))
        std::signal(number, SIG_DFL);
    // Unblocked on this thread only: the next signal reaches it and ends the program.
    const sigset_t set = setOf(m_signals);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void UnixSignalWatcher::readSignal()
{
    signalfd_siginfo info = {};
    bool any = false;
    int last = 0;
    while (::read(m_fd, &info, sizeof info) == ssize_t(sizeof info)) {
        any = true;
        last = int(info.ssi_signo);
    }
    if (!any)
        return;
    qCDebug(lcSignals) << "signal" << last;
    restoreDefaults();
    emit received(last);
}
