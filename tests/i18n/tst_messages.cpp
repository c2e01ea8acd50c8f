#include "i18n/MessageTables.h"
#include "i18n/SystemErrorText.h"
#include "i18n/TLangDispatcher.h"
#include "i18n/TLangTranslator.h"
#include "scanner/ScanErrors.h"
#include "support/Prerequisite.h"

#include <QLibraryInfo>
#include <QSignalSpy>
#include <QTest>
#include <cerrno>

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TLangDispatcher::instance().setLanguage(QStringLiteral("English")); }
    void languages();
    void unknownLanguageKeepsActive();
    void settingActiveLanguageDoesNothing();
    void lookup_data();
    void lookup();
    void missingTranslationFallsBackToEnglish();
    void everyMessageHasRussian();
    void scannerErrorsFollowLanguage();
    void systemReasons_data();
    void systemReasons();
    void fileCountPlurals_data();
    void fileCountPlurals();
};

void TestMessages::fileCountPlurals_data()
{
    // Russian has three forms: 1, 21, 101 ... take one; 2-4, 22-24 another; 5-20,
    // 25-30, 111-114 the third. English has two.
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("text");
    const auto ru = [](int n, const char *word) {
        QTest::addRow("Russian %d", n)
            << "Russian" << n << QString::number(n) + QString::fromUtf8(word);
    };
    ru(0, " файлов");
    ru(1, " файл");
    ru(2, " файла");
    ru(4, " файла");
    ru(5, " файлов");
    ru(11, " файлов");
    ru(12, " файлов");
    ru(21, " файл");
    ru(22, " файла");
    ru(25, " файлов");
    ru(101, " файл");
    ru(111, " файлов");
    QTest::addRow("English 0") << "English" << 0 << "0 files";
    QTest::addRow("English 1") << "English" << 1 << "1 file";
    QTest::addRow("English 2") << "English" << 2 << "2 files";
    QTest::addRow("English 21") << "English" << 21 << "21 files";
}

void TestMessages::fileCountPlurals()
{
    QFETCH(QString, language);
    QFETCH(int, n);
    QFETCH(QString, text);
    QVERIFY(TLangDispatcher::instance().setLanguage(language) || language == "English");
    QCOMPARE(MessageTables::fileCount(n), text);
}

void TestMessages::systemReasons_data()
{
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("russian"); // Qt's own translation; English where Qt has none
    QTest::newRow("disk full") << ENOSPC << "No space left on device"
                               << "Нет свободного места на устройстве";
    QTest::newRow("permission") << EACCES << "Permission denied"
                                << "Доступ запрещён";
    QTest::newRow("read-only") << EROFS << "Read-only file system"
                               << "Read-only file system";
}

// Whatever the C library's locale, the reason follows the interface language.
void TestMessages::systemReasons()
{
    QFETCH(int, errorNumber);
    QFETCH(QString, english);
    QFETCH(QString, russian);
    QCOMPARE(SystemErrorText::text(errorNumber), english);
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                       QStringLiteral("/qtbase_ru.qm")))
        SKIP_OR_FAIL_IN_CI("Qt's Russian translations (qt6-translations-l10n) are not installed");
    QVERIFY(TLangDispatcher::instance().setLanguage(QStringLiteral("Russian")));
    QCOMPARE(SystemErrorText::text(errorNumber), russian);
}

void TestMessages::scannerErrorsFollowLanguage()
{
    // The status line shows the control's text as it comes: it must be in the
    // user's language too.
    const QList<int> codes = {
        ScanError::NoSource,     ScanError::Busy,        ScanError::Jammed,
        ScanError::CoverOpen,    ScanError::NoDocuments, ScanError::IoError,
        ScanError::AccessDenied, ScanError::DeviceGone,  ScanError::OutOfMemory};
    QStringList english;
    for (int code : codes)
        english << ScanError::text(code);
    QVERIFY(english.at(2).startsWith(QStringLiteral("Paper jam")));
    TLangDispatcher::instance().setLanguage(QStringLiteral("Russian"));
    QVERIFY(ScanError::text(ScanError::Jammed).startsWith(QStringLiteral("Замятие")));
    for (int i = 0; i < codes.size(); ++i)
        QVERIFY2(ScanError::text(codes.at(i)) != english.at(i), qPrintable(english.at(i)));
}

void TestMessages::languages()
{
    QCOMPARE(TLangDispatcher::instance().languages(),
             QStringList({QStringLiteral("English"), QStringLiteral("Russian")}));
}

