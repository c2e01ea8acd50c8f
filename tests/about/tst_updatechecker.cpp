#include "EndlessHttpServer.h"
#include "UpdateServerFixture.h"
#include "about/UpdateChecker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <memory>

using namespace std::chrono_literals;
using Outcome = UpdateChecker::Outcome;

namespace {

const QByteArray FilePath = UpdateServerFixture::FilePath;

QByteArray updateFile(const QByteArray &version)
{
    return "<?xml version=\"1.0\"?>\n<Pagora><Program_Info><Program_Name>Pagora Pro</Program_Name>"
           "<Program_Version>" +
           version + "</Program_Version></Program_Info></Pagora>\n";
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Resident memory of this process in kB.
qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

// The whole check against a server on 127.0.0.1: what is sent, what is kept on
// disk, and which outcome each answer gives.
class tst_UpdateChecker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void standardAddress();
    void outcome_data();
    void outcome();
    void requestAndLocalCopy();
    void redirectFollowedWithItsCookie();
    void unreachablePort();
    void timeLimit();
    void endlessAnswerCutOff();
    void plantedLinkNotFollowed();
    void failedDownloadKeepsEarlierCopy();
    void localFileCannotBeCreated();
    void privateFolderWithoutTemp();
    void secondStartWhileRunning();
    void cancelGivesNoOutcome();

private:
    // Runs one check against the server's update file; the outcome, or -1.
    int runCheck(UpdateChecker &checker, int timeoutMs = 5000);

    UpdateServerFixture m_fixture;
};

void tst_UpdateChecker::init()
{
    QVERIFY(m_fixture.setUp());
}

void tst_UpdateChecker::cleanup()
{
    m_fixture.tearDown();
}

int tst_UpdateChecker::runCheck(UpdateChecker &checker, int timeoutMs)
{
    QSignalSpy spy(&checker, &UpdateChecker::finished);
    if (!checker.start())
        return -1;
    if (!spy.wait(timeoutMs) || spy.size() != 1)
        return -1;
    return int(spy.at(0).at(0).value<Outcome>());
}

void tst_UpdateChecker::standardAddress()
{
    const QUrl url = UpdateChecker::standardAddress();
    QCOMPARE(url.scheme(), QStringLiteral("https"));
    QCOMPARE(url.path(), QString::fromLatin1(FilePath));
}

void tst_UpdateChecker::outcome_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("announced");

    const auto row = [](const char *name, int status, const QByteArray &body, Outcome outcome,
                        const QString &announced = QString()) {
        QTest::newRow(name) << status << body << int(outcome) << announced;
    };
    row("newer", 200, updateFile("2.0.4"), Outcome::Newer, "2.0.4");
    row("newer minor", 200, updateFile("2.1"), Outcome::Newer, "2.1");
    row("equal", 200, updateFile("2.0.3.41"), Outcome::NotNewer, "2.0.3.41");
    row("equal with words", 200, updateFile("build 2.0.3.41.7 beta"), Outcome::NotNewer,
        "build 2.0.3.41.7 beta");
    row("older", 200, updateFile("1.9"), Outcome::NotNewer, "1.9");
    row("no digits", 200, updateFile("soon"), Outcome::NotNewer, "soon");
    row("blanks around", 200, updateFile("\n  2.0.4\n"), Outcome::Newer, "\n  2.0.4\n");
    row("no Program_Version", 200, "<a><Program_Info><Name>x</Name></Program_Info></a>",
        Outcome::NotNewer, "");
    row("Program_Info after other elements", 200,
        "<r><Other/><Program_Info><Program_Version>3</Program_Version></Program_Info></r>",
        Outcome::Newer, "3");
    row("only the first Program_Info counts", 200,
        "<r><Program_Info><Program_Version>2.0.3.41</Program_Version></Program_Info>"
        "<Program_Info><Program_Version>9</Program_Version></Program_Info></r>",
        Outcome::NotNewer, "2.0.3.41");
    row("no Program_Info", 200, "<r><Program_Version>9</Program_Version></r>",
        Outcome::NoProgramInfo);
    row("Program_Info deeper down", 200,
        "<r><x><Program_Info><Program_Version>9</Program_Version></Program_Info></x></r>",
        Outcome::NoProgramInfo);
    row("malformed XML", 200, "<r><Program_Info><Program_Version>9</Program_Info></r>",
        Outcome::NotXml);
    row("not XML at all", 200, "2.0.4", Outcome::NotXml);
    row("nested 140,000 deep", 200, QByteArray("<a>").repeated(140000), Outcome::NotXml);
    row("empty body", 200, "", Outcome::NotXml);
    row("huge number", 200, updateFile("2.99999999999"), Outcome::UnreadableVersion,
        "2.99999999999");
    row("not found", 404, updateFile("9"), Outcome::HttpError);
    row("server error", 500, updateFile("9"), Outcome::HttpError);
    row("too large", 200,
        "<r>" + QByteArray(UpdateChecker::MaxFileSize, ' ') +
            "<Program_Info><Program_Version>9</Program_Version></Program_Info></r>",
        Outcome::TooLarge);
}

