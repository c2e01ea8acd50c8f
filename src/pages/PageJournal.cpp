#include "pages/PageJournal.h"

#include "files/AtomicFile.h"
#include "files/FileCommit.h"
#include "files/TempFolder.h"
#include "i18n/SystemErrorText.h"
#include "pages/GalleryLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
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

// A change line outweighs a list shorter than this in any case: small
// journals are not written whole after every few changes.
constexpr qint64 kMinCompactBytes = 16 * 1024;

// Only pages with absolute paths are read back (see parseLine): the list the
// writer keeps must be the list reading gives.
bool readable(const PageEntry &page)
{
    return QDir::isAbsolutePath(page.pageFile) && QDir::isAbsolutePath(page.workingCopy);
}

// The page as the journal holds it, without what lives in memory only.
PageEntry journalled(const PageEntry &page)
{
    PageEntry e;
    e.pageFile = page.pageFile;
    e.workingCopy = page.workingCopy;
    e.caption = page.caption;
    e.size = page.size;
    e.dpi = page.dpi;
    e.pageFileWritten = page.pageFileWritten;
    e.added = page.added;
    return e;
}

bool sameRecord(const PageEntry &a, const PageEntry &b)
{
    return a.pageFile == b.pageFile && a.workingCopy == b.workingCopy && a.caption == b.caption &&
           a.size == b.size && a.dpi == b.dpi && a.pageFileWritten == b.pageFileWritten &&
           a.added == b.added;
}

QJsonObject pageObject(const PageEntry &page)
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
    return o;
}

