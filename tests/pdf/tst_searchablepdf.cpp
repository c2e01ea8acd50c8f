#include "PdfTestSupport.h"
#include "ocr/OcrEngine.h"
#include "support/Prerequisite.h"
#include "support/TextPage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

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
            SKIP_OR_FAIL_IN_CI("qpdf or poppler-utils not installed");
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

    // --rotate-pages --deskew: pages fed turned or tilted are read as well as
    // upright ones (without the options a turned page gives none of its words);
    // they come out upright, and a blank page is left as it was fed.
    void turnedPagesRead_data()
    {
        QTest::addColumn<double>("fed"); // clockwise degrees the page was fed at
        QTest::addColumn<bool>("text");
        QTest::newRow("right") << 90.0 << true;
        QTest::newRow("upside down") << 180.0 << true;
        QTest::newRow("left") << 270.0 << true;
        QTest::newRow("right and a half") << 91.5 << true;
        QTest::newRow("tilted 4.5") << 4.5 << true;
        QTest::newRow("tilted -4.5") << -4.5 << true;
        QTest::newRow("blank, sideways") << 90.0 << false;
    }

    void turnedPagesRead()
    {
        QFETCH(double, fed);
        QFETCH(bool, text);
        // An A4 page at 300 dpi: enough text for a confident answer.
        const TextPage upright = textPage(text ? pageOfWords() : QString(), 2480, 3508);
        const QImage page =
            ::fedTurned(upright.image, fed).convertToFormat(QImage::Format_Grayscale8);
        const QString input = path(QStringLiteral("fed.png"));
        QVERIFY(page.save(input));
        const QString out = path(QStringLiteral("upright.pdf"));
        const ToolResult result =
            pagoraPdf({QStringLiteral("--ocr"), QStringLiteral("eng+rus"),
                       QStringLiteral("--rotate-pages"), QStringLiteral("--deskew"), out, input});
        QVERIFY2(result.exitCode == 0, result.err);

        const QImage &expected = text ? upright.image : page;
        QCOMPARE(PdfInspector::pageSizes(out), QList<QSize>{expected.size()});
        const QList<FoundWord> found = findWords(out);
        int hits = 0;
        // Quarter turns are exact: the words stand where they were drawn.
        const bool exact = std::fmod(fed, 90.0) == 0.0;
        for (const DrawnWord &word : upright.words) {
            hits += std::any_of(found.begin(), found.end(), [&](const FoundWord &f) {
                return bare(f.text) == bare(word.text) &&
                       (!exact || covered(word.box, f.box) > 0.3);
            });
        }
        QVERIFY2(hits >= 0.95 * upright.words.size(),
                 qPrintable(QStringLiteral("%1 of %2 words").arg(hits).arg(upright.words.size())));
        if (!text)
            QVERIFY(found.isEmpty());
    }

    // A page that takes longer than the time limit is written without a text
    // layer and named in a warning; the pages around it keep theirs.
    void slowPageTimeLimit()
    {
        const QString noise = path(QStringLiteral("noise.png"));
        const QString text = path(QStringLiteral("text.png"));
        QVERIFY(noisePage().save(noise));
        QVERIFY(textPage(QStringLiteral("Limited time for every page")).image.save(text));
        const QString out = path(QStringLiteral("limited.pdf"));
        QElapsedTimer clock;
        clock.start();
        const ToolResult result =
            pagoraPdf({QStringLiteral("--ocr"), QStringLiteral("eng"),
                       QStringLiteral("--ocr-timeout"), QStringLiteral("2"), out, text, noise});
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(result.exitCode == 0, result.err);
        QVERIFY2(result.err.contains("warning: '" + noise.toUtf8() + "'") &&
                     !result.err.contains(text.toUtf8()),
                 result.err);
        QCOMPARE(PdfInspector::pageSizes(out),
                 QList<QSize>({QSize(2480, 1200), QSize(2000, 2000)}));
        QCOMPARE(readFile(out).count("/Font << /F1 "), 1);
        const QList<FoundWord> found = findWords(out);
        QVERIFY(std::any_of(found.begin(), found.end(), [](const FoundWord &f) {
            return f.page == 1 && bare(f.text) == QLatin1String("limited");
        }));
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