void tst_UpdateChecker::outcome()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, expected);
    QFETCH(QString, announced);

    LocalHttpServer::Response response;
    response.status = status;
    response.body = body;
    m_fixture.server()->serve(FilePath, response);

    UpdateChecker checker;
    QCOMPARE(checker.localVersion(), QStringLiteral("2.0.3.41"));
    QCOMPARE(runCheck(checker), expected);
    QCOMPARE(checker.announcedVersion(), announced);
    QVERIFY(!checker.isRunning());
}

void tst_UpdateChecker::requestAndLocalCopy()
{
    const QByteArray body = updateFile("2.0.4");
    m_fixture.server()->serveXml(FilePath, body);

    UpdateChecker checker;
    QCOMPARE(UpdateChecker::localFilePath(),
             m_fixture.temp()->filePath(QStringLiteral("pagora-pro.xml")));
    QCOMPARE(runCheck(checker), int(Outcome::Newer));

    QCOMPARE(m_fixture.server()->requests().size(), 1);
    const LocalHttpServer::Request &r = m_fixture.server()->requests().first();
    QCOMPARE(r.method, QByteArray("GET"));
    QCOMPARE(r.path, FilePath);
    QCOMPARE(r.headers.value("accept"), QByteArray("text/html, */*"));
    QCOMPARE(r.headers.value("user-agent"), QByteArray("Mozilla/3.0 (compatible; Pagora Pro)"));
    QCOMPARE(readFile(UpdateChecker::localFilePath()), body);
    // Nothing else is left behind in the folder.
    QCOMPARE(QDir(m_fixture.temp()->path()).entryList(QDir::Files), QStringList{"pagora-pro.xml"});
}

void tst_UpdateChecker::redirectFollowedWithItsCookie()
{
    m_fixture.server()->redirect("/old/pagora-pro.xml", FilePath, "visit=42");
    m_fixture.server()->serveXml(FilePath, updateFile("2.0.4"));

    UpdateChecker checker;
    checker.setAddress(m_fixture.server()->url("/old/pagora-pro.xml"));
    QCOMPARE(runCheck(checker), int(Outcome::Newer));
    QCOMPARE(m_fixture.server()->requests().size(), 2);
    QCOMPARE(m_fixture.server()->requests().at(1).path, FilePath);
    QCOMPARE(m_fixture.server()->requests().at(1).headers.value("cookie"), QByteArray("visit=42"));
    QCOMPARE(m_fixture.server()->requests().at(1).headers.value("user-agent"),
             QByteArray("Mozilla/3.0 (compatible; Pagora Pro)"));

    // Cookies live for one check only.
    checker.setAddress(m_fixture.server()->url(FilePath));
    QCOMPARE(runCheck(checker), int(Outcome::Newer));
    QCOMPARE(m_fixture.server()->requests().size(), 3);
    QVERIFY(!m_fixture.server()->requests().at(2).headers.contains("cookie"));
}

void tst_UpdateChecker::unreachablePort()
{
    UpdateChecker checker;
    checker.setAddress(QUrl(QStringLiteral("http://127.0.0.1:%1%2")
                                .arg(LocalHttpServer::closedPort())
                                .arg(QString::fromLatin1(FilePath))));
    QCOMPARE(runCheck(checker), int(Outcome::NoConnection));
}

void tst_UpdateChecker::timeLimit()
{
    LocalHttpServer::Response silent;
    silent.silent = true;
    m_fixture.server()->serve(FilePath, silent);

    UpdateChecker checker;
    QCOMPARE(checker.timeLimit(), UpdateChecker::StandardTimeLimit);
    checker.setTimeLimit(300ms);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(runCheck(checker, 10000), int(Outcome::TimedOut));
    // The timer is coarse: within 5% of the limit.
    QVERIFY2(clock.elapsed() >= 280, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_fixture.server()->requests().size(), 1);
}

