#include "ocr/OcrHelperProcess.h"

#include "ocr/Companion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// How often a transfer looks at the cancel flag and the clock.
constexpr int PollMs = 100;

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A pipe end that is not one of the standard streams: the child's file actions put
// the pipes on 0 and 1, and a duplicate onto itself would keep close-on-exec.
bool moveAboveStandardStreams(int &fd)
{
    if (fd > STDERR_FILENO)
        return true;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    fd = moved;
    return fd >= 0;
}

// Writing to a helper that has died raises SIGPIPE, which would end the program:
// blocked in this thread while it writes, and taken back if it came.
class PipeSignalBlock
{
public:
    PipeSignalBlock()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~PipeSignalBlock()
    {
        if (m_raised) {
            const timespec none{0, 0};
            while (sigtimedwait(&m_pipe, nullptr, &none) > 0) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    void raised() { m_raised = true; }

private:
    sigset_t m_pipe;
    sigset_t m_old;
    bool m_raised = false;
};

bool isProgram(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

QString OcrHelperProcess::program()
{
    const QString given = qEnvironmentVariable("PAGORA_OCR_HELPER");
    if (!given.isEmpty())
        return given;
    return Companion::find(QStringLiteral("pagora-ocr"), isProgram);
}

bool OcrHelperProcess::start(const QString &program, const QStringList &arguments, QString *error)
{
    stop();
    int toHelper[2] = {-1, -1}, fromHelper[2] = {-1, -1};
    if (pipe2(toHelper, O_CLOEXEC) != 0 || pipe2(fromHelper, O_CLOEXEC) != 0) {
        const int reason = errno;
        for (int &fd : toHelper)
            closeFd(fd);
        *error = QString::fromLocal8Bit(strerror(reason));
        return false;
    }
    bool ok = true;
    for (int *fd : {&toHelper[0], &toHelper[1], &fromHelper[0], &fromHelper[1]})
        ok = moveAboveStandardStreams(*fd) && ok;

    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> args{path};
    for (const QString &argument : arguments)
        args.push_back(argument.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &argument : args)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHelper[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromHelper[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    // The program blocks its closing signals in every thread and ignores SIGPIPE;
    // the helper starts with neither. Its own process group keeps a Ctrl+C in the
    // terminal for the program, which ends the helper itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETPGROUP);

    pid_t pid = 0;
    const int result =
        ok ? posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), environ)
           : errno;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeFd(toHelper[0]);
    closeFd(fromHelper[1]);
    if (result != 0) {
        closeFd(toHelper[1]);
        closeFd(fromHelper[0]);
        *error = QString::fromLocal8Bit(strerror(result));
        return false;
    }
    m_pid = pid;
    m_toHelper = toHelper[1];
    m_fromHelper = fromHelper[0];
    // A page goes over in fewer, larger writes.
    fcntl(m_toHelper, F_SETPIPE_SZ, 1 << 20);
    fcntl(m_toHelper, F_SETFL, fcntl(m_toHelper, F_GETFL) | O_NONBLOCK);
    fcntl(m_fromHelper, F_SETFL, fcntl(m_fromHelper, F_GETFL) | O_NONBLOCK);
    return true;
}

bool OcrHelperProcess::isRunning()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    const pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == 0)
        return true;
    // Ended, or reaped by someone else (ECHILD).
    m_pid = 0;
    closeFd(m_toHelper);
    closeFd(m_fromHelper);
    return false;
}

void OcrHelperProcess::stop()
{
    closeFd(m_toHelper);
    closeFd(m_fromHelper);
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = 0;
}

OcrHelperProcess::Outcome OcrHelperProcess::transfer(bool writing, char *data, std::size_t size,
                                                     const Watch &watch)
{
    const int fd = writing ? m_toHelper : m_fromHelper;
    if (fd < 0)
        return Outcome::Lost;
    PipeSignalBlock pipeSignal;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            writing ? ::write(fd, data + done, size - done) : ::read(fd, data + done, size - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n == 0)
            return Outcome::Lost;
        if (errno == EPIPE)
            pipeSignal.raised();
        if (errno != EAGAIN && errno != EINTR)
            return Outcome::Lost;
        if (watch.cancel && watch.cancel->load())
            return Outcome::Cancelled;
        int waitMs = PollMs;
        if (watch.limitMs > 0 && watch.clock) {
            const qint64 left = watch.limitMs - watch.clock->elapsed();
            if (left <= 0)
                return Outcome::TimedOut;
            waitMs = int(qMin<qint64>(waitMs, left));
        }
        pollfd p{fd, short(writing ? POLLOUT : POLLIN), 0};
        if (poll(&p, 1, waitMs) < 0 && errno != EINTR)
            return Outcome::Lost;
    }
    return Outcome::Done;
}

OcrHelperProcess::Outcome OcrHelperProcess::sendPage(const OcrHelperProtocol::PageHeader &page,
                                                     const uchar *pixels, qsizetype bytesPerLine,
                                                     const Watch &watch)
{
    OcrHelperProtocol::PageHeader header = page;
    Outcome outcome = transfer(true, reinterpret_cast<char *>(&header), sizeof header, watch);
    const std::size_t width = std::size_t(page.width);
    if (outcome == Outcome::Done && bytesPerLine == qsizetype(width))
        return transfer(true, const_cast<char *>(reinterpret_cast<const char *>(pixels)),
                        width * std::size_t(page.height), watch);
    // Rows padded in memory go one by one rather than through a copy of the page.
    for (int y = 0; outcome == Outcome::Done && y < page.height; ++y) {
        const uchar *row = pixels + qsizetype(y) * bytesPerLine;
        outcome =
            transfer(true, const_cast<char *>(reinterpret_cast<const char *>(row)), width, watch);
    }
    return outcome;
}

OcrHelperProcess::Outcome OcrHelperProcess::readStatus(OcrHelperProtocol::StatusHeader *status,
                                                       std::string *text, const Watch &watch)
{
    Outcome outcome = transfer(false, reinterpret_cast<char *>(status), sizeof *status, watch);
    if (outcome != Outcome::Done)
        return outcome;
    // A length no helper of ours sends: the stream is broken.
    if (status->length < 0 || status->length > (1 << 30))
        return Outcome::Lost;
    text->resize(std::size_t(status->length));
    return transfer(false, text->data(), text->size(), watch);
}
