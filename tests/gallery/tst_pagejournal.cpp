// The page journal on its own: what goes in comes back whatever the paths hold,
// damaged lines are skipped and counted, a line that fails leaves nothing
// behind, and only journals whose program is gone are claimed, by one claimer
// at a time. And the clean-up at start of what such sessions left behind.
#include "files/AtomicFile.h"
#include "pages/LeftoverSweep.h"
#include "pages/PageJournal.h"
#include "pages/StaleJournals.h"
#include "support/FileAge.h"
#include "support/FullDisk.h"
#include "support/Prerequisite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

PageEntry page(const QString &pageFile, const QString &workingCopy, bool written = true)
{
    PageEntry e;
    e.pageFile = pageFile;
    e.workingCopy = workingCopy;
    e.caption = pageFile.section(QLatin1Char('/'), -1);
    e.pageFileWritten = written;
    e.size = QSize(2480, 3508);
    e.dpi = 300;
    return e;
}

QStringList describe(const QList<PageEntry> &pages)
{
    QStringList out;
    for (const PageEntry &e : pages)
        out.append(QStringList{e.pageFile, e.workingCopy, e.caption,
                               e.pageFileWritten ? "written" : "missing",
                               QString::number(e.size.width()), QString::number(e.size.height()),
                               QString::number(e.dpi)}
                       .join(QLatin1Char('|')));
    return out;
}

QByteArray contentsOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Files of this process may grow to bytes at most; a write past it is cut
// short, then refused (EFBIG) instead of killing the process.
class SizeLimit
{
public:
    explicit SizeLimit(qint64 bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(bytes);
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~SizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    Q_DISABLE_COPY_MOVE(SizeLimit)
    bool isSet() const { return m_set; }

private:
    rlimit m_old = {};
    void (*m_handler)(int) = nullptr;
    bool m_set = false;
};

// Writes to folder until the file system refuses; the filler goes with the object.
class Filler
{
public:
    explicit Filler(const QString &path) : m_path(path)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(512, 'f');
        while (f.write(block) == block.size()) {
        }
        m_full = true;
    }
    ~Filler() { QFile::remove(m_path); }
    Q_DISABLE_COPY_MOVE(Filler)
    bool isFull() const { return m_full; }

private:
    QString m_path;
    bool m_full = false;
};

int modeOf(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestPageJournal : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void onlyJournalsOfGoneSessions_data();
    void onlyJournalsOfGoneSessions();
    void failureSaysWhy();
    void failedLineLeavesNothing_data();
    void failedLineLeavesNothing();
    void leftoversRemoved_data();
    void leftoversRemoved();
    void changesReplayed_data();
    void changesReplayed();
};

void TestPageJournal::roundTrip_data()
{
    QTest::addColumn<QList<PageEntry>>("written");
    QTest::addColumn<QList<int>>("keptAfterRewrite"); // empty: no rewrite
    QTest::addColumn<QByteArray>("damage");           // appended to the file afterwards
    QTest::addColumn<int>("damagedLines");

    const QList<PageEntry> plain{page("/home/u/Scans/a.jpg", "/tmp/p/a.bmp"),
                                 page("/home/u/Scans/b.jpg", "/tmp/p/b.bmp", false)};
    const QList<PageEntry> odd{
        page(QString::fromUtf8("/home/u/Скан ы/стр\n1.jpg"), "/tmp/p/line\nbreak.bmp"),
        page("/home/u/\"q\" \\ %41 {}[],:.jpg", "/tmp/p/\t%0A%.bmp", false),
        page(QString::fromUtf8("/home/u/😀\u2028\u0001.tif"), QString::fromUtf8("/tmp/p/é.bmp"))};
    QTest::newRow("plain") << plain << QList<int>() << QByteArray() << 0;
    QTest::newRow("odd characters in paths") << odd << QList<int>() << QByteArray() << 0;
    QTest::newRow("rewritten after a delete and a rename")
        << odd << QList<int>{2, 0} << QByteArray() << 0;
    QTest::newRow("damaged lines skipped")
        << plain << QList<int>()
        << QByteArrayLiteral(
               "not json\n"
               "[1,2]\n"
               "{\"pageFile\":\"/x.jpg\"}\n"
               "{\"pageFile\":\"rel.jpg\",\"workingCopy\":\"/t/r.bmp\",\"caption\":\"r\","
               "\"pageFileWritten\":true}\n"
               "\n"
               "\xff\xfe\x00\x01\n"
               "{\"pageFile\":\"/home/u/Scans/c.jpg\",\"workingCo") // cut by a kill
        << 6;
}

