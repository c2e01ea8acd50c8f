// The naming rules of page files and working copies, as pure functions.
#include "pages/FileNaming.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace FileNaming;

namespace {

// 8 December 2026, 3:01:10 in the morning.
const QDateTime Morning(QDate(2026, 12, 8), QTime(3, 1, 10));

ExistsPredicate existingPaths(const QStringList &paths)
{
    const QSet<QString> set(paths.cbegin(), paths.cend());
    return [set](const QString &path) { return set.contains(path); };
}

} // namespace

class TestFileNaming : public QObject
{
    Q_OBJECT

private slots:
    void stampWithFormats_data();
    void stampWithFormats();
    void stampFromLocale_data();
    void stampFromLocale();
    void dateFormatWithFullYear_data();
    void dateFormatWithFullYear();
    void timeFormatWithoutZone_data();
    void timeFormatWithoutZone();
    void extension_data();
    void extension();
    void names_data();
    void names();
    void freeSuffix_data();
    void freeSuffix();
    void freeSuffixOnDisk();
};

void TestFileNaming::stampWithFormats_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("dateFormat");
    QTest::addColumn<QString>("timeFormat");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");

    // "M/d/yyyy h:mm:ss tt" written in Qt's format letters.
    QTest::newRow("US morning") << Morning << "M/d/yyyy"
                                << "h:mm:ss AP"
                                << "en_US"
                                << "12-8-2026 3-01-10 AM";
    QTest::newRow("US afternoon") << Morning.addSecs(12 * 3600) << "M/d/yyyy"
                                  << "h:mm:ss AP"
                                  << "en_US"
                                  << "12-8-2026 3-01-10 PM";
    // Dots and blanks stay as the locale writes them.
    QTest::newRow("dotted date") << Morning << "dd.MM.yyyy"
                                 << "H:mm:ss"
                                 << "ru_RU"
                                 << "08.12.2026 3-01-10";
    QTest::newRow("slashes and colons everywhere") << Morning << "yyyy/MM/dd"
                                                   << "HH:mm:ss"
                                                   << "en_GB"
                                                   << "2026-12-08 03-01-10";
}

void TestFileNaming::stampWithFormats()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, dateFormat);
    QFETCH(QString, timeFormat);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    QCOMPARE(FileNaming::stampWithFormats(when, dateFormat, timeFormat, QLocale(locale)), expected);
}

void TestFileNaming::stampFromLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    // The locale's short date with a four-digit year and its time with seconds,
    // never a time zone.
    QTest::newRow("en_US") << "en_US"
                           << "12-8-2026 3-01-10 AM";
    QTest::newRow("en_GB") << "en_GB"
                           << "08-12-2026 03-01-10";
    QTest::newRow("ru_RU") << "ru_RU"
                           << "08.12.2026 03-01-10";
    QTest::newRow("de_DE") << "de_DE"
                           << "08.12.2026 03-01-10";
    QTest::newRow("zone first (zh_CN)") << "zh_CN"
                                        << "2026-12-8 03-01-10";
}

void TestFileNaming::stampFromLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    const QString stamp = FileNaming::stamp(Morning, QLocale(locale));
    QCOMPARE(stamp, expected);
    QVERIFY(!stamp.contains(QLatin1Char(':')));
    QVERIFY(!stamp.contains(QLatin1Char('/')));
}

void TestFileNaming::dateFormatWithFullYear_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two digits") << "M/d/yy"
                                << "M/d/yyyy";
    QTest::newRow("four digits stay") << "dd.MM.yyyy"
                                      << "dd.MM.yyyy";
    QTest::newRow("single y stays") << "y/M/d"
                                    << "y/M/d";
    QTest::newRow("quoted text stays") << "'yy' dd.MM.yy"
                                       << "'yy' dd.MM.yyyy";
}

void TestFileNaming::dateFormatWithFullYear()
{
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(FileNaming::dateFormatWithFullYear(format), expected);
}

void TestFileNaming::timeFormatWithoutZone_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zone last") << "h:mm:ss AP t"
                               << "h:mm:ss AP";
    QTest::newRow("zone first") << "t HH:mm:ss"
                                << "HH:mm:ss";
    QTest::newRow("zone in brackets") << "H:mm:ss (t)"
                                      << "H:mm:ss";
    QTest::newRow("long zone") << "HH:mm:ss tttt"
                               << "HH:mm:ss";
    QTest::newRow("quoted t is text") << "HH:mm:ss 'at' t"
                                      << "HH:mm:ss 'at'";
    QTest::newRow("no zone") << "HH:mm:ss"
                             << "HH:mm:ss";
    QTest::newRow("no seconds") << "HH:mm t"
                                << "HH:mm:ss";
}

void TestFileNaming::timeFormatWithoutZone()
{
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(FileNaming::timeFormatWithoutZone(format), expected);
}

void TestFileNaming::extension_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bmp") << "BMP (Windows Bitmap)"
                         << "bmp";
    QTest::newRow("jpg") << "JPG (JPEG)"
                         << "jpg";
    QTest::newRow("tiff has four letters") << "TIFF (Tag Image File Format)"
                                           << "tiff";
}

void TestFileNaming::extension()
{
    QFETCH(QString, item);
    QFETCH(QString, expected);
    QCOMPARE(extensionFromFormatItem(item), expected);
}

