#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>

// Every text the windows pass through tr() has a Russian entry, so a Russian
// user never meets an English leftover that a new feature brought in.
class TestTranslationCoverage : public QObject
{
    Q_OBJECT

private slots:
    void everyTrCallIsTranslated();

private:
    static QString unescape(const QString &literal);
};

QString TestTranslationCoverage::unescape(const QString &literal)
{
    QString out;
    for (int i = 0; i < literal.size(); ++i) {
        if (literal[i] == QLatin1Char('\\') && i + 1 < literal.size()) {
            const QChar c = literal[++i];
            out += c == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : c;
        } else {
            out += literal[i];
        }
    }
    return out;
}

void TestTranslationCoverage::everyTrCallIsTranslated()
{
    const QString root = QStringLiteral(PAGORA_SOURCE_DIR);
    QFile ts(root + QStringLiteral("/src/i18n/pagora_ru.ts"));
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QSet<QString> translated; // source + '\x1f' + disambiguation
    QXmlStreamReader xml(&ts);
    QString source, comment;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.name() == QLatin1String("comment"))
            comment = xml.readElementText();
        else if (xml.name() == QLatin1String("translation") &&
                 !xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().isEmpty())
            translated.insert(source + QChar(0x1f) + comment);
    }
    QVERIFY(!xml.hasError());
    QVERIFY(translated.size() > 80);

    static const QRegularExpression trCall(
        QStringLiteral(R"re(\btr\(\s*"((?:[^"\\]|\\.)*)"\s*(?:,\s*"((?:[^"\\]|\\.)*)"\s*)?\))re"));
    QStringList missing;
    int calls = 0;
    QDirIterator it(root + QStringLiteral("/src"), {QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        auto matches = trCall.globalMatch(text);
        while (matches.hasNext()) {
            const auto m = matches.next();
            ++calls;
            const QString key = unescape(m.captured(1)) + QChar(0x1f) + unescape(m.captured(2));
            if (!translated.contains(key))
                missing << QStringLiteral("%1: tr(\"%2\", \"%3\")")
                               .arg(QFileInfo(path).fileName(), m.captured(1), m.captured(2));
        }
    }
    QVERIFY2(calls > 60, qPrintable(QString::number(calls)));
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestTranslationCoverage)
#include "tst_translationcoverage.moc"
