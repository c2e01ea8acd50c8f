// The page journal on its own: what goes in comes back whatever the paths hold,
// damaged lines are skipped and counted, and only journals whose program is
// gone are claimed, by one claimer at a time.
#include "pages/PageJournal.h"
#include "pages/StaleJournals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

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

QTEST_GUILESS_MAIN(TestPageJournal)
#include "tst_pagejournal.moc"
