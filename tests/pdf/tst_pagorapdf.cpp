#include "PdfTestSupport.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using namespace PdfTestSupport;

class TestPagoraPdf : public QObject
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
        QVERIFY(writeFile(path(QStringLiteral("a.jpg")), fakeJpeg(1700, 2200, 3)));
        QVERIFY(writeFile(path(QStringLiteral("b.jpg")), fakeJpeg(640, 480, 4, 2000, 0xFFC2)));
        QImage page(120, 90, QImage::Format_RGB32);
        page.fill(Qt::darkCyan);
        QVERIFY(page.save(path(QStringLiteral("c.bmp")), "BMP"));
        QVERIFY(writeFile(path(QStringLiteral("bad.jpg")), "not a jpeg at all"));
    }

    void help()
    {
        const ToolResult result = pagoraPdf({QStringLiteral("--help")});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.out.startsWith("Usage: pagora-pdf OUTPUT.pdf IMAGE..."));
        QVERIFY(result.err.isEmpty());
    }

    // JPEG inputs are embedded unchanged, in exactly the documented layout.
    void jpegInputsExact()
    {
        const QString out = path(QStringLiteral("jpegs.pdf"));
        const QStringList inputs{path(QStringLiteral("a.jpg")), path(QStringLiteral("b.jpg")),
                                 path(QStringLiteral("a.jpg"))};
        const ToolResult result = pagoraPdf(QStringList{out} + inputs);
        QVERIFY2(result.exitCode == 0, result.err);
        QVERIFY(result.err.isEmpty() && result.out.isEmpty());

        const PageSpec a{1700, 2200, 3, 1000, 0xFFC0}, b{640, 480, 4, 2000, 0xFFC2};
        QCOMPARE(readFile(out), expectedDocument({a, b, a}));
    }

    void mixedInputs()
    {
        const QString out = path(QStringLiteral("mixed.pdf"));
        const ToolResult result =
            pagoraPdf({out, path(QStringLiteral("c.bmp")), path(QStringLiteral("a.jpg"))});
        QVERIFY2(result.exitCode == 0, result.err);
        const QByteArray doc = readFile(out);
        QVERIFY(doc.contains("/MediaBox [ 0 0 120 90 ]\n"));
        QVERIFY(doc.contains("/MediaBox [ 0 0 1700 2200 ]\n"));
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("output"); // must be left as it was
        const QString out = path(QStringLiteral("out.pdf"));
        const QString a = path(QStringLiteral("a.jpg"));
        QTest::newRow("no arguments") << QStringList() << QString("no output file") << out;
        QTest::newRow("no images") << QStringList{out} << QString("no images") << out;
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--fast"), out, a} << QString("unknown option") << out;
        QTest::newRow("missing image")
            << QStringList{out, a, path(QStringLiteral("nope.bmp"))}
            << QString("Unable to open file '%1'").arg(path(QStringLiteral("nope.bmp"))) << out;
        QTest::newRow("bad jpeg") << QStringList{out, path(QStringLiteral("bad.jpg")), a}
                                  << path(QStringLiteral("bad.jpg")) << out;
        QTest::newRow("output not a pdf")
            << QStringList{path(QStringLiteral("b.jpg")), a} << QString("must end in .pdf")
            << path(QStringLiteral("b.jpg"));
        QTest::newRow("output is an input")
            << QStringList{out, a, out} << QString("both the output") << out;
        QTest::newRow("folder missing")
            << QStringList{path(QStringLiteral("no/dir/x.pdf")), a}
            << QString("Unable to create file") << path(QStringLiteral("no/dir/x.pdf"));
    }

    // Every error: a message on stderr, status 1, and the output file untouched.
    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFETCH(QString, output);
        const QByteArray before = readFile(output);
        const bool existed = QFile::exists(output);

        const ToolResult result = pagoraPdf(arguments);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message.toUtf8()), result.err);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(QFile::exists(output), existed);
        QCOMPARE(readFile(output), before);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.pdf.*")}), QStringList());
    }

    // The output keeps its old contents on error, also when it already existed.
    void existingOutputKept()
    {
        const QString out = path(QStringLiteral("existing.pdf"));
        QVERIFY(writeFile(out, "%PDF-1.5 an older document"));
        const ToolResult result =
            pagoraPdf({out, path(QStringLiteral("a.jpg")), path(QStringLiteral("bad.jpg"))});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(readFile(out), QByteArray("%PDF-1.5 an older document"));
    }
};

QTEST_GUILESS_MAIN(TestPagoraPdf)
#include "tst_pagorapdf.moc"
