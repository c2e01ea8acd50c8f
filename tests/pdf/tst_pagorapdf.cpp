#include "PdfTestSupport.h"
#include "RealJpeg.h"
#include "support/FullDisk.h"
#include "support/Prerequisite.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace PdfTestSupport;

class TestPagoraPdf : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FullDisk> m_fullDisk;
    const QByteArray m_a = RealJpeg::make(170, 220, 3);
    const QByteArray m_b = RealJpeg::make(64, 48, 4, true);

    QString path(const QString &name) const { return m_dir.filePath(name); }
    static ToolResult pagoraPdf(const QStringList &arguments)
    {
        return runTool(QStringLiteral(PAGORA_PDF_TOOL), arguments);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(writeFile(path(QStringLiteral("a.jpg")), m_a));
        QVERIFY(writeFile(path(QStringLiteral("b.jpg")), m_b));
        QCOMPARE(mkfifo(QFile::encodeName(path(QStringLiteral("fifo.jpg"))).constData(), 0600), 0);
        QVERIFY(writeFile(path(QStringLiteral("half.jpg")), RealJpeg::cutInHalf()));
        QVERIFY(writeFile(path(QStringLiteral("header.jpg")), RealJpeg::headerOnly()));
        QVERIFY(writeFile(path(QStringLiteral("middle.jpg")), RealJpeg::damagedInTheMiddle()));
        m_fullDisk = std::make_unique<FullDisk>(path(QStringLiteral("full")));
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

    // Plain documents need no text recognition: a copy of the program with no
    // recognition module to be found writes them. Asked to straighten, it names what
    // is missing and writes nothing.
    void withoutRecognitionModule()
    {
        const QString lone = path(QStringLiteral("lone/pagora-pdf"));
        QVERIFY(QDir().mkpath(QFileInfo(lone).path()));
        QVERIFY(QFile::copy(QStringLiteral(PAGORA_PDF_TOOL), lone));
        const QString out = path(QStringLiteral("lone/out.pdf"));
        const QString a = path(QStringLiteral("a.jpg"));
        ToolResult result = runTool(lone, {out, a});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(QFile::remove(out));
        result = runTool(lone, {QStringLiteral("--deskew"), out, a});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("pagora-tesseract.so not found"), result.err);
        QVERIFY(!QFile::exists(out));
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

        const PageSpec a{170, 220, 3, int(m_a.size()), 0xFFC0, m_a},
            b{64, 48, 4, int(m_b.size()), 0xFFC2, m_b};
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
        QVERIFY(doc.contains("/MediaBox [ 0 0 170 220 ]\n"));
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
        for (const char *damaged : {"half.jpg", "header.jpg", "middle.jpg"}) {
            const QString file = path(QLatin1String(damaged));
            QTest::newRow(damaged)
                << QStringList{out, a, file} << QString("'%1': ").arg(file) << out;
        }
        QTest::newRow("fifo")
            << QStringList{out, a, path(QStringLiteral("fifo.jpg"))}
            << QString("'%1' is not a regular file").arg(path(QStringLiteral("fifo.jpg"))) << out;
        QTest::newRow("time limit not a number")
            << QStringList{QStringLiteral("--ocr"),
                           QStringLiteral("eng"),
                           QStringLiteral("--ocr-timeout"),
                           QStringLiteral("soon"),
                           out,
                           a}
            << QString("--ocr-timeout needs a number of seconds") << out;
        const QString full = path(QStringLiteral("full/x.pdf"));
        QTest::newRow("disk full") << QStringList{full, a, a, a}
                                   << QString("'%1': No space left on device").arg(full) << full;
        // Archival documents go to their file as they grow: still nothing on failure.
        const QString pdfa = QStringLiteral("--pdfa");
        QTest::newRow("--pdfa missing image")
            << QStringList{pdfa, out, a, path(QStringLiteral("nope.bmp"))}
            << QString("Unable to open file '%1'").arg(path(QStringLiteral("nope.bmp"))) << out;
        QTest::newRow("--pdfa damaged jpeg")
            << QStringList{pdfa, out, a, path(QStringLiteral("middle.jpg"))}
            << QString("'%1': ").arg(path(QStringLiteral("middle.jpg"))) << out;
        QTest::newRow("--pdfa folder missing")
            << QStringList{pdfa, path(QStringLiteral("no/dir/x.pdf")), a}
            << QString("Unable to create file") << path(QStringLiteral("no/dir/x.pdf"));
        QTest::newRow("--pdfa disk full")
            << QStringList{pdfa, full, a, a, a}
            << QString("'%1': No space left on device").arg(full) << full;
    }

    // Every error: a message on stderr, status 1, and the output file untouched.
    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFETCH(QString, output);
        if (output.contains(QLatin1String("/full/")) && !m_fullDisk->isMounted())
            SKIP_OR_FAIL_IN_CI("no small file system can be mounted here (needs root)");
        const QByteArray before = readFile(output);
        const bool existed = QFile::exists(output);

        QElapsedTimer clock;
        clock.start();
        const ToolResult result = pagoraPdf(arguments);
        // A FIFO, for one, is refused at once rather than waited on.
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message.toUtf8()), result.err);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(QFile::exists(output), existed);
        QCOMPARE(readFile(output), before);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.pdf.*")}), QStringList());
    }

    // Names are bytes: an input whose name is not UTF-8 is read, and the output is
    // written under exactly the name given, also when that is not UTF-8. A symbolic
    // link under the output's name is replaced by the document, never followed.
    void exactNames_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<bool>("outputIsLink");
        QTest::addColumn<bool>("archival"); // written as it grows, through another path
        QTest::newRow("Latin-1 names")
            << QByteArray("in\xe9.bmp") << QByteArray("out\xe9.pdf") << false << false;
        QTest::newRow("UTF-8 names")
            << QByteArray("in\xc3\xa9.bmp") << QByteArray("out\xc3\xa9.pdf") << false << false;
        QTest::newRow("output a link to another file")
            << QByteArray("c.bmp") << QByteArray("link.pdf") << true << false;
        QTest::newRow("archival, Latin-1 names")
            << QByteArray("in\xe9.bmp") << QByteArray("out\xe9.pdf") << false << true;
        QTest::newRow("archival, output a link to another file")
            << QByteArray("c.bmp") << QByteArray("link.pdf") << true << true;
    }

    void exactNames()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, output);
        QFETCH(bool, outputIsLink);
        QFETCH(bool, archival);
        const QByteArray folder = QFile::encodeName(m_dir.path()) + '/';
        const QByteArray in = folder + input, out = folder + output;
        const QByteArray page = readFile(path(QStringLiteral("c.bmp")));
        const QByteArray victim = folder + "victim.txt";
        if (input != "c.bmp") {
            QFile file;
            FILE *f = std::fopen(in.constData(), "wb");
            QVERIFY(f && file.open(f, QIODevice::WriteOnly));
            QVERIFY(file.write(page) == page.size());
            file.close();
            std::fclose(f);
        }
        if (outputIsLink) {
            QVERIFY(writeFile(QFile::decodeName(victim), "somebody else's file"));
            QCOMPARE(::symlink(victim.constData(), out.constData()), 0);
        }
        // QProcess passes arguments through Qt's lossy conversion: the shell gets them
        // as escapes and hands the tool the bytes.
        const auto escaped = [](const QByteArray &bytes) {
            QByteArray text;
            for (const char c : bytes)
                text += "\\" + QByteArray::number(uchar(c), 8).rightJustified(3, '0');
            return QString::fromLatin1(text);
        };
        const ToolResult result = runTool(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("exec \"$0\" %3 \"$(printf '%1')\" \"$(printf '%2')\"")
                 .arg(escaped(out), escaped(in), archival ? QStringLiteral("--pdfa") : QString()),
             QStringLiteral(PAGORA_PDF_TOOL)});
        QVERIFY2(result.exitCode == 0 && result.err.isEmpty(), result.err);
        struct stat st = {};
        QCOMPARE(::lstat(out.constData(), &st), 0);
        QVERIFY(S_ISREG(st.st_mode));
        QFile written;
        FILE *f = std::fopen(out.constData(), "rb");
        QVERIFY(f && written.open(f, QIODevice::ReadOnly));
        QVERIFY(written.readAll().startsWith(archival ? "%PDF-1.7" : "%PDF-1.5"));
        written.close();
        std::fclose(f);
        if (outputIsLink)
            QCOMPARE(readFile(QFile::decodeName(victim)), QByteArray("somebody else's file"));
        ::unlink(out.constData());
        if (input != "c.bmp")
            ::unlink(in.constData());
    }

    // --pdfa: an archival document; a JPEG file's page shows exactly its pixels.
    void archival()
    {
        QVERIFY(pagoraPdf({QStringLiteral("--help")}).out.contains("--pdfa"));
        const QString out = path(QStringLiteral("archive.pdf"));
        const ToolResult result =
            pagoraPdf({QStringLiteral("--pdfa"), out, path(QStringLiteral("c.bmp")),
                       path(QStringLiteral("a.jpg"))});
        QVERIFY2(result.exitCode == 0, result.err);
        QVERIFY(result.err.isEmpty() && result.out.isEmpty());
        QVERIFY(PdfInspector::qpdfClean(out));
        const QByteArray doc = readFile(out);
        QVERIFY(doc.startsWith("%PDF-1.7\n"));
        QVERIFY(doc.contains("<pdfaid:part>2</pdfaid:part>"));
        QVERIFY(doc.contains("<rdf:li xml:lang=\"x-default\">archive</rdf:li>"));
        const QString prefix = path(QStringLiteral("archive-image"));
        QCOMPARE(runTool(QStringLiteral("pdfimages"), {QStringLiteral("-j"), QStringLiteral("-f"),
                                                       QStringLiteral("2"), out, prefix})
                     .exitCode,
                 0);
        QCOMPARE(QImage(prefix + QStringLiteral("-000.jpg")),
                 QImage(path(QStringLiteral("a.jpg"))));
    }

    // --rotate-pages --deskew leave pages that need nothing exactly as they were
    // written without them (a JPEG stays the file's own data); without the
    // orientation model the options are an error and nothing is written.
    void correctionsLeaveUprightPagesAlone()
    {
        const QByteArray help = pagoraPdf({QStringLiteral("--help")}).out;
        QVERIFY(help.contains("--rotate-pages") && help.contains("--deskew"));
        const QStringList inputs{path(QStringLiteral("a.jpg")), path(QStringLiteral("c.bmp")),
                                 path(QStringLiteral("b.jpg"))};
        const QString plain = path(QStringLiteral("plain.pdf"));
        const QString corrected = path(QStringLiteral("corrected.pdf"));
        QCOMPARE(pagoraPdf(QStringList{plain} + inputs).exitCode, 0);
        const ToolResult result = pagoraPdf(
            QStringList{QStringLiteral("--rotate-pages"), QStringLiteral("--deskew"), corrected} +
            inputs);
        QVERIFY2(result.exitCode == 0, result.err);
        QCOMPARE(readFile(corrected), readFile(plain));

        const QString noModel = path(QStringLiteral("nomodel"));
        QVERIFY(QDir().mkpath(noModel));
        const QString out = path(QStringLiteral("unturned.pdf"));
        qputenv("TESSDATA_PREFIX", QFile::encodeName(noModel));
        const ToolResult missing =
            pagoraPdf({QStringLiteral("--rotate-pages"), out, inputs.first()});
        qunsetenv("TESSDATA_PREFIX");
        QCOMPARE(missing.exitCode, 1);
        QVERIFY2(missing.err.contains("osd.traineddata"), missing.err);
        QVERIFY(!QFile::exists(out));
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
