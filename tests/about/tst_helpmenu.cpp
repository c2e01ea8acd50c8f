#include "UpdateServerFixture.h"
#include "about/Tfrm_About.h"
#include "about/UpdateChecker.h"
#include "i18n/TLangDispatcher.h"
#include "mainwindow/Tfrm_Main.h"
#include "scanner/NullTwainControl.h"
#include "settings/SettingsStore.h"
#include "settings/Tfrm_Settings.h"
#include "support/PromptRecorder.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QByteArray FilePath = UpdateServerFixture::FilePath;

} // namespace

// The Help menu of the main window, and the quiet check after start-up that
// the "Check for updates at startup" preference asks for.
class tst_HelpMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void aboutCommand();
    void homepage_data();
    void homepage();
    void startupCheck_data();
    void startupCheck();

private:
    void createWindows();

    UpdateServerFixture m_fixture;
    std::unique_ptr<PromptRecorder> m_prompts;
    std::unique_ptr<Tfrm_Main> m_main;
    Tfrm_About *m_about = nullptr;
    Tfrm_Settings *m_settings = nullptr;
};

void tst_HelpMenu::init()
{
    QVERIFY(m_fixture.setUp());
    SettingsStore::setDefaultFilePath(m_fixture.temp()->filePath(QStringLiteral("settings.conf")));
    UpdateChecker::setDefaultTimeLimit(300ms);
    m_prompts = std::make_unique<PromptRecorder>();
}

void tst_HelpMenu::cleanup()
{
    m_main.reset(); // takes the dialogs with it
    m_prompts.reset();
    TLangDispatcher::instance().setLanguage(QStringLiteral("English"));
    SettingsStore::setDefaultFilePath(QString());
    m_fixture.tearDown();
}

void tst_HelpMenu::createWindows()
{
    m_main = std::make_unique<Tfrm_Main>(new NullTwainControl);
    m_about = new Tfrm_About(m_main.get());
    m_settings = new Tfrm_Settings(m_main.get());
    m_main->setWindows(m_about, m_settings, nullptr);
}

void tst_HelpMenu::aboutCommand()
{
    createWindows();
    m_main->show();
    QString shown;
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
        modal = QApplication::activeModalWidget() == m_about;
        shown = m_about->lbl_Version->text();
        QTest::mouseClick(m_about->btn_OK, Qt::LeftButton);
    });
    m_main->Action8->trigger();
    QVERIFY(modal);
    QCOMPARE(shown, QStringLiteral("Version 2.0.3.41"));
    QVERIFY(!m_about->isVisible());
    QCOMPARE(m_main->Action8->text(), QStringLiteral("Ab&out..."));
}

void tst_HelpMenu::homepage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("url");
    QTest::newRow("English") << "English"
                             << "https://www.veldmark.com/pagora-pro/";
    QTest::newRow("Russian") << "Russian"
                             << "https://www.veldmark.com/ru/pagora-pro/";
}

void tst_HelpMenu::homepage()
{
    QFETCH(QString, language);
    QFETCH(QString, url);
    createWindows();
    QVERIFY(TLangDispatcher::instance().setLanguage(language));
    m_main->Action5->trigger();
    QCOMPARE(m_prompts->opened, QList<QUrl>{QUrl(url)});
}

void tst_HelpMenu::startupCheck_data()
{
    QTest::addColumn<QString>("stored"); // "Update" value; empty: absent
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("status"); // -1: the local file cannot be created
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("question"); // empty: nothing said
    QTest::addColumn<QString>("opened");

    const QString question = QStringLiteral("There is new version available on our site!\n"
                                            "Do you want to visit site to download new version?");
    QTest::newRow("fresh installation")
        << ""
        << "English" << 200 << QByteArray("3") << 0 << QString() << QString();
    QTest::newRow("switched off") << "0"
                                  << "English" << 200 << QByteArray("3") << 0 << QString()
                                  << QString();
    QTest::newRow("newer") << "1"
                           << "English" << 200 << QByteArray("2.0.4") << 1 << question
                           << "https://www.veldmark.com/pagora-pro/download/";
    QTest::newRow("newest already")
        << "1"
        << "English" << 200 << QByteArray("2.0.3.41") << 1 << QString() << QString();
    QTest::newRow("server error") << "1"
                                  << "English" << 500 << QByteArray("3") << 1 << QString()
                                  << QString();
    QTest::newRow("no local file")
        << "1"
        << "English" << -1 << QByteArray("3") << 0 << QString() << QString();
    QTest::newRow("Russian") << "1"
                             << "Russian" << 200 << QByteArray("2.1") << 1
                             << QString::fromUtf8("Доступна новая версия на сайте!\n"
                                                  "Вы хотите посетить сайт для загрузки новой "
                                                  "версии?")
                             << "https://www.veldmark.com/ru/pagora-pro/download/";
}

void tst_HelpMenu::startupCheck()
{
    QFETCH(QString, stored);
    QFETCH(QString, language);
    QFETCH(int, status);
    QFETCH(QByteArray, version);
    QFETCH(int, requests);
    QFETCH(QString, question);
    QFETCH(QString, opened);

    {
        SettingsStore store;
        if (!stored.isEmpty())
            store.WriteBool(SettingsStore::Update, stored == QLatin1String("1"));
        store.WriteString(SettingsStore::Lang, language);
    }
    LocalHttpServer::Response response;
    response.status = qMax(status, 200);
    response.body = UpdateServerFixture::updateFile(version);
    m_fixture.server()->serve(FilePath, response);
    if (status < 0)
        qputenv("TEMP", QFile::encodeName(m_fixture.temp()->filePath(QStringLiteral("missing"))));
    m_prompts->answer = QMessageBox::Yes;

    createWindows();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    QTest::qWait(50); // the check starts once the window is up
    QTRY_VERIFY(!m_main->findChild<UpdateChecker *>(QStringLiteral("startupUpdateCheck")));
    QCOMPARE(m_fixture.server()->requests().size(), requests);

    if (question.isEmpty()) {
        QVERIFY(m_prompts->prompts.isEmpty());
    } else {
        QCOMPARE(m_prompts->prompts.size(), 1);
        QCOMPARE(m_prompts->prompts.first().text, question);
        QCOMPARE(m_prompts->prompts.first().buttons, QMessageBox::Yes | QMessageBox::No);
    }
    QCOMPARE(m_prompts->opened.size(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty())
        QCOMPARE(m_prompts->opened.first(), QUrl(opened));
}

QTEST_MAIN(tst_HelpMenu)
#include "tst_helpmenu.moc"
