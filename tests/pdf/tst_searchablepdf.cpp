#include "PdfTestSupport.h"
#include "support/TextPage.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace PdfTestSupport;

namespace {

QString bare(QString word)
{
    word.remove(QRegularExpression(QStringLiteral("[^\\w]")));
    return word.toLower();
}

} // namespace

class TestSearchablePdf : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    static ToolResult pagoraPdf(const QStringList &arguments)
    {
        return runTool(QStringLiteral(PAGORA_PDF_TOOL), arguments);
    }

private slots:
    void initTestCase()
    {
        if (!haveTool(QStringLiteral("pdftotext")) || !haveTool(QStringLiteral("qpdf")))
            QSKIP("qpdf or poppler-utils not installed");
    }

    // pagora-pdf --ocr finds at least 95% of the words where they were drawn, in
    // both languages; a page without text gets no text layer and is no error.
    void recognised_data()
    {
        QTest::addColumn<QStringList>("texts");
        const QString english = QStringLiteral(
            "Scanning documents into searchable files helps everyone find their papers "
            "again. The quick brown fox jumps over the lazy dog while seven tall ships "
            "wait in the harbour for the morning tide.");
        const QString russian = QStringLiteral(
            "Съешь же ещё этих мягких французских булок, да выпей чаю. Широкая "
            "электрификация южных губерний даст мощный толчок подъёму сельского хозяйства.");
        QTest::newRow("english, blank, russian") << QStringList{english, QString(), russian};
        QTest::newRow("blank only") << QStringList{QString()};
    }

    void recognised()
    {
        QFETCH(QStringList, texts);
        QStringList inputs;
        QList<FoundWord> drawn;
        for (int k = 0; k < texts.size(); ++k) {
            const TextPage page = textPage(texts[k]);
            inputs << path(QStringLiteral("page%1.png").arg(k));
            QVERIFY(page.image.convertToFormat(QImage::Format_Grayscale8).save(inputs.last()));
            for (const DrawnWord &word : page.words)
                drawn.append({k + 1, word.text, word.box});
        }
        const QString out = path(QStringLiteral("searchable.pdf"));
        const ToolResult result = pagoraPdf(
            QStringList{QStringLiteral("--ocr"), QStringLiteral("rus+eng"), out} + inputs);
        QVERIFY2(result.exitCode == 0, result.err);
        const ToolResult check = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), out});
        QVERIFY2(check.exitCode == 0 && !check.out.contains("WARNING"), check.out + check.err);

        const QByteArray doc = readFile(out);
        QCOMPARE(doc.count("/Font << /F1 "), int(texts.size() - texts.count(QString())));
        const QList<FoundWord> found = findWords(out);
        int hits = 0;
        for (const FoundWord &word : std::as_const(drawn)) {
            hits += std::any_of(found.begin(), found.end(), [&](const FoundWord &f) {
                return f.page == word.page && bare(f.text) == bare(word.text) &&
                       covered(word.box, f.box) > 0.3;
            });
        }
        QVERIFY2(hits >= 0.95 * drawn.size(),
                 qPrintable(QStringLiteral("%1 of %2 words").arg(hits).arg(drawn.size())));
    }

    // A language that is missing or whose data is damaged is named, with exit
    // status 2 and no output.
    void languageFaults_data()
    {
        QTest::addColumn<QString>("languages");
        QTest::addColumn<QByteArray>("damagedEng");
        QTest::addColumn<QString>("named");
        QTest::newRow("missing") << QStringLiteral("xyz+eng") << QByteArray() << "xyz";
        QTest::newRow("damaged") << QStringLiteral("eng") << QByteArray(5000, 'x') << "eng";
    }

    void languageFaults()
    {
        QFETCH(QString, languages);
        QFETCH(QByteArray, damagedEng);
        QFETCH(QString, named);
        const QString input = path(QStringLiteral("fault.png"));
        QVERIFY(textPage(QStringLiteral("text")).image.save(input));
        if (!damagedEng.isEmpty()) {
            QVERIFY(QDir().mkpath(path(QStringLiteral("tessdata"))));
            QVERIFY(writeFile(path(QStringLiteral("tessdata/eng.traineddata")), damagedEng));
            qputenv("TESSDATA_PREFIX", QFile::encodeName(path(QStringLiteral("tessdata"))));
        }
        const QString out = path(QStringLiteral("fault.pdf"));
        const ToolResult result = pagoraPdf({QStringLiteral("--ocr"), languages, out, input});
        qunsetenv("TESSDATA_PREFIX");
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(("'" + named + "'").toUtf8()), result.err);
        QVERIFY(!QFile::exists(out));
    }
};

QTEST_MAIN(TestSearchablePdf)
#include "tst_searchablepdf.moc"
