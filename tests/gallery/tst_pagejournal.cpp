// The page journal on its own: what goes in comes back whatever the paths hold,
// damaged lines are skipped and counted, a line that fails leaves nothing
// behind, and only journals whose program is gone are claimed, by one claimer
// at a time.
#include "pages/PageJournal.h"
#include "pages/StaleJournals.h"
#include "support/FullDisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
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
    QCOMPARE(f.readAll().count('\n'), expected.size() + damage.count('\n'));
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
            QSKIP("mounting a small file system needs root");
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
            const qint64 room =
                trouble == "limit inside" ? PageJournal::line(page("/a.jpg", "/a.bmp")).size() / 2 : 0;
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

QTEST_GUILESS_MAIN(TestPageJournal)
#include "tst_pagejournal.moc"
