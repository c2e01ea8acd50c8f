#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void roundTrip_data();
    void roundTrip();
    void absentKeepsValue();
    void wrongKind_data();
    void wrongKind();
    void range_data();
    void range();
    void booleansStoredAsIntegers();
    void writeFailureReportedOnce();

private:
    QString writeFile(const QByteArray &content);
    QTemporaryDir m_dir;
    QString m_path;
};

void TestSettingsStore::init()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) +
                            QString::fromLatin1(QTest::currentDataTag()) + ".conf");
    QFile::remove(m_path);
}

QString TestSettingsStore::writeFile(const QByteArray &content)
{
    QFile f(m_path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write("[General]\n" + content);
    return m_path;
}

void TestSettingsStore::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("string") << "FileName" << QVariant(QStringLiteral("  Pagora scan  "));
    QTest::newRow("string with comma") << "FileName" << QVariant(QStringLiteral("a, b"));
    QTest::newRow("empty string") << "Destination" << QVariant(QString());
    QTest::newRow("unicode") << "Destination" << QVariant(QStringLiteral("/home/юзер/Сканы"));
    QTest::newRow("windows path") << "Destination" << QVariant(QStringLiteral("C:\\"));
    QTest::newRow("integer") << "Resolution" << QVariant(9);
    QTest::newRow("negative integer") << "Scanner" << QVariant(-1);
    QTest::newRow("true") << "ADF" << QVariant(true);
    QTest::newRow("false") << "Duplex" << QVariant(false);
}

void TestSettingsStore::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(QVariant, value);
    {
        SettingsStore store(m_path);
        if (value.typeId() == QMetaType::QString)
            store.WriteString(name, value.toString());
        else if (value.typeId() == QMetaType::Int)
            store.WriteInteger(name, value.toInt());
        else
            store.WriteBool(name, value.toBool());
    }
    SettingsStore store(m_path);
    QVERIFY(store.ValueExists(name));
    if (value.typeId() == QMetaType::QString) {
        QString s = QStringLiteral("unchanged");
        QVERIFY(store.readString(name, s));
        QCOMPARE(s, value.toString());
    } else if (value.typeId() == QMetaType::Int) {
        int n = 12345;
        QVERIFY(store.readInteger(name, n));
        QCOMPARE(n, value.toInt());
    } else {
        bool b = !value.toBool();
        QVERIFY(store.readBool(name, b));
        QCOMPARE(b, value.toBool());
    }
}

void TestSettingsStore::absentKeepsValue()
{
    SettingsStore store(m_path);
    QString s = QStringLiteral("kept");
    int n = 7;
    bool b = true;
    QVERIFY(!store.readString(SettingsStore::Lang, s));
    QVERIFY(!store.readInteger(SettingsStore::Units, n));
    QVERIFY(!store.readBool(SettingsStore::Save, b));
    QCOMPARE(s, QStringLiteral("kept"));
    QCOMPARE(n, 7);
    QCOMPARE(b, true);
}

void TestSettingsStore::wrongKind_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("readsAsInteger");
    QTest::addColumn<bool>("readsAsBool");
    QTest::newRow("word for integer") << QByteArray("Units=abc") << "Units" << false << false;
    QTest::newRow("float") << QByteArray("Units=1.5") << "Units" << false << false;
    QTest::newRow("list") << QByteArray("Mode=1, 2") << "Mode" << false << false;
    QTest::newRow("empty") << QByteArray("Mode=") << "Mode" << false << false;
    QTest::newRow("too large") << QByteArray("Mode=99999999999") << "Mode" << false << false;
    QTest::newRow("bool word") << QByteArray("Save=true") << "Save" << false << true;
    QTest::newRow("non-zero is true") << QByteArray("Save=5") << "Save" << true << true;
    QTest::newRow("bool junk") << QByteArray("Save=maybe") << "Save" << false << false;
}

void TestSettingsStore::wrongKind()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, name);
    QFETCH(bool, readsAsInteger);
    QFETCH(bool, readsAsBool);
    writeFile(line + "\n");
    SettingsStore store(m_path);
    int n = -77;
    QCOMPARE(store.readInteger(name, n), readsAsInteger);
    if (!readsAsInteger)
        QCOMPARE(n, -77);
    bool b = false;
    QCOMPARE(store.readBool(name, b), readsAsBool);
}

void TestSettingsStore::range_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("inside") << QByteArray("Mode=2") << true;
    QTest::newRow("lowest") << QByteArray("Mode=0") << true;
    QTest::newRow("above") << QByteArray("Mode=3") << false;
    QTest::newRow("minus one") << QByteArray("Mode=-1") << false;
}

void TestSettingsStore::range()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, accepted);
    writeFile(line + "\n");
    SettingsStore store(m_path);
    int n = 1;
    QCOMPARE(store.readIntegerInRange(QStringLiteral("Mode"), 0, 2, n), accepted);
    if (!accepted)
        QCOMPARE(n, 1);
}

void TestSettingsStore::booleansStoredAsIntegers()
{
    {
        SettingsStore store(m_path);
        store.WriteBool(SettingsStore::SkipBlank, true);
        store.WriteBool(SettingsStore::Save, false);
    }
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    QVERIFY2(content.contains("SkipBlank=1"), content.constData());
    QVERIFY2(content.contains("Save=0"), content.constData());
}

// A folder that cannot be written (here: a path below a plain file, which stops
// root too) loses the values; the user hears of it once per run, with the path.
void TestSettingsStore::writeFailureReportedOnce()
{
    QVERIFY(!writeFile("").isEmpty());
    const QString unwritable = m_path + QStringLiteral("/Pagora Pro.conf");
    QStringList reports;
    SettingsStore::resetWriteFailureReported();
    SettingsStore::setWriteFailureHandler([&reports](const QString &path) { reports << path; });

    {
        SettingsStore reader(unwritable);
        int value = 0;
        QVERIFY(!reader.readInteger(QStringLiteral("Mode"), value));
    }
    QCOMPARE(reports, QStringList()); // reading alone writes nothing
    for (int close = 0; close < 3; ++close) {
        SettingsStore store(unwritable);
        store.WriteInteger(QStringLiteral("Mode"), close);
    }
    QCOMPARE(reports, QStringList{unwritable});
    QVERIFY(SettingsStore::writeFailureReported());
    {
        SettingsStore fine(m_path);
        fine.WriteInteger(QStringLiteral("Mode"), 1);
    }
    QCOMPARE(reports.size(), 1);
    SettingsStore::setWriteFailureHandler({});
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
