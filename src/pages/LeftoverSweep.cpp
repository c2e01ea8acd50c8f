#include "pages/LeftoverSweep.h"

#include "files/LocalFileName.h"
#include "pages/GalleryLog.h"
#include "pages/PageJournal.h"
#include "pages/StaleJournals.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Latin-1 keeps every byte of a name as one character: names need not be UTF-8.
QRegularExpression form(const char *pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern)),
                              QRegularExpression::DotMatchesEverythingOption);
}

// ".<name>.<8 hex digits>.part": a file written under a hidden name beside its
// final one (pages, working copies, the preview, the update file, PDF files).
const QRegularExpression &writtenForm()
{
    static const QRegularExpression f = form(R"(\..+\.[0-9a-f]{8}\.part)");
    return f;
}

// The same for a PDF replaced in one go, whose random part may be shorter.
const QRegularExpression &pdfForm()
{
    static const QRegularExpression f = form(R"(\..+\.[pP][dD][fF]\.[0-9a-f]{1,7}\.part)");
    return f;
}

// ".<base>.turning.<ext>" and ".<base>.original.<ext>" beside the page file
// "<base>.<ext>" while it is turned.
const QRegularExpression &turnForm()
{
    static const QRegularExpression f = form(R"(\.(.+)\.(?:turning|original)\.([^.]*))");
    return f;
}

// The page file a turn's leftover belongs to; empty for other names.
QByteArray pageFileOf(const QByteArray &name)
{
    const QRegularExpressionMatch m = turnForm().match(QString::fromLatin1(name));
    if (!m.hasMatch())
        return {};
    const QString suffix = m.captured(2);
    return (suffix.isEmpty() ? m.captured(1) : m.captured(1) + QLatin1Char('.') + suffix)
        .toLatin1();
}

// Strictly: a file of the clock tick the run started in may be one of its own.
bool before(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

QList<QByteArray> namesIn(int folderFd)
{
    QList<QByteArray> names;
    const int fd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (LeftoverSweep::isLeftoverName(name))
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

// Removes the leftovers in folder from before the start (this run, or one started
// since, may be writing new ones) that are this user's regular files.
void removeIn(const QString &folder, const struct timespec &began, const std::atomic<bool> &stop,
              QStringList &removed)
{
    const int folderFd =
        ::open(LocalFileName::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return; // gone or not ours to read: nothing the program left there can be reached
    for (const QByteArray &name : namesIn(folderFd)) {
        if (stop)
            break;
        struct stat st = {};
        if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || !before(st.st_ctim, began))
            continue;
        // Without its page file, a set-aside original may be all that is left of the page.
        const QByteArray pageFile = pageFileOf(name);
        struct stat page = {};
        if (!pageFile.isEmpty() &&
            (::fstatat(folderFd, pageFile.constData(), &page, 0) != 0 || !S_ISREG(page.st_mode)))
            continue;
        const QString path = QDir(folder).filePath(LocalFileName::decode(name));
        if (::unlinkat(folderFd, name.constData(), 0) == 0)
            removed.append(path);
        else
            qCWarning(lcGallery) << "leftover" << path << "not removed:" << std::strerror(errno);
    }
    ::close(folderFd);
}

// A journal in the folder that could not be claimed: its program runs (one
// that does not hold the folder), so its files may be unfinished, not left.
bool journalOfRunningSession(const QString &tempFolder, const StaleJournals &stale)
{
    QSet<QString> claimed;
    for (const QString &path : stale.paths())
        claimed.insert(QFileInfo(path).fileName());
    const QDir dir(tempFolder);
    for (const QString &name :
         dir.entryList({PageJournal::nameFilter()}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (!claimed.contains(name) && !QFileInfo(dir.filePath(name)).isSymLink())
            return true;
    }
    return false;
}

} // namespace

LeftoverSweep::LeftoverSweep(const QString &tempFolder, QObject *parent)
    : QObject(parent), m_tempFolder(tempFolder)
{
}

LeftoverSweep::~LeftoverSweep()
{
    if (m_worker) {
        m_stop = true;
        m_worker->wait();
    }
    if (m_folderFd >= 0)
        ::close(m_folderFd); // the hold ends with it
}

bool LeftoverSweep::isLeftoverName(const QByteArray &name)
{
    const QString text = QString::fromLatin1(name);
    return writtenForm().match(text).hasMatch() || pdfForm().match(text).hasMatch() ||
           turnForm().match(text).hasMatch() || PageJournal::isRewriteName(name);
}

void LeftoverSweep::start()
{
    if (m_worker || m_finished)
        return;
    // Held here, before this run writes anything: what it writes from now on is
    // newer than the start and never taken for a leftover, however late the
    // worker runs.
    ::clock_gettime(CLOCK_REALTIME_COARSE, &m_began);
    m_folderFd =
        ::open(LocalFileName::encode(m_tempFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    m_holdError = m_folderFd < 0 ? errno : 0;
    if (m_folderFd >= 0 && ::flock(m_folderFd, LOCK_EX | LOCK_NB) != 0)
        m_holdError = errno;
    auto removed = std::make_shared<QStringList>();
    m_worker = QThread::create([this, removed] { *removed = run(); });
    m_worker->setParent(this);
    // Queued to this thread: the worker has ended when the list is read.
    connect(m_worker, &QThread::finished, this, [this, removed] {
        m_worker->deleteLater();
        m_worker = nullptr;
        m_finished = true;
        emit finished(*removed);
    });
    m_worker->start(QThread::LowPriority);
}

QStringList LeftoverSweep::run()
{
    if (m_holdError == EWOULDBLOCK) {
        // Another run holds the folder, or is cleaning it up now: held once that
        // clean-up is over; its files are not this run's to judge.
        while (::flock(m_folderFd, LOCK_SH) != 0 && errno == EINTR) {
        }
        return {};
    }
    if (m_holdError != 0) {
        qCWarning(lcGallery) << "temporary folder" << m_tempFolder
                             << "not held:" << std::strerror(m_holdError);
        return {};
    }
    QStringList removed;
    {
        // Claimed for the time of the clean-up only: the question at start claims them next.
        const StaleJournals stale(m_tempFolder);
        if (!journalOfRunningSession(m_tempFolder, stale)) {
            QStringList folders{QDir::cleanPath(m_tempFolder)};
            for (const PageEntry &page : stale.pages()) {
                // An added file's folder is the user's: this program never wrote
                // there, so nothing there is its leftover.
                if (page.added)
                    continue;
                for (const QString &file : {page.pageFile, page.workingCopy}) {
                    const QString folder = QDir::cleanPath(QFileInfo(file).absolutePath());
                    if (!folders.contains(folder))
                        folders.append(folder);
                }
            }
            for (const QString &folder : std::as_const(folders))
                removeIn(folder, m_began, m_stop, removed);
        }
    }
    while (::flock(m_folderFd, LOCK_SH) != 0 && errno == EINTR) {
    }
    for (const QString &path : std::as_const(removed))
        qCDebug(lcGallery) << "removed leftover" << path;
    return removed;
}
