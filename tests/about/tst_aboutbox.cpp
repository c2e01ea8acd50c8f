#include "UpdateServerFixture.h"
#include "about/Tfrm_About.h"
#include "about/UpdateChecker.h"
#include "i18n/TLangDispatcher.h"
#include "support/PromptRecorder.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QByteArray FilePath = UpdateServerFixture::FilePath;

} // namespace

// The About box as a user sees it, and its update check from the button to
// the message box and the browser.
class tst_AboutBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layout();
    void texts_data();
    void texts();
    void check_data();
    void check();
    void staysUsableWhileChecking();
    void closingEndsTheCheck();
    void localFileCannotBeCreated();

private:
    UpdateServerFixture m_fixture;
    std::unique_ptr<PromptRecorder> m_prompts;
    std::unique_ptr<Tfrm_About> m_about;
};

void tst_AboutBox::init()
{
    QVERIFY(m_fixture.setUp());
    m_prompts = std::make_unique<PromptRecorder>();
    m_about = std::make_unique<Tfrm_About>();
}

void tst_AboutBox::cleanup()
{
    m_about.reset();
    m_prompts.reset();
    TLangDispatcher::instance().setLanguage(QStringLiteral("English"));
    m_fixture.tearDown();
}

void tst_AboutBox::layout()
{
    m_about->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_about.get()));
    QCOMPARE(m_about->size(), QSize(375, 236));
    QCOMPARE(m_about->minimumSize(), m_about->maximumSize());
    // The logo comes from the embedded resources.
    QCOMPARE(m_about->Image->pixmap().size(), QSize(128, 128));
    QCOMPARE(m_about->lbl_Name->font().pixelSize(), 24);
    QCOMPARE(m_about->lbl_Name->font().weight(), QFont::Black);
    QVERIFY(m_about->lbl_Version->font().bold());
    QVERIFY(m_about->lbl_Copyright->wordWrap());
    // The whole notice is visible above the line, the name fits beside the logo.
    QVERIFY(m_about->lbl_Copyright->geometry().bottom() < m_about->Bevel->y());
    QVERIFY(m_about->lbl_Name->geometry().right() < m_about->width());

    QTest::mouseClick(m_about->btn_OK, Qt::LeftButton);
    QVERIFY(!m_about->isVisible());
    QCOMPARE(m_about->result(), int(QDialog::Accepted));
}

void tst_AboutBox::texts_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("update");
    QTest::addColumn<QString>("ok");

    QTest::newRow("English") << "English"
                             << "About Pagora Pro"
                             << "Version 2.0.3.41"
                             << "Check for updates"
                             << "OK";
    QTest::newRow("Russian") << "Russian" << QString::fromUtf8("О программе Pagora Pro")
                             << QString::fromUtf8("Версия 2.0.3.41")
                             << QString::fromUtf8("Обновления") << QString::fromUtf8("ОК");
}

void tst_AboutBox::texts()
{
    QFETCH(QString, language);
    QFETCH(QString, title);
    QFETCH(QString, version);
    QFETCH(QString, update);
    QFETCH(QString, ok);

    QVERIFY(TLangDispatcher::instance().setLanguage(language));
    m_about->show();
    QCOMPARE(m_about->windowTitle(), title);
    QCOMPARE(m_about->lbl_Version->text(), version);
    QCOMPARE(m_about->btn_Update->text(), update);
    QCOMPARE(m_about->btn_OK->text(), ok);
    // Never translated.
    QCOMPARE(m_about->lbl_Name->text(), QStringLiteral("Pagora Pro"));
    QCOMPARE(m_about->lbl_Copyright->text(),
             QStringLiteral("Copyright (c) 2026 Veldmark. All rights reserved."));
    // The version label always shows the running version, whole.
    QVERIFY(m_about->lbl_Version->width() >= m_about->lbl_Version->sizeHint().width());
}

void tst_AboutBox::check_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("text"); // empty: no message at all
    QTest::addColumn<QString>("opened");

    const QString question = QStringLiteral("There is new version available on our site!\n"
                                            "Do you want to visit site to download new version?");
    const QString newest = QStringLiteral("You are using the newest version of Pagora Pro");
    const QString download = QStringLiteral("https://www.veldmark.com/pagora-pro/download/");
    const int yes = QMessageBox::Yes;
    const int no = QMessageBox::No;

    QTest::newRow("newer, Yes") << "English" << 200 << UpdateServerFixture::updateFile("2.0.4")
                                << yes << question << download;
    QTest::newRow("newer, No") << "English" << 200 << UpdateServerFixture::updateFile("2.1") << no
                               << question << QString();
    QTest::newRow("equal") << "English" << 200 << UpdateServerFixture::updateFile("2.0.3.41") << yes
                           << newest << QString();
    QTest::newRow("no Program_Version")
        << "English" << 200 << QByteArray("<r><Program_Info/></r>") << yes << newest << QString();
    QTest::newRow("no Program_Info")
        << "English" << 200 << QByteArray("<r><Program_Version>9</Program_Version></r>") << yes
        << QString() << QString();
    // The other silent failures are the checker's own test; one stands for them here.
    QTest::newRow("HTTP 404") << "English" << 404 << UpdateServerFixture::updateFile("9") << yes
                              << QString() << QString();
    QTest::newRow("Russian, newer, Yes")
        << "Russian" << 200 << UpdateServerFixture::updateFile("3") << yes
        << QString::fromUtf8("Доступна новая версия на сайте!\n"
                             "Вы хотите посетить сайт для загрузки новой версии?")
        << QStringLiteral("https://www.veldmark.com/ru/pagora-pro/download/");
    QTest::newRow("Russian, equal")
        << "Russian" << 200 << UpdateServerFixture::updateFile("2.0.3.41") << yes
        << QString::fromUtf8("Вы используете последнюю версию программы.") << QString();
}