void TestPageJournal::roundTrip()
{
    QFETCH(QList<PageEntry>, written);
    QFETCH(QList<int>, keptAfterRewrite);
    QFETCH(QByteArray, damage);
    QFETCH(int, damagedLines);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PageJournal journal(dir.path());
    QVERIFY(journal.path().isEmpty()); // no file before the first page
    for (const PageEntry &e : written)
        QVERIFY2(journal.append(e), qPrintable(journal.errorString()));
    QList<PageEntry> expected = written;
    if (!keptAfterRewrite.isEmpty()) {
        expected.clear();
        for (int i : keptAfterRewrite)
            expected.append(written.at(i));
        expected.last().caption = QStringLiteral("renamed\n%.jpg");
        QVERIFY(journal.rewrite(expected));
    }
    // Readable by the owner only, like every file in the temporary folder.
    QCOMPARE(modeOf(journal.path()), 0600);
    QCOMPARE(modeOf(PageJournal::lockPath(journal.path())), 0600);
    if (!damage.isEmpty()) {
        QFile f(journal.path());
        QVERIFY(f.open(QIODevice::Append));
        f.write(damage);
    }

    QFile f(journal.path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    // One line a page; a change adds one more.
    QCOMPARE(f.readAll().count('\n'),
             written.size() + (keptAfterRewrite.isEmpty() ? 0 : 1) + damage.count('\n'));
    const PageJournal::Contents contents = PageJournal::read(journal.path());
    QCOMPARE(describe(contents.pages), describe(expected));
    QCOMPARE(contents.damagedLines, damagedLines);

    journal.remove();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestPageJournal::onlyJournalsOfGoneSessions_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<int>("claimedPages");

    QTest::newRow("program still running") << "running" << 0;
    // A killed program's lock is stale too; the window test kills one for real.
    QTest::newRow("lock file lost") << "no lock" << 2;
    QTest::newRow("closed normally") << "closed" << 0;
}

void TestPageJournal::onlyJournalsOfGoneSessions()
{
    QFETCH(QString, owner);
    QFETCH(int, claimedPages);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto journal = std::make_unique<PageJournal>(dir.path());
    QVERIFY(journal->append(page("/s/a.jpg", "/t/a.bmp")));
    QVERIFY(journal->append(page("/s/b.jpg", "/t/b.bmp")));
    const QString path = journal->path();
    const QString lock = PageJournal::lockPath(path);
    if (owner == "closed") {
        journal->remove();
    } else if (owner == "no lock") {
        journal.reset(); // the lock goes, the journal stays
        QVERIFY(QFile::exists(path) && !QFile::exists(lock));
    }

    auto claimed = std::make_unique<StaleJournals>(dir.path());
    QCOMPARE(claimed->pages().size(), claimedPages);
    QCOMPARE(claimed->damagedLines(), 0);
    // A second start at the same time finds nothing to take.
    QCOMPARE(StaleJournals(dir.path()).pages().size(), 0);
    if (claimedPages == 0)
        return;
    QCOMPARE(claimed->pages().at(1).pageFile, QStringLiteral("/s/b.jpg"));
    // Left for later: offered again at the next start, then removed.
    claimed.reset();
    claimed = std::make_unique<StaleJournals>(dir.path());
    QCOMPARE(claimed->pages().size(), claimedPages);
    claimed->remove();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestPageJournal::failureSaysWhy()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PageJournal journal(dir.filePath(QStringLiteral("gone")));
    QVERIFY(!journal.append(page("/s/a.jpg", "/t/a.bmp")));
    QVERIFY2(journal.errorString().contains(QLatin1String("No such file or directory")),
             qPrintable(journal.errorString()));
}

void TestPageJournal::failedLineLeavesNothing_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::newRow("size limit at the end of a line") << "limit at end";
    QTest::newRow("size limit inside a line") << "limit inside";
    QTest::newRow("full disk") << "full disk";
}