void TestFileNaming::names_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("pageFile");
    QTest::addColumn<QString>("workingCopy");

    const QString s = QStringLiteral("12-8-2026 3-01-10 AM");
    QTest::newRow("plain") << "Pagora"
                           << "jpg"
                           << "/scans"
                           << "Pagora_" + s + ".jpg"
                           << "/scans/Pagora_" + s + ".jpg"
                           << "/tmp/w/Pagora_" + s + ".bmp";
    QTest::newRow("blanks around prefix and destination") << "  Pagora "
                                                          << "jpg"
                                                          << " /scans  "
                                                          << "Pagora_" + s + ".jpg"
                                                          << "/scans/Pagora_" + s + ".jpg"
                                                          << "/tmp/w/Pagora_" + s + ".bmp";
    QTest::newRow("empty prefix") << ""
                                  << "bmp"
                                  << "/scans"
                                  << "_" + s + ".bmp"
                                  << "/scans/_" + s + ".bmp"
                                  << "/tmp/w/_" + s + ".bmp";
    QTest::newRow("tiff page, bmp working copy") << "Pagora"
                                                 << "tiff"
                                                 << "/scans"
                                                 << "Pagora_" + s + ".tiff"
                                                 << "/scans/Pagora_" + s + ".tiff"
                                                 << "/tmp/w/Pagora_" + s + ".bmp";
    // The separator is always inserted; the file system reads "//" as one.
    QTest::newRow("destination ending in a separator") << "Pagora"
                                                       << "bmp"
                                                       << "/scans/"
                                                       << "Pagora_" + s + ".bmp"
                                                       << "/scans//Pagora_" + s + ".bmp"
                                                       << "/tmp/w/Pagora_" + s + ".bmp";
}

void TestFileNaming::names()
{
    QFETCH(QString, prefix);
    QFETCH(QString, extension);
    QFETCH(QString, destination);
    const PageNames n = pageNames(QStringLiteral("12-8-2026 3-01-10 AM"), prefix, extension,
                                  destination, QStringLiteral("/tmp/w"));
    QTEST(n.fileName, "fileName");
    QTEST(n.pageFile, "pageFile");
    QTEST(n.workingCopy, "workingCopy");
}

void TestFileNaming::freeSuffix_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");

    const QString base = QStringLiteral("/scans/Pagora_S");
    QTest::newRow("free") << QStringList() << "Pagora"
                          << "jpg"
                          << "S";
    QTest::newRow("stamp taken") << QStringList{base + ".jpg"} << "Pagora"
                                 << "jpg"
                                 << "S_1";
    QTest::newRow("stamp and _1 taken") << QStringList{base + ".jpg", base + "_1.jpg"} << "Pagora"
                                        << "jpg"
                                        << "S_2";
    QTest::newRow("gap at _1 is refilled")
        << QStringList{base + ".jpg", base + "_2.jpg", base + "_3.jpg"} << "Pagora"
        << "jpg"
        << "S_1";
    QTest::newRow("stamp free despite numbered ones")
        << QStringList{base + "_1.jpg", base + "_2.jpg"} << "Pagora"
        << "jpg"
        << "S";
    QTest::newRow("other extension does not count")
        << QStringList{base + ".bmp", base + "_1.bmp"} << "Pagora"
        << "jpg"
        << "S";
    QTest::newRow("numbers beyond nine")
        << QStringList{base + ".bmp",   base + "_1.bmp", base + "_2.bmp", base + "_3.bmp",
                       base + "_4.bmp", base + "_5.bmp", base + "_6.bmp", base + "_7.bmp",
                       base + "_8.bmp", base + "_9.bmp"}
        << "Pagora"
        << "bmp"
        << "S_10";
    QTest::newRow("tested with the trimmed prefix") << QStringList{base + ".jpg"} << " Pagora  "
                                                    << "jpg"
                                                    << "S_1";
    QTest::newRow("empty prefix") << QStringList{"/scans/_S.jpg"} << ""
                                  << "jpg"
                                  << "S_1";
}

void TestFileNaming::freeSuffix()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, prefix);
    QFETCH(QString, extension);
    QFETCH(QString, expected);
    QCOMPARE(FileNaming::freeSuffix(QStringLiteral("S"), prefix, extension,
                                    QStringLiteral(" /scans "), existingPaths(existing)),
             expected);
}

void TestFileNaming::freeSuffixOnDisk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString stamp = QStringLiteral("08.12.2026 03-01-10");
    const auto touch = [&](const QString &suffix) {
        QFile f(dir.filePath(QStringLiteral("Pagora_") + suffix + QStringLiteral(".jpg")));
        QVERIFY(f.open(QIODevice::WriteOnly));
    };
    QCOMPARE(
        FileNaming::freeSuffix(stamp, QStringLiteral("Pagora"), QStringLiteral("jpg"), dir.path()),
        stamp);
    touch(stamp);
    touch(stamp + QStringLiteral("_1"));
    QCOMPARE(
        FileNaming::freeSuffix(stamp, QStringLiteral("Pagora"), QStringLiteral("jpg"), dir.path()),
        stamp + QStringLiteral("_2"));
    // A dangling link holds its name: writing through it would land elsewhere.
    QVERIFY(
        QFile::link(dir.filePath(QStringLiteral("nowhere")),
                    dir.filePath(QStringLiteral("Pagora_") + stamp + QStringLiteral("_2.jpg"))));
    QCOMPARE(
        FileNaming::freeSuffix(stamp, QStringLiteral("Pagora"), QStringLiteral("jpg"), dir.path()),
        stamp + QStringLiteral("_3"));
    QVERIFY(
        QFile::remove(dir.filePath(QStringLiteral("Pagora_") + stamp + QStringLiteral("_1.jpg"))));
    QCOMPARE(
        FileNaming::freeSuffix(stamp, QStringLiteral("Pagora"), QStringLiteral("jpg"), dir.path()),
        stamp + QStringLiteral("_1"));
}

QTEST_GUILESS_MAIN(TestFileNaming)
#include "tst_filenaming.moc"