bool pageFromObject(const QJsonObject &o, PageEntry &page)
{
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

// A change line: {"from":N, "order":[[first,count],...], "insert":[[at,page],...],
// "set":[[at,page],...]}. From the N pages listed, the runs of "order" (all of
// them, in order, when it is missing) are kept, then each "insert" puts a page
// at its place in the new list, in rising order, and each "set" replaces one.
// Applied whole or, when anything in it does not fit the list, not at all.
bool applyChange(const QJsonObject &change, QList<PageEntry> &pages)
{
    const QJsonValue from = change.value(QStringLiteral("from"));
    if (!from.isDouble() || from.toInteger(-1) != pages.size())
        return false;
    QList<PageEntry> next;
    const QJsonValue order = change.value(QStringLiteral("order"));
    if (order.isUndefined()) {
        next = pages;
    } else {
        if (!order.isArray())
            return false;
        QList<bool> taken(pages.size(), false);
        for (const QJsonValue &run : order.toArray()) {
            const QJsonArray pair = run.toArray();
            if (pair.size() != 2)
                return false;
            const qint64 first = pair.at(0).toInteger(-1);
            const qint64 count = pair.at(1).toInteger(-1);
            if (first < 0 || count < 1 || first + count > pages.size())
                return false;
            for (qint64 i = first; i < first + count; ++i) {
                if (taken.at(i))
                    return false;
                taken[i] = true;
                next.append(pages.at(i));
            }
        }
    }
    const auto each = [&change](const char *key, const auto &apply) {
        const QJsonValue list = change.value(QLatin1String(key));
        if (list.isUndefined())
            return true;
        if (!list.isArray())
            return false;
        for (const QJsonValue &item : list.toArray()) {
            const QJsonArray pair = item.toArray();
            PageEntry page;
            if (pair.size() != 2 || !pair.at(0).isDouble() || !pair.at(1).isObject() ||
                !pageFromObject(pair.at(1).toObject(), page) ||
                !apply(pair.at(0).toInteger(-1), page))
                return false;
        }
        return true;
    };
    qint64 lastInsert = -1;
    if (!each("insert",
              [&](qint64 at, const PageEntry &page) {
                  if (at <= lastInsert || at > next.size())
                      return false;
                  lastInsert = at;
                  next.insert(at, page);
                  return true;
              }) ||
        !each("set", [&](qint64 at, const PageEntry &page) {
            if (at < 0 || at >= next.size())
                return false;
            next[at] = page;
            return true;
        }))
        return false;
    pages = next;
    return true;
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

PageJournal::~PageJournal()
{
    if (m_compactor.joinable())
        m_compactor.join();
}

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
        QStringLiteral("\\.?") + QRegularExpression::escape(QLatin1String(Prefix)) +
        QStringLiteral("[0-9]+-[0-9a-f]{8}") + QRegularExpression::escape(QLatin1String(Suffix)) +
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

bool PageJournal::appendAhead(const QList<PageEntry> &pages)
{
    const QMutexLocker lock(&m_mutex);
    QByteArray data;
    QList<Listed> lines;
    for (const PageEntry &page : pages) {
        const QByteArray pageLine = line(page);
        data += pageLine;
        if (readable(page))
            lines.append(Listed{journalled(page), pageLine.size()});
    }
    if (data.isEmpty())
        return true;
    if (!appendBytes(data))
        return false;
    for (const Listed &listed : std::as_const(lines)) {
        m_listed.append(listed);
        m_listedBytes += listed.bytes;
    }
    m_ahead += pages;
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
    const QByteArray data = line(page);
    if (!appendBytes(data))
        return false;
    if (readable(page)) {
        m_listed.append(Listed{journalled(page), data.size()});
        m_listedBytes += data.size();
    }
    return true;
}

bool PageJournal::appendBytes(const QByteArray &bytes)
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
    QByteArray data = bytes;
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
    // The compacted copy gets what the journal got meanwhile.
    if (m_compacting)
        m_sinceCopy += bytes;
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
    QList<PageEntry> wanted;
    wanted.reserve(pages.size() + m_ahead.size());
    for (const QList<PageEntry> *list : {&pages, static_cast<const QList<PageEntry> *>(&m_ahead)}) {
        for (const PageEntry &page : *list) {
            if (readable(page))
                wanted.append(journalled(page));
        }
    }

    // Each wanted page against the listed one with its working copy, which
    // no change renames; the first unmatched of that name when there are several.
    QHash<QString, QList<qsizetype>> byCopy;
    byCopy.reserve(m_listed.size());
    for (qsizetype i = 0; i < m_listed.size(); ++i)
        byCopy[m_listed.at(i).page.workingCopy].append(i);
    QList<qsizetype> source(wanted.size(), -1);
    for (qsizetype j = 0; j < wanted.size(); ++j) {
        const auto found = byCopy.find(wanted.at(j).workingCopy);
        if (found != byCopy.end() && !found->isEmpty())
            source[j] = found->takeFirst();
    }

    QJsonArray order;
    qsizetype kept = 0;
    bool same = true; // the listed pages kept whole and in their order
    qsizetype runFirst = -1;
    qsizetype runCount = 0;
    for (const qsizetype i : std::as_const(source)) {
        if (i < 0)
            continue;
        same = same && i == kept;
        ++kept;
        if (runCount > 0 && i == runFirst + runCount) {
            ++runCount;
            continue;
        }
        if (runCount > 0)
            order.append(QJsonArray{runFirst, runCount});
        runFirst = i;
        runCount = 1;
    }
    if (runCount > 0)
        order.append(QJsonArray{runFirst, runCount});
    same = same && kept == m_listed.size();

    QJsonArray inserts;
    QJsonArray sets;
    QList<Listed> next;
    next.reserve(wanted.size());
    bool onlyAtEnd = true; // new pages only after the kept ones: plain page lines will do
    QByteArray plainLines;
    for (qsizetype j = 0; j < wanted.size(); ++j) {
        const PageEntry &page = wanted.at(j);
        const qsizetype i = source.at(j);
        if (i >= 0 && sameRecord(m_listed.at(i).page, page)) {
            next.append(m_listed.at(i));
            continue;
        }
        const QByteArray pageLine = line(page);
        next.append(Listed{page, pageLine.size()});
        if (i >= 0) {
            sets.append(QJsonArray{j, pageObject(page)});
        } else {
            onlyAtEnd = onlyAtEnd && j >= kept;
            plainLines += pageLine;
            inserts.append(QJsonArray{j, pageObject(page)});
        }
    }

    QByteArray data;
    bool change = false;
    if (same && sets.isEmpty() && onlyAtEnd) {
        if (inserts.isEmpty())
            return true; // nothing the journal holds has changed (a thumbnail, a text)
        data = plainLines;
    } else {
        QJsonObject record{{QStringLiteral("from"), m_listed.size()}};
        if (!same)
            record.insert(QStringLiteral("order"), order);
        if (!inserts.isEmpty())
            record.insert(QStringLiteral("insert"), inserts);
        if (!sets.isEmpty())
            record.insert(QStringLiteral("set"), sets);
        // One line: the change is read whole or, cut short by a kill, not at all.
        data = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
        change = true;
    }
    if (!appendBytes(data))
        return false;
    m_listed = next;
    m_listedBytes = 0;
    for (const Listed &listed : std::as_const(m_listed))
        m_listedBytes += listed.bytes;
    if (change) {
        m_changeBytes += data.size();
        if (m_compacting)
            m_changeBytesSinceCopy += data.size();
        maybeCompact();
    }
    return true;
}

void PageJournal::maybeCompact()
{
    if (m_compacting || m_changeBytes <= qMax(kMinCompactBytes, m_listedBytes))
        return;
    if (m_compactor.joinable())
        m_compactor.join(); // the last one is done: m_compacting is false
    m_compacting = true;
    m_sinceCopy.clear();
    m_changeBytesSinceCopy = 0;
    try {
        // The copy shares the pages' data: writing it takes nothing from the caller.
        m_compactor = std::thread([this, pages = m_listed] { compact(pages); });
    } catch (const std::system_error &error) {
        // No thread to spare: the lines keep being appended, all of them read back.
        qCWarning(lcGallery) << "page journal not compacted:" << error.what();
        m_compacting = false;
        m_changeBytes = 0;
    }
}

void PageJournal::compact(QList<Listed> pages)
{
    QByteArray data;
    for (const Listed &listed : std::as_const(pages))
        data += line(listed.page);
    pages.clear();

    QMutexLocker lock(&m_mutex);
    const QString path = m_path;
    lock.unlock();
    // Written and synced without the lock: changes meanwhile are not held up.
    AtomicFile file(path);
    file.setOwnerOnly();
    bool ok = !path.isEmpty() && file.open() && file.write(data);
    QString why = file.errorString();
    if (ok && ::fdatasync(file.file().handle()) != 0) {
        why = SystemErrorText::text(errno);
        ok = false;
    }
    lock.relock();
    // Only the lines appended meanwhile are left to add, under the lock.
    if (ok && !m_ended && m_path == path) {
        ok = file.write(m_sinceCopy) && file.commitReplacing();
        why = file.errorString();
        if (ok) {
            m_changeBytes = m_changeBytesSinceCopy;
            m_cutTail = false; // a fragment in the old file went with it
        }
    }
    if (!ok && !m_ended) {
        // The journal stays as it was, whole; tried again after as many changes again.
        qCWarning(lcGallery) << "page journal" << path << "not compacted:" << why;
        m_changeBytes = m_changeBytesSinceCopy;
    }
    m_sinceCopy.clear();
    m_changeBytesSinceCopy = 0;
    m_compacting = false;
    m_compacted.wakeAll();
}

void PageJournal::waitForCompaction()
{
    QMutexLocker lock(&m_mutex);
    while (m_compacting)
        m_compacted.wait(&m_mutex);
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
    // Compact JSON escapes line breaks inside strings: one record, one line.
    return QJsonDocument(pageObject(page)).toJson(QJsonDocument::Compact) + '\n';
}

bool PageJournal::parseLine(const QByteArray &line, PageEntry &page)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    return pageFromObject(doc.object(), page);
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
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
        const QJsonObject o = doc.object();
        PageEntry page;
        bool ok = false;
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            ok = false;
        } else if (o.contains(QStringLiteral("from"))) {
            ok = applyChange(o, contents.pages);
        } else if (pageFromObject(o, page)) {
            contents.pages.append(page);
            ok = true;
        }
        if (!ok) {
            // A line cut short by a kill mid-write, or a file edited by hand.
            ++contents.damagedLines;
            qCWarning(lcGallery) << "page journal" << journalPath << "line" << lineNumber
                                 << "damaged, skipped";
        }
    }
    return contents;
}
