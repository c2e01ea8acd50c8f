#include "ocr/OcrEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <unistd.h>

#ifdef _OPENMP
#include <omp.h>
#endif

Q_LOGGING_CATEGORY(lcOcr, "pagora.ocr", QtWarningMsg)

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

// Where the language data lives: TESSDATA_PREFIX as Tesseract itself reads it, or
// the folders Debian's and upstream's packages install to.
QString OcrEngine::dataFolder()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        return prefix;
    static const QStringList candidates{QStringLiteral("/usr/share/tesseract-ocr/5/tessdata"),
                                        QStringLiteral("/usr/share/tesseract-ocr/4.00/tessdata"),
                                        QStringLiteral("/usr/share/tessdata"),
                                        QStringLiteral("/usr/local/share/tessdata")};
    for (const QString &path : candidates) {
        if (QDir(path).exists())
            return path;
    }
    return candidates.first();
}

namespace {

// Tesseract's networks run their loops on OpenMP teams of up to four threads. Pages
// are recognised in parallel instead, one engine per worker, which makes better use
// of the cores (teams on busy cores spin and slow everything down). The setting
// belongs to the calling thread, so it is made on each before it recognises.
void keepThisThreadSingle()
{
#ifdef _OPENMP
    omp_set_max_active_levels(0);
#endif
}

struct CancelProbe
{
    const std::atomic_bool *flag;
};

bool cancelRequested(void *probe, int)
{
    const auto *p = static_cast<CancelProbe *>(probe);
    return p->flag && p->flag->load();
}

// How often the parent looks at the cancel flag and the clock while a child works.
constexpr int PollMs = 100;

// The words as the child hands them over: per word its box (four 32-bit integers)
// and its UTF-8 text (a 32-bit length, then the bytes).
void appendInt(QByteArray &out, qint32 value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

QByteArray serialise(const PdfWords &words)
{
    QByteArray out;
    for (const PdfWord &word : words) {
        const QByteArray text = word.text.toUtf8();
        appendInt(out, word.box.x());
        appendInt(out, word.box.y());
        appendInt(out, word.box.width());
        appendInt(out, word.box.height());
        appendInt(out, qint32(text.size()));
        out += text;
    }
    return out;
}

bool deserialise(const QByteArray &in, PdfWords &words)
{
    qsizetype at = 0;
    const auto take = [&](qint32 &value) {
        if (at + qsizetype(sizeof value) > in.size())
            return false;
        std::memcpy(&value, in.constData() + at, sizeof value);
        at += sizeof value;
        return true;
    };
    while (at < in.size()) {
        qint32 x = 0, y = 0, w = 0, h = 0, length = 0;
        if (!take(x) || !take(y) || !take(w) || !take(h) || !take(length) || length < 0 ||
            at + length > in.size())
            return false;
        words.append({QString::fromUtf8(in.constData() + at, length), QRect(x, y, w, h)});
        at += length;
    }
    return true;
}

bool writeAll(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

OcrEngine::OcrEngine() : m_api(std::make_unique<tesseract::TessBaseAPI>())
{
}

OcrEngine::~OcrEngine()
{
    m_api->End();
}

QStringList OcrEngine::installedLanguages()
{
    QStringList languages;
    const QStringList files =
        QDir(dataFolder()).entryList({QStringLiteral("*.traineddata")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString code = file.chopped(int(qstrlen(".traineddata")));
        if (code != QLatin1String("osd") && code != QLatin1String("equ"))
            languages << code;
    }
    return languages;
}

QString OcrEngine::preferredLanguages(const QStringList &wanted)
{
    const QStringList installed = installedLanguages();
    QStringList chosen;
    for (const QString &code : wanted) {
        if (installed.contains(code))
            chosen << code;
    }
    if (chosen.isEmpty() && !wanted.isEmpty())
        chosen << wanted.first();
    return chosen.join(QLatin1Char('+'));
}

bool OcrEngine::checkLanguages(const QString &languages, QString *error)
{
    const QStringList wanted = languages.split(QLatin1Char('+'));
    const QStringList installed = installedLanguages();
    for (const QString &code : wanted) {
        if (code.isEmpty() || !installed.contains(code)) {
            setError(error, QCoreApplication::translate("OcrEngine",
                                                        "The recognition language '%1' is not "
                                                        "installed")
                                .arg(code));
            return false;
        }
    }
    return true;
}

bool OcrEngine::init(const QString &languages, QString *error)
{
    m_ready = false;
    if (!checkLanguages(languages, error))
        return false;
    const QByteArray path = QFile::encodeName(dataFolder());
    if (m_api->Init(path.constData(), languages.toUtf8().constData(), tesseract::OEM_DEFAULT) !=
        0) {
        // Name the language at fault: the first that does not load alone.
        QString culprit = languages;
        for (const QString &code : languages.split(QLatin1Char('+'))) {
            tesseract::TessBaseAPI probe;
            if (probe.Init(path.constData(), code.toUtf8().constData(), tesseract::OEM_DEFAULT) !=
                0) {
                culprit = code;
                break;
            }
        }
        setError(error, QCoreApplication::translate("OcrEngine",
                                                    "The data of the recognition language '%1' "
                                                    "cannot be loaded")
                            .arg(culprit));
        return false;
    }
    // Nothing on the terminal for every page.
    m_api->SetVariable("debug_file", "/dev/null");
    m_ready = true;
    return true;
}

bool OcrEngine::recognise(const QImage &image, PdfWords &words, QString *error,
                          const std::atomic_bool *cancel, bool *timedOut)
{
    words.clear();
    if (timedOut)
        *timedOut = false;
    if (!m_ready) {
        setError(error, QStringLiteral("The recognition engine has no language loaded"));
        return false;
    }
    if (image.isNull()) {
        setError(error, QStringLiteral("There is no image to recognise"));
        return false;
    }
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    // A resolution the file does not state is taken as a scan's usual 300 dpi.
    int dpi = qRound(image.dotsPerMeterY() * 0.0254);
    if (dpi < 70 || dpi > 2400)
        dpi = 300;

    bool late = false, forked = false;
    bool ok = recogniseInChild(gray, dpi, words, cancel, &late, &forked);
    if (!forked) {
        // No child to be had (the system is out of processes or memory): here,
        // bounded only where Tesseract looks at its monitor.
        qCWarning(lcOcr) << "recognising in the process itself:" << strerror(errno);
        CancelProbe probe{cancel};
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = cancelRequested;
        monitor.cancel_this = &probe;
        if (m_timeLimit > 0)
            monitor.set_deadline_msecs(m_timeLimit * 1000);
        QElapsedTimer clock;
        clock.start();
        ok = recogniseHere(gray, dpi, words, &monitor);
        late = !ok && m_timeLimit > 0 && clock.elapsed() >= qint64(m_timeLimit) * 1000;
    }
    if (cancel && cancel->load())
        ok = false, late = false;
    if (late) {
        words.clear();
        if (timedOut)
            *timedOut = true;
        setError(error,
                 QCoreApplication::translate("OcrEngine", "The recognition of the page was stopped "
                                                          "after %1 s")
                     .arg(m_timeLimit));
        return false;
    }
    if (!ok) {
        words.clear();
        setError(error,
                 QCoreApplication::translate("OcrEngine", "The text of the page could not be "
                                                          "recognised"));
        return false;
    }
    qCDebug(lcOcr) << words.size() << "words on a" << image.size() << "page at" << dpi << "dpi";
    return true;
}

bool OcrEngine::recogniseHere(const QImage &gray, int dpi, PdfWords &words,
                              tesseract::ETEXT_DESC *monitor)
{
    keepThisThreadSingle();
    m_api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
    m_api->SetSourceResolution(dpi);
    if (m_api->Recognize(monitor) != 0) {
        m_api->Clear();
        return false;
    }
    std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    if (it) {
        do {
            if (it->Empty(tesseract::RIL_WORD))
                continue;
            const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!text || !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                continue;
            // Right and bottom are exclusive.
            words.append({QString::fromUtf8(text.get()).trimmed(),
                          QRect(left, top, right - left, bottom - top)});
        } while (it->Next(tesseract::RIL_WORD));
    }
    m_api->Clear();
    return true;
}

bool OcrEngine::recogniseInChild(const QImage &gray, int dpi, PdfWords &words,
                                 const std::atomic_bool *cancel, bool *timedOut, bool *forked)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        const int reason = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        errno = reason;
        return false;
    }
    if (pid == 0) {
        // The child: the engine as loaded, this one thread, no Qt event loop. It
        // goes with the parent and ends with _exit, running nobody's clean-up.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(3);
        ::close(pipeFds[0]);
        PdfWords found;
        if (!recogniseHere(gray, dpi, found, nullptr))
            _exit(2);
        _exit(writeAll(pipeFds[1], serialise(found)) ? 0 : 1);
    }
    *forked = true;
    ::close(pipeFds[1]);

    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = qint64(m_timeLimit) * 1000;
    QByteArray reply;
    bool complete = false, stopped = false;
    char buffer[64 * 1024];
    while (!complete && !stopped) {
        pollfd p{pipeFds[0], POLLIN, 0};
        const int ready = poll(&p, 1, PollMs);
        if (ready > 0) {
            const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n > 0)
                reply.append(buffer, n);
            else if (n == 0 || errno != EINTR)
                complete = true;
        } else if (ready < 0 && errno != EINTR) {
            complete = true;
        }
        if (complete)
            break;
        if (cancel && cancel->load()) {
            stopped = true;
        } else if (limitMs > 0 && clock.elapsed() >= limitMs) {
            stopped = true;
            *timedOut = true;
        }
    }
    ::close(pipeFds[0]);
    if (stopped)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (stopped)
        return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        qCWarning(lcOcr) << "the recognition process ended with status" << status;
        return false;
    }
    return deserialise(reply, words);
}