// Every page reported as written comes back, whatever the failed line left.
void TestPageJournal::failedLineLeavesNothing()
{
    QFETCH(QString, trouble);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    std::unique_ptr<FullDisk> disk;
    QString folder = dir.path();
    if (trouble == "full disk") {
        folder = dir.filePath(QStringLiteral("full"));
        disk = std::make_unique<FullDisk>(folder);
        if (!disk->isMounted())
            SKIP_OR_FAIL_IN_CI("mounting a small file system needs root");
    }
    PageJournal journal(folder);
    QList<PageEntry> written;
    int made = 0;
    const auto next = [&made] {
        ++made;
        return page(QStringLiteral("/home/u/Scans/Pagora_%1.jpg").arg(made),
                    QStringLiteral("/tmp/p/Pagora_%1.bmp").arg(made));
    };
    for (int i = 0; i < 2; ++i) {
        written.append(next());
        QVERIFY2(journal.append(written.last()), qPrintable(journal.errorString()));
    }
    const QString path = journal.path();

    QByteArray before;
    bool failed = false;
    {
        std::unique_ptr<SizeLimit> limit;
        std::unique_ptr<Filler> filler;
        if (trouble == "full disk") {
            filler = std::make_unique<Filler>(disk->filePath(QStringLiteral("filler")));
            QVERIFY(filler->isFull());
        } else {
            const qint64 room = trouble == "limit inside"
                                    ? PageJournal::line(page("/a.jpg", "/a.bmp")).size() / 2
                                    : 0;
            limit = std::make_unique<SizeLimit>(QFileInfo(path).size() + room);
            QVERIFY(limit->isSet());
        }
        // Lines until one fails: on the full disk the last bytes of its last block go first.
        for (int i = 0; i < 1000 && !failed; ++i) {
            before = contentsOf(path);
            const PageEntry e = next();
            if (journal.append(e))
                written.append(e);
            else
                failed = true;
        }
    }
    QVERIFY(failed);
    QVERIFY(!journal.errorString().isEmpty());
    QCOMPARE(contentsOf(path), before);

    // Room again: the next line is whole and every reported page is read back.
    written.append(next());
    QVERIFY2(journal.append(written.last()), qPrintable(journal.errorString()));
    const PageJournal::Contents contents = PageJournal::read(path);
    QCOMPARE(describe(contents.pages), describe(written));
    QCOMPARE(contents.damagedLines, 0);
}

void TestPageJournal::leftoversRemoved_data()
{
    QTest::addColumn<QString>("folder");  // temp, scans (named by the ended session), other
    QTest::addColumn<QString>("name");    // empty: a file the writer has not finished; %j: journal
    QTest::addColumn<QString>("kind");    // file, link, folder, foreign
    QTest::addColumn<QString>("running"); // another run: none, holding the folder, its journal
    QTest::addColumn<bool>("removed");

    for (const QString folder : {"temp", "scans"}) {
        const QString ext = folder == "temp" ? "bmp" : "jpg";
        const auto row = [&](const char *what) -> QTestData & {
            return QTest::addRow("%s in %s", what, qPrintable(folder));
        };
        row("unfinished file") << folder << ""
                               << "file"
                               << "none" << true;
        row("unfinished PDF") << folder << ".Scans.pdf.1f2e3.part"
                              << "file"
                              << "none" << true;
        row("turned copy") << folder << ".a.turning." + ext << "file"
                           << "none" << true;
        row("original set aside") << folder << ".a.original." + ext << "file"
                                  << "none" << true;
        row("link") << folder << ".a." + ext + ".0a1b2c3d.part"
                    << "link"
                    << "none" << false;
        row("running session's unfinished file") << folder << ""
                                                 << "file"
                                                 << "holding" << false;
    }
    QTest::newRow("journal rewrite") << "temp"
                                     << "%j.0a1b2c3d.part"
                                     << "file"
                                     << "none" << true;
    QTest::newRow("journal compaction") << "temp"
                                        << ".%j.0a1b2c3d.part"
                                        << "file"
                                        << "none" << true;
    QTest::newRow("journal look-alike") << "temp"
                                        << "%j.part"
                                        << "file"
                                        << "none" << false;
    for (const char *name :
         {"x.part", ".x.part", ".a.jpg.part", ".a.jpg.0A1B2C3D.part", ".a.jpg.0a1b2c3d9.part",
          ".notes.txt.1f2e3.part", "a.turning.jpg", ".a.turning.jpg.bak"})
        QTest::addRow("user's %s", name) << "scans" << name << "file"
                                         << "none" << false;
    // Without its page file, a set-aside original may be all that is left of the page.
    QTest::newRow("original of a page gone") << "scans"
                                             << ".b.original.jpg"
                                             << "file"
                                             << "none" << false;
    QTest::newRow("folder") << "scans"
                            << ".a.jpg.0a1b2c3d.part"
                            << "folder"
                            << "none" << false;
    QTest::newRow("someone else's") << "scans"
                                    << ".a.jpg.0a1b2c3d.part"
                                    << "foreign"
                                    << "none" << false;
    QTest::newRow("folder no journal names") << "other"
                                             << ""
                                             << "file"
                                             << "none" << false;
    QTest::newRow("running session's journal") << "scans"
                                               << ""
                                               << "file"
                                               << "journal" << false;
}