void TestMessages::unknownLanguageKeepsActive()
{
    auto &d = TLangDispatcher::instance();
    QVERIFY(!d.setLanguage(QStringLiteral("Klingon")));
    QCOMPARE(d.Language(), QStringLiteral("English"));
    QVERIFY(d.setLanguage(QStringLiteral("Russian")));
    QVERIFY(!d.setLanguage(QStringLiteral("")));
    QVERIFY(!d.setLanguage(QStringLiteral("russian"))); // names are exact
    QCOMPARE(d.Language(), QStringLiteral("Russian"));
    QCOMPARE(MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_6")),
             QStringLiteral("Ожидание"));
}

void TestMessages::settingActiveLanguageDoesNothing()
{
    auto &d = TLangDispatcher::instance();
    QSignalSpy spy(&d, &TLangDispatcher::languageChanged);
    QVERIFY(d.setLanguage(QStringLiteral("English")));
    QCOMPARE(spy.count(), 0);
    QVERIFY(d.setLanguage(QStringLiteral("Russian")));
    QVERIFY(d.setLanguage(QStringLiteral("Russian")));
    QCOMPARE(spy.count(), 1);
}

void TestMessages::lookup_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("russian");
    QTest::newRow("ready") << "main"
                           << "IDS_6"
                           << "Ready"
                           << "Ожидание";
    QTest::newRow("two spacings 1") << "main"
                                    << "IDS_41"
                                    << "Scanning ... "
                                    << "Сканирование ...";
    QTest::newRow("two spacings 2") << "main"
                                    << "IDS_33"
                                    << "Scanning..."
                                    << "Сканирование...";
    QTest::newRow("line break")
        << "main"
        << "IDS_37"
        << "Selected directory doesn't exists. \nWould you like to create it?"
        << "Выбранный каталог не существует. \nВы хотите создать его?";
    QTest::newRow("count suffix") << "main"
                                  << "IDS_105"
                                  << " files"
                                  << " файлов";
    QTest::newRow("about") << "about"
                           << "IDS_11"
                           << "There is new version available on our site!\nDo you want to visit "
                              "site to download new version?"
                           << "Доступна новая версия на сайте!\nВы хотите посетить сайт для "
                              "загрузки новой версии?";
    QTest::newRow("version") << "about"
                             << "IDS_2"
                             << "Version "
                             << "Версия ";
    QTest::newRow("preview") << "preview"
                             << "IDS_0"
                             << "Previewing... "
                             << "Просмотр... ";
    QTest::newRow("unknown id") << "main"
                                << "IDS_7"
                                << ""
                                << "";
    QTest::newRow("id of another window") << "main"
                                          << "IDS_0"
                                          << ""
                                          << "";
}

void TestMessages::lookup()
{
    QFETCH(QString, table);
    QFETCH(QString, id);
    QFETCH(QString, english);
    QFETCH(QString, russian);
    const TLangTranslator &t = table == QLatin1String("main")    ? MessageTables::main()
                               : table == QLatin1String("about") ? MessageTables::about()
                                                                 : MessageTables::preview();
    QCOMPARE(t.GetTextOrDefault(id), english);
    TLangDispatcher::instance().setLanguage(QStringLiteral("Russian"));
    QCOMPARE(t.GetTextOrDefault(id), russian);
    TLangDispatcher::instance().setLanguage(QStringLiteral("English"));
    QCOMPARE(t.GetTextOrDefault(id), english);
}

void TestMessages::missingTranslationFallsBackToEnglish()
{
    const TLangTranslator t("Tfrm_Main", {{"Not in any translation", "IDS_9999"}});
    TLangDispatcher::instance().setLanguage(QStringLiteral("Russian"));
    QCOMPARE(t.GetTextOrDefault(QStringLiteral("IDS_9999")),
             QStringLiteral("Not in any translation"));
}

void TestMessages::everyMessageHasRussian()
{
    // A message whose Russian text went missing would silently show English.
    for (const TLangTranslator *t :
         {&MessageTables::main(), &MessageTables::about(), &MessageTables::preview()}) {
        QHash<QString, QString> english;
        const QStringList ids = t->ids();
        for (const QString &id : ids)
            english.insert(id, t->GetTextOrDefault(id));
        TLangDispatcher::instance().setLanguage(QStringLiteral("Russian"));
        for (const QString &id : ids) {
            const QString ru = t->GetTextOrDefault(id);
            QVERIFY2(!ru.isEmpty(), qPrintable(id));
            // Addresses differ by path; texts differ by script.
            QVERIFY2(ru != english.value(id), qPrintable(id));
        }
        TLangDispatcher::instance().setLanguage(QStringLiteral("English"));
    }
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
