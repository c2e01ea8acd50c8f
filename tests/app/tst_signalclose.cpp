#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

// SIGTERM (logout, kill), SIGINT (Ctrl+C) and SIGHUP (the terminal went away)
// close the program as File, Exit does: settings written, nothing left in the
// temporary folder, a normal exit.
class tst_SignalClose : public QObject
{
    Q_OBJECT

private slots:
    void closesLikeExit_data();
    void closesLikeExit();
};

void tst_SignalClose::closesLikeExit_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("settingsWritable");
    QTest::newRow("SIGTERM") << int(SIGTERM) << true;
    QTest::newRow("SIGINT") << int(SIGINT) << true;
    QTest::newRow("SIGHUP") << int(SIGHUP) << true;
    QTest::newRow("SIGTERM, settings folder unwritable") << int(SIGTERM) << false;
}

void tst_SignalClose::closesLikeExit()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, settingsWritable);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString temp = dir.filePath(QStringLiteral("temp"));
    QVERIFY(QDir().mkpath(temp));
    QString config = dir.filePath(QStringLiteral("config"));
    if (!settingsWritable) {
        // A plain file where the folder should be: unwritable for root too.
        QFile blocker(config);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("TEMP"), temp);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("pagora.app.signals.debug=true"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(PAGORA_PRO), QStringList());
    QVERIFY(program.waitForStarted(10000));
    // The handlers are in place once this is logged; what arrives then waits for the loop.
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += program.readAllStandardError()).contains("watching"), 60000);

    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    QVERIFY2(program.waitForFinished(30000), "still running");
    err += program.readAllStandardError();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    const QString settingsFile = config + QStringLiteral("/Veldmark/Pagora Pro.conf");
    if (settingsWritable) {
        QSettings settings(settingsFile, QSettings::IniFormat);
        QVERIFY2(settings.contains(QStringLiteral("WWidth")), err);
        QVERIFY(settings.contains(QStringLiteral("Destination")));
    } else {
        QVERIFY2(err.contains("The settings could not be saved to " + settingsFile.toUtf8()), err);
    }
    QCOMPARE(QDir(temp).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(tst_SignalClose)
#include "tst_signalclose.moc"