void TestPageJournal::leftoversRemoved()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, running);
    QFETCH(bool, removed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString temp = dir.filePath(QStringLiteral("temp"));
    const QString scans = dir.filePath(QStringLiteral("scans"));
    const QString where = dir.filePath(folder);
    QVERIFY(QDir().mkpath(temp) && QDir().mkpath(scans) && QDir().mkpath(where));
    const QString pageFile = QDir(scans).filePath(QStringLiteral("a.jpg"));
    const QString workingCopy = QDir(temp).filePath(QStringLiteral("a.bmp"));
    QString journalName;
    {
        // A session that ended without closing: its journal stays, its lock is gone.
        PageJournal ended(temp);
        QVERIFY(ended.append(page(pageFile, workingCopy)));
        journalName = QFileInfo(ended.path()).fileName();
    }
    for (const QString &file : {pageFile, workingCopy, QDir(where).filePath("a.jpg")}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("page") == 4);
    }

    std::unique_ptr<LeftoverSweep> otherRun;
    std::unique_ptr<PageJournal> otherJournal;
    if (running == "holding") {
        otherRun = std::make_unique<LeftoverSweep>(temp, nullptr);
        QSignalSpy done(otherRun.get(), &LeftoverSweep::finished);
        otherRun->start();
        QVERIFY(done.wait());
    } else if (running == "journal") {
        otherJournal = std::make_unique<PageJournal>(temp);
        QVERIFY(otherJournal->append(page(QDir(scans).filePath("b.jpg"), temp + "/b.bmp")));
    }

    std::unique_ptr<AtomicFile> unfinished;
    if (name.isEmpty()) {
        const QStringList without = entriesOf(where);
        unfinished = std::make_unique<AtomicFile>(QDir(where).filePath("b.jpg"));
        QVERIFY(unfinished->open());
        QVERIFY(unfinished->file().write("half a page") > 0);
        QStringList with = entriesOf(where);
        for (const QString &entry : without)
            with.removeOne(entry);
        QCOMPARE(with.size(), 1);
        name = with.first();
    }
    name.replace(QLatin1String("%j"), journalName);
    const QString leftover = QDir(where).filePath(name);
    const QByteArray encoded = QFile::encodeName(leftover);
    if (kind == "link") {
        QCOMPARE(::symlink("a.jpg", encoded.constData()), 0);
    } else if (kind == "folder") {
        QVERIFY(QDir().mkdir(leftover));
    } else if (!unfinished) {
        QFile f(leftover);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("leftover") == 8);
    }
    if (kind == "foreign") {
        if (::geteuid() != 0)
            SKIP_OR_FAIL_IN_CI("giving a file to another user needs root");
        QCOMPARE(::chown(encoded.constData(), 65534, 65534), 0);
    }

    // Left before the start, as a crash leaves them.
    QVERIFY(QTest::qWaitFor([&] { return changedBeforeThisTick(leftover); }, 5000));
    const QStringList tempBefore = entriesOf(temp);
    const QStringList scansBefore = entriesOf(scans);
    const QStringList whereBefore = entriesOf(where);
    LeftoverSweep sweep(temp, nullptr);
    QSignalSpy done(&sweep, &LeftoverSweep::finished);
    sweep.start();
    QVERIFY(done.wait());
    QCOMPARE(done.first().first().toStringList(), removed ? QStringList{leftover} : QStringList());
    QStringList whereAfter = whereBefore;
    if (removed)
        whereAfter.removeOne(name);
    QCOMPARE(entriesOf(where), whereAfter);
    // Nothing else anywhere: the journal, the page files, the link's target.
    if (folder != "temp")
        QCOMPARE(entriesOf(temp), tempBefore);
    if (folder != "scans")
        QCOMPARE(entriesOf(scans), scansBefore);
    QCOMPARE(contentsOf(pageFile), QByteArray("page"));
}

void TestPageJournal::changesReplayed_data()
{
    QTest::addColumn<int>("pages");   // listed before the changes
    QTest::addColumn<int>("changes"); // drawn at random, the same for a seed
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("compacted"); // so many that the journal is written whole meanwhile

    QTest::newRow("few pages") << 4 << 60 << 1u << false;
    QTest::newRow("list emptied and filled again") << 2 << 80 << 2u << false;
    QTest::newRow("longer list") << 30 << 80 << 3u << false;
    QTest::newRow("compacted while changes go on") << 40 << 700 << 4u << true;
}