void tst_UpdateChecker::endlessAnswerCutOff()
{
    EndlessHttpServer server;
    QVERIFY(server.isListening());
    UpdateChecker checker;
    checker.setAddress(server.url(FilePath));
    QSignalSpy spy(&checker, &UpdateChecker::finished);

    const qint64 before = residentKb();
    QVERIFY(checker.start());
    // A busy moment of the window: what arrives meanwhile must not pile up.
    QThread::msleep(1000);
    QVERIFY(spy.wait(10000));
    const qint64 grownKb = residentKb() - before;
    qInfo("sent %lld KiB, memory grew by %lld KiB", server.bytesSent() / 1024, grownKb);
    QCOMPARE(spy.at(0).at(0).value<Outcome>(), Outcome::TooLarge);
    QVERIFY2(grownKb < 50 * 1024, qPrintable(QString::number(grownKb)));
    QCOMPARE(QDir(m_fixture.temp()->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// In a folder others can write to, a link under the update file's name must be
// replaced, never followed: its target stays as it was.
void tst_UpdateChecker::plantedLinkNotFollowed()
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("precious.txt"));
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    QVERIFY(QFile::link(target, UpdateChecker::localFilePath()));
    m_fixture.server()->serveXml(FilePath, updateFile("2.0.4"));

    UpdateChecker checker;
    QCOMPARE(runCheck(checker), int(Outcome::Newer));
    QCOMPARE(readFile(target), QByteArray("precious"));
    const QFileInfo copy(UpdateChecker::localFilePath());
    QVERIFY(!copy.isSymLink());
    QCOMPARE(readFile(copy.filePath()), updateFile("2.0.4"));
    QCOMPARE(copy.permissions(),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

void tst_UpdateChecker::failedDownloadKeepsEarlierCopy()
{
    const QByteArray earlier = updateFile("2.0.3.41");
    {
        QFile f(UpdateChecker::localFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(earlier);
    }
    LocalHttpServer::Response missing;
    missing.status = 404;
    missing.body = "gone";
    m_fixture.server()->serve(FilePath, missing);

    UpdateChecker checker;
    QCOMPARE(runCheck(checker), int(Outcome::HttpError));
    QCOMPARE(readFile(UpdateChecker::localFilePath()), earlier);
    QCOMPARE(QDir(m_fixture.temp()->path()).entryList(QDir::Files), QStringList{"pagora-pro.xml"});

    // A good answer replaces it.
    m_fixture.server()->serveXml(FilePath, updateFile("2.0.4"));
    QCOMPARE(runCheck(checker), int(Outcome::Newer));
    QCOMPARE(readFile(UpdateChecker::localFilePath()), updateFile("2.0.4"));
}

void tst_UpdateChecker::localFileCannotBeCreated()
{
    m_fixture.server()->serveXml(FilePath, updateFile("2.0.4"));
    qputenv("TEMP",
            QFile::encodeName(m_fixture.temp()->filePath(QStringLiteral("no-such-folder"))));

    UpdateChecker checker;
    QSignalSpy spy(&checker, &UpdateChecker::finished);
    QVERIFY(!checker.start());
    QVERIFY(!checker.errorString().isEmpty());
    QVERIFY(!checker.isRunning());
    QTest::qWait(100);
    QCOMPARE(spy.size(), 0);
    QVERIFY(m_fixture.server()->requests().isEmpty()); // nothing requested
}

void tst_UpdateChecker::privateFolderWithoutTemp()
{
    m_fixture.server()->serveXml(FilePath, updateFile("2.0.4"));
    // The private folder lives below the system's temporary path: keep it in ours.
    const QByteArray oldTmpDir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(m_fixture.temp()->path()));
    qunsetenv("TEMP");

    const QString path = UpdateChecker::localFilePath();
    QVERIFY2(path.startsWith(m_fixture.temp()->path() + QStringLiteral("/pagora-pro-")),
             qPrintable(path));
    QVERIFY(path.endsWith(QStringLiteral("/pagora-pro.xml")));
    UpdateChecker checker;
    QCOMPARE(runCheck(checker), int(Outcome::Newer));
    QCOMPARE(readFile(path), updateFile("2.0.4"));
    QVERIFY(!QFile::exists(QStringLiteral("/pagora-pro.xml")));
    QFile::Permissions expected = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                  QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
    QCOMPARE(QFileInfo(QFileInfo(path).path()).permissions(), expected);

    if (oldTmpDir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmpDir);
}

void tst_UpdateChecker::secondStartWhileRunning()
{
    LocalHttpServer::Response silent;
    silent.silent = true;
    m_fixture.server()->serve(FilePath, silent);

    UpdateChecker checker;
    checker.setTimeLimit(300ms);
    QSignalSpy spy(&checker, &UpdateChecker::finished);
    QVERIFY(checker.start());
    QVERIFY(checker.isRunning());
    QVERIFY(checker.start());
    QVERIFY(spy.wait(5000));
    QTest::qWait(100);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(m_fixture.server()->requests().size(), 1);
}

void tst_UpdateChecker::cancelGivesNoOutcome()
{
    LocalHttpServer::Response silent;
    silent.silent = true;
    m_fixture.server()->serve(FilePath, silent);

    UpdateChecker checker;
    checker.setTimeLimit(200ms);
    QSignalSpy spy(&checker, &UpdateChecker::finished);
    QVERIFY(checker.start());
    QTRY_COMPARE(m_fixture.server()->requests().size(), 1);
    checker.cancel();
    QVERIFY(!checker.isRunning());
    QTest::qWait(400); // past the time limit: it must not fire
    QCOMPARE(spy.size(), 0);
    QVERIFY(QDir(m_fixture.temp()->path()).entryList(QDir::Files).isEmpty());
}

QTEST_GUILESS_MAIN(tst_UpdateChecker)
#include "tst_updatechecker.moc"