void tst_AboutBox::check()
{
    QFETCH(QString, language);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, answer);
    QFETCH(QString, text);
    QFETCH(QString, opened);

    LocalHttpServer::Response response;
    response.status = status;
    response.body = body;
    m_fixture.server()->serve(FilePath, response);
    m_prompts->answer = QMessageBox::StandardButton(answer);
    QVERIFY(TLangDispatcher::instance().setLanguage(language));

    m_about->show();
    QTest::mouseClick(m_about->btn_Update, Qt::LeftButton);
    QTRY_VERIFY(!m_about->updateChecker()->isRunning());
    QVERIFY(m_about->btn_Update->isEnabled());
    QVERIFY(m_about->isVisible());

    if (text.isEmpty()) {
        QCOMPARE(m_prompts->prompts.size(), 0);
    } else {
        QCOMPARE(m_prompts->prompts.size(), 1);
        const UserPrompts::Prompt &p = m_prompts->prompts.first();
        QCOMPARE(p.text, text);
        QCOMPARE(p.title, language == QLatin1String("Russian")
                              ? QString::fromUtf8("Проверка обновлений Pagora Pro")
                              : QStringLiteral("Checking Pagora Pro updates"));
        QCOMPARE(p.icon, QMessageBox::Information);
        // The question (IDS_11) asks Yes/No; the notice (IDS_15) has OK alone.
        const bool isQuestion = text.endsWith(QLatin1Char('?'));
        QCOMPARE(p.buttons, isQuestion ? QMessageBox::Yes | QMessageBox::No
                                       : QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    QCOMPARE(m_prompts->opened.size(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty())
        QCOMPARE(m_prompts->opened.first(), QUrl(opened));
}

void tst_AboutBox::staysUsableWhileChecking()
{
    LocalHttpServer::Response silent;
    silent.silent = true;
    m_fixture.server()->serve(FilePath, silent);
    UpdateChecker::setDefaultTimeLimit(1500ms);

    m_about->show();
    QTest::mouseClick(m_about->btn_Update, Qt::LeftButton);
    QVERIFY(m_about->updateChecker()->isRunning());
    QVERIFY(!m_about->btn_Update->isEnabled());
    QCOMPARE(m_about->cursor().shape(), Qt::BusyCursor);
    // The event loop runs: the request reaches the server while the box waits.
    QTRY_COMPARE(m_fixture.server()->requests().size(), 1);
    QVERIFY(m_about->isVisible());
    QVERIFY(m_about->updateChecker()->isRunning());

    QTRY_VERIFY_WITH_TIMEOUT(m_about->btn_Update->isEnabled(), 5000);
    QCOMPARE(m_about->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(m_prompts->prompts.isEmpty());
}

void tst_AboutBox::closingEndsTheCheck()
{
    LocalHttpServer::Response slow;
    slow.silent = true;
    m_fixture.server()->serve(FilePath, slow);
    UpdateChecker::setDefaultTimeLimit(300ms);

    m_about->show();
    QTest::mouseClick(m_about->btn_Update, Qt::LeftButton);
    QTRY_COMPARE(m_fixture.server()->requests().size(), 1);
    QTest::mouseClick(m_about->btn_OK, Qt::LeftButton);
    QVERIFY(!m_about->isVisible());
    QVERIFY(!m_about->updateChecker()->isRunning());
    QTest::qWait(500);
    QVERIFY(m_prompts->prompts.isEmpty());

    // The next opening starts afresh.
    m_fixture.server()->serveXml(FilePath, UpdateServerFixture::updateFile("2.0.3.41"));
    m_about->show();
    QVERIFY(m_about->btn_Update->isEnabled());
    QCOMPARE(m_about->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(m_about->btn_Update, Qt::LeftButton);
    QTRY_COMPARE(m_prompts->prompts.size(), 1);
}

void tst_AboutBox::localFileCannotBeCreated()
{
    m_fixture.server()->serveXml(FilePath, UpdateServerFixture::updateFile("3"));
    const QString folder = m_fixture.temp()->filePath(QStringLiteral("missing"));
    qputenv("TEMP", QFile::encodeName(folder));

    m_about->show();
    QTest::mouseClick(m_about->btn_Update, Qt::LeftButton);
    QCOMPARE(m_prompts->prompts.size(), 1);
    const UserPrompts::Prompt &p = m_prompts->prompts.first();
    QCOMPARE(p.icon, QMessageBox::Critical);
    QVERIFY2(p.text.contains(folder + QStringLiteral("/pagora-pro.xml")), qPrintable(p.text));
    QVERIFY(!m_about->updateChecker()->isRunning());
    QVERIFY(m_about->btn_Update->isEnabled());
    QTest::qWait(100);
    QVERIFY(m_fixture.server()->requests().isEmpty());
}

QTEST_MAIN(tst_AboutBox)
#include "tst_aboutbox.moc"
