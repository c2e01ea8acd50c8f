#include "pages/PageJournal.h"

#include "files/FileCommit.h"
#include "files/TempFolder.h"
#include "i18n/SystemErrorText.h"
#include "pages/GalleryLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const Prefix = "pagora-journal-";
const char *const Suffix = ".jsonl";

// Writes all of data and flushes it to the disk; errno on failure.
bool writeAndSync(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return ::fsync(fd) == 0;
}

QString randomPart()
{
    return QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                    QLatin1Char('0'));
}

} // namespace

PageJournal::PageJournal(const QString &folder) : m_folder(folder)
{
}

PageJournal::~PageJournal() = default;

QString PageJournal::nameFilter()
{
    return QLatin1String(Prefix) + QLatin1Char('*') + QLatin1String(Suffix);
}

QString PageJournal::lockPath(const QString &journalPath)
{
    return journalPath + QStringLiteral(".lock");
}

bool PageJournal::isRewriteName(const QByteArray &fileName)
{
    // Latin-1 keeps every byte as one character: names need not be UTF-8.
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(QLatin1String(Prefix)) + QStringLiteral("[0-9]+-[0-9a-f]{8}") +
        QRegularExpression::escape(QLatin1String(Suffix)) +
        QStringLiteral("\\.[0-9a-f]{8}\\.part")));
    return form.match(QString::fromLatin1(fileName)).hasMatch();
}

bool PageJournal::create()
{
    // The lock first: a journal without a running owner is a stale one to others.
    for (int attempt = 0; attempt < 8; ++attempt) {
        // The random part: a process id of a session that is gone may come back.
        const QString name = TempFolder::join(
            m_folder, QLatin1String(Prefix) + QString::number(QCoreApplication::applicationPid()) +
                          QLatin1Char('-') + randomPart() + QLatin1String(Suffix));
        auto lock = std::make_unique<QLockFile>(lockPath(name));
        lock->setStaleLockTime(0); // never stale by age: only when its program is gone
        errno = 0;
        if (!lock->tryLock(0)) {
            const int error = errno;
            if (lock->error() == QLockFile::LockFailedError)
                continue;
            // No folder, no permission, no space: the reason, not a "file exists".
            m_error = SystemErrorText::text(error != 0 ? error : EIO);
            return false;
        }
        ::chmod(QFile::encodeName(lockPath(name)).constData(), 0600);
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            m_error = SystemErrorText::text(errno);
            return false;
        }
        ::close(fd);
        // The new name on the disk too, or a power cut leaves lines nobody finds.
        FileCommit::syncFolderOf(name);
        m_path = name;
        m_lock = std::move(lock);
        return true;
    }
    m_error = SystemErrorText::text(EEXIST);
    return false;
}

QString PageJournal::path() const
{
    const QMutexLocker lock(&m_mutex);
    return m_path;
}

QString PageJournal::errorString() const
{
    const QMutexLocker lock(&m_mutex);
    return m_error;
}

bool PageJournal::append(const PageEntry &page)
{
    const QMutexLocker lock(&m_mutex);
    return appendLine(page);
}

bool PageJournal::appendAhead(const PageEntry &page)
{
    const QMutexLocker lock(&m_mutex);
    if (!appendLine(page))
        return false;
    m_ahead.append(page);
    return true;
}

bool PageJournal::listed(const PageEntry &page)
{
    const QMutexLocker lock(&m_mutex);
    for (qsizetype i = 0; i < m_ahead.size(); ++i) {
        if (m_ahead.at(i).workingCopy == page.workingCopy &&
            m_ahead.at(i).pageFile == page.pageFile) {
            m_ahead.removeAt(i);
            return true;
        }
    }
    return false;
}

bool PageJournal::appendLine(const PageEntry &page)
{
    if (m_ended) {
        m_error = SystemErrorText::text(EBADF);
        return false;
    }
    if (m_path.isEmpty() && !create())
        return false;
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        m_error = SystemErrorText::text(errno);
        return false;
    }
    struct stat before = {};
    if (::fstat(fd, &before) != 0) {
        m_error = SystemErrorText::text(errno);
        ::close(fd);
        return false;
    }
    QByteArray data = line(page);
    // A fragment that could not be taken back ends without a line break: this
    // line starts on a line of its own, and the fragment alone is lost.
    if (m_cutTail)
        data.prepend('\n');
    if (!writeAndSync(fd, data)) {
        const int error = errno;
        // Nothing of a failed line may stay: the next line would be glued to it
        // and both pages lost at recovery.
        m_cutTail = ::ftruncate(fd, before.st_size) != 0 || ::fsync(fd) != 0;
        m_error = SystemErrorText::text(error);
        ::close(fd);
        return false;
    }
    m_cutTail = false;
    ::close(fd);
    return true;
}