// Whatever the changes, reading the journal gives the list as it is, in its
// order; a journal cut anywhere gives the list as it was after the last whole
// line, and a line cut short counts as one damaged line.
void TestPageJournal::changesReplayed()
{
    QFETCH(int, pages);
    QFETCH(int, changes);
    QFETCH(quint32, seed);
    QFETCH(bool, compacted);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QRandomGenerator random(seed);
    PageJournal journal(dir.path());
    QList<PageEntry> list;
    QList<PageEntry> ahead; // written by the worker, not listed yet
    int made = 0;
    const auto next = [&made] {
        ++made;
        return page(QStringLiteral("/home/u/Scans/Pagora_%1.jpg").arg(made),
                    QStringLiteral("/tmp/p/Pagora_%1.bmp").arg(made));
    };
    for (int i = 0; i < pages; ++i) {
        list.append(next());
        QVERIFY(journal.append(list.last()));
    }
    const QString path = journal.path();
    // The journal's size after each change, and the list it then holds.
    QList<qint64> sizes{QFileInfo(path).size()};
    QList<QList<PageEntry>> states{list};
    bool shrank = false;

    for (int change = 0; change < changes; ++change) {
        const int n = int(list.size());
        const auto row = [&random, n] { return int(random.bounded(n)); };
        const int kind = int(random.bounded(9));
        bool viaRewrite = true;
        if (kind == 0 && n > 0) { // delete one or several
            for (int k = int(random.bounded(1, 4)); k > 0 && !list.isEmpty(); --k)
                list.removeAt(random.bounded(int(list.size())));
        } else if (kind == 1 && n > 1) { // move one
            list.move(row(), row());
        } else if (kind == 2 && n > 1) { // reverse a stretch
            const int a = row();
            const int b = row();
            std::reverse(list.begin() + qMin(a, b), list.begin() + qMax(a, b) + 1);
        } else if (kind == 3 && n > 0) { // rename
            PageEntry &e = list[row()];
            e.caption = QStringLiteral("Renamed %1.jpg").arg(change);
            e.pageFile = QStringLiteral("/home/u/Scans/") + e.caption;
        } else if (kind == 4 && n > 0) { // turn a quarter
            PageEntry &e = list[row()];
            e.size = e.size.transposed();
        } else if (kind == 5) { // a page the worker writes ahead
            ahead.append(next());
            QVERIFY(journal.appendAhead(ahead.last()));
            viaRewrite = false;
        } else if (kind == 6 && !ahead.isEmpty()) { // listed, at the end
            const PageEntry e = ahead.takeFirst();
            QVERIFY(journal.listed(e));
            list.append(e);
            viaRewrite = false;
        } else if (kind == 7) { // added, somewhere in the list
            list.insert(n > 0 ? row() : 0, next());
        } else if (n > 0) { // what the journal does not hold (a thumbnail)
            list[row()].thumbnail = QImage(4, 3, QImage::Format_RGB888);
        }
        if (viaRewrite)
            QVERIFY2(journal.rewrite(list), qPrintable(journal.errorString()));
        const QList<PageEntry> expected = list + ahead;
        const PageJournal::Contents contents = PageJournal::read(path);
        QCOMPARE(describe(contents.pages), describe(expected));
        QCOMPARE(contents.damagedLines, 0);
        const qint64 size = QFileInfo(path).size();
        shrank = shrank || size < sizes.last();
        sizes.append(size);
        states.append(expected);
    }
    journal.waitForCompaction();
    QCOMPARE(describe(PageJournal::read(path).pages), describe(list + ahead));
    QCOMPARE(shrank, compacted);
    QCOMPARE(modeOf(path), 0600); // written anew, still the owner's alone
    // Nothing of a compaction left beside the journal.
    QCOMPARE(entriesOf(dir.path()),
             QStringList(
                 {QFileInfo(path).fileName(), QFileInfo(PageJournal::lockPath(path)).fileName()}));
    if (compacted)
        return; // the sizes before it no longer say where lines end

    // Cut at every line's end and in the middle of every line.
    const QByteArray whole = contentsOf(path);
    const QString cut = dir.filePath(QStringLiteral("cut.jsonl"));
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        for (const bool inside : {false, true}) {
            if (inside && (i + 1 >= sizes.size() || sizes.at(i + 1) == sizes.at(i)))
                continue;
            const qint64 length = inside ? (sizes.at(i) + sizes.at(i + 1)) / 2 : sizes.at(i);
            QFile f(cut);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(f.write(whole.left(length)), length);
            f.close();
            const PageJournal::Contents contents = PageJournal::read(cut);
            QCOMPARE(describe(contents.pages), describe(states.at(i)));
            QCOMPARE(contents.damagedLines, inside ? 1 : 0);
        }
    }
}

QTEST_GUILESS_MAIN(TestPageJournal)
#include "tst_pagejournal.moc"