bool PageJournal::rewrite(const QList<PageEntry> &pages)
{
    const QMutexLocker lock(&m_mutex);
    if (m_ended) {
        m_error = SystemErrorText::text(EBADF);
        return false;
    }
    if (m_path.isEmpty() && !create())
        return false;
    QByteArray data;
    for (const PageEntry &page : pages)
        data += line(page);
    for (const PageEntry &page : std::as_const(m_ahead))
        data += line(page);
    // A new file renamed over the old one: a kill halfway leaves the old journal whole.
    const QString temp = m_path + QLatin1Char('.') + randomPart() + QStringLiteral(".part");
    const QByteArray tempName = QFile::encodeName(temp);
    const int fd =
        ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = SystemErrorText::text(errno);
        return false;
    }
    bool ok = writeAndSync(fd, data);
    int error = errno;
    ::close(fd);
    if (ok && std::rename(tempName.constData(), QFile::encodeName(m_path).constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(tempName.constData());
        m_error = SystemErrorText::text(error);
        return false;
    }
    FileCommit::syncFolderOf(m_path);
    return true;
}

void PageJournal::remove()
{
    const QMutexLocker lock(&m_mutex);
    m_ended = true;
    if (m_path.isEmpty())
        return;
    QFile::remove(m_path);
    m_lock.reset(); // unlocks and removes the lock file
    m_path.clear();
}

QByteArray PageJournal::line(const PageEntry &page)
{
    QJsonObject o{{QStringLiteral("pageFile"), page.pageFile},
                  {QStringLiteral("workingCopy"), page.workingCopy},
                  {QStringLiteral("caption"), page.caption},
                  {QStringLiteral("pageFileWritten"), page.pageFileWritten},
                  {QStringLiteral("width"), page.size.width()},
                  {QStringLiteral("height"), page.size.height()},
                  {QStringLiteral("dpi"), page.dpi}};
    // Only when set: lines of scanned pages stay as they were.
    if (page.added)
        o.insert(QStringLiteral("added"), true);
    // Compact JSON escapes line breaks inside strings: one record, one line.
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

bool PageJournal::parseLine(const QByteArray &line, PageEntry &page)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    const QJsonValue pageFile = o.value(QStringLiteral("pageFile"));
    const QJsonValue workingCopy = o.value(QStringLiteral("workingCopy"));
    const QJsonValue caption = o.value(QStringLiteral("caption"));
    const QJsonValue written = o.value(QStringLiteral("pageFileWritten"));
    if (!pageFile.isString() || !workingCopy.isString() || !caption.isString() || !written.isBool())
        return false;
    // Relative paths would resolve against wherever the next start happens to run.
    if (!QDir::isAbsolutePath(pageFile.toString()) || !QDir::isAbsolutePath(workingCopy.toString()))
        return false;
    page = PageEntry();
    page.pageFile = pageFile.toString();
    page.workingCopy = workingCopy.toString();
    page.caption = caption.toString();
    page.pageFileWritten = written.toBool();
    const int w = o.value(QStringLiteral("width")).toInt();
    const int h = o.value(QStringLiteral("height")).toInt();
    page.size = w > 0 && h > 0 ? QSize(w, h) : QSize();
    page.dpi = qMax(0, o.value(QStringLiteral("dpi")).toInt());
    page.added = o.value(QStringLiteral("added")).toBool();
    return true;
}

PageJournal::Contents PageJournal::read(const QString &journalPath)
{
    Contents contents;
    QFile file(journalPath);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcGallery) << "page journal" << journalPath
                             << "unreadable:" << file.errorString();
        return contents;
    }
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QByteArray text = file.readLine().trimmed();
        ++lineNumber;
        if (text.isEmpty())
            continue;
        PageEntry page;
        if (parseLine(text, page)) {
            contents.pages.append(page);
        } else {
            // A line cut short by a kill mid-write, or a file edited by hand.
            ++contents.damagedLines;
            qCWarning(lcGallery) << "page journal" << journalPath << "line" << lineNumber
                                 << "damaged, skipped";
        }
    }
    return contents;
}
