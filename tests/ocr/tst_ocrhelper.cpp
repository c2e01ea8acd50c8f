#include "ocr/OcrEngine.h"
#include "ocr/OcrHelperProtocol.h"
#include "ocr/TesseractPage.h"
#include "support/Prerequisite.h"
#include "support/TextPage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

// Words as comparable lines: the text and the box.
QStringList described(const PdfWords &words)
{
    QStringList lines;
    for (const PdfWord &w : words) {
        lines << QStringLiteral("%1 %2,%3 %4x%5")
                     .arg(w.text)
                     .arg(w.box.x())
                     .arg(w.box.y())
                     .arg(w.box.width())
                     .arg(w.box.height());
    }
    return lines;
}

// The page recognised by a Tesseract engine of this process, loaded for it alone.
QStringList reference(const QImage &image, const QString &languages)
{
    tesseract::TessBaseAPI api;
    std::string culprit, found;
    if (!TesseractPage::loadLanguages(api, QFile::encodeName(OcrEngine::dataFolder()),
                                      languages.toStdString(), &culprit))
        return {QStringLiteral("cannot load ") + QString::fromStdString(culprit)};
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    int dpi = qRound(image.dotsPerMeterY() * 0.0254);
    if (dpi < 70 || dpi > 2400)
        dpi = 300;
    if (!TesseractPage::recognise(api, gray.constBits(), gray.width(), gray.height(),
                                  int(gray.bytesPerLine()), dpi, found))
        return {QStringLiteral("failed")};
    QStringList lines;
    std::size_t at = 0;
    while (at < found.size()) {
        qint32 v[5];
        std::memcpy(v, found.data() + at, sizeof v);
        at += sizeof v;
        lines << QStringLiteral("%1 %2,%3 %4x%5")
                     .arg(QString::fromUtf8(found.data() + at, v[4]).trimmed())
                     .arg(v[0])
                     .arg(v[1])
                     .arg(v[2])
                     .arg(v[3]);
        at += std::size_t(v[4]);
    }
    return lines;
}

// What a /proc descriptor entry points at, as the kernel names it ("pipe:[…]").
QString link(const QString &path)
{
    char target[4096];
    const ssize_t n = readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return n > 0 ? QFile::decodeName(QByteArray(target, int(n))) : QString();
}

// Processor time a process has used, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which may hold spaces: state is the first.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1).at(0);
}

// Whether pid is a child of this process, in any of its threads, not yet reaped.
bool isChild(qint64 pid)
{
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        QFile children(QStringLiteral("/proc/self/task/%1/children").arg(task));
        if (children.open(QIODevice::ReadOnly) &&
            children.readAll().split(' ').contains(QByteArray::number(pid)))
            return true;
    }
    return false;
}

} // namespace

class TestOcrHelper : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        if (!OcrEngine::installedLanguages().contains(QStringLiteral("eng")))
            SKIP_OR_FAIL_IN_CI("English recognition data (tesseract-ocr-eng) not installed");
    }
    void cleanup() { qunsetenv("PAGORA_OCR_HELPER"); }

    // Pages recognised one after another by one engine give exactly the words and
    // boxes of an engine loaded for each page alone: the pixels, their rows, the
    // resolution and the text cross over unchanged, and nothing a page leaves in the
    // long-lived engine changes the next. Without a helper the same words come from
    // this process. Light text on a dark page reads as the same text dark on light,
    // and typewriter text as the words typed.
    void sameWordsAsOwnEngine_data()
    {
        QTest::addColumn<QString>("languages");
        QTest::addColumn<bool>("helper");
        QTest::newRow("eng, helper") << QStringLiteral("eng") << true;
        QTest::newRow("rus+eng, helper") << QStringLiteral("rus+eng") << true;
        QTest::newRow("eng, no helper to be found") << QStringLiteral("eng") << false;
    }

    void sameWordsAsOwnEngine()
    {
        QFETCH(QString, languages);
        QFETCH(bool, helper);
        if (!OcrEngine::checkLanguages(languages))
            SKIP_OR_FAIL_IN_CI("Russian recognition data (tesseract-ocr-rus) not installed");
        if (!helper)
            qputenv("PAGORA_OCR_HELPER", QFile::encodeName(m_dir.filePath("missing")));

        const QString text = pageOfWords().left(220);
        QImage odd = textPage(text, 1237, 560).image; // rows padded in memory
        QImage lowRes = textPage(text, 1400, 560).image;
        lowRes.setDotsPerMeterX(5906); // 150 dpi
        lowRes.setDotsPerMeterY(5906);
        QImage blank(600, 400, QImage::Format_RGB32);
        blank.fill(Qt::white);
        // Light text on a dark ground, as on a slide or a banner: Tesseract finds it
        // only on its second, inverted look at a line.
        QImage dark = textPage(text, 1600, 560).image;
        dark.invertPixels();
        // Typewriter text, every letter as wide as the next: still read word by word.
        const TextPage typed = textPage(QStringLiteral("Typed on 12 May: every letter as wide as "
                                                       "the next, invoices paid in full"),
                                        1600, 560, Qt::white, QStringLiteral("DejaVu Sans Mono"));
        const QList<QImage> pages{textPage(text, 1600, 560).image,
                                  blank,
                                  odd,
                                  lowRes,
                                  textPage(text, 1600, 560, QColor(230, 230, 210)).image,
                                  typed.image,
                                  dark};

        OcrEngine engine;
        QString error;
        QVERIFY2(engine.init(languages, &error), qPrintable(error));
        QCOMPARE(engine.helperProcessId() != 0, helper);
        QList<QStringList> texts;
        for (int i = 0; i < pages.size(); ++i) {
            PdfWords words;
            QVERIFY2(engine.recognise(pages[i], words, &error), qPrintable(error));
            QCOMPARE(described(words), reference(pages[i], languages));
            QCOMPARE(words.isEmpty(), i == 1);
            texts.append(QStringList());
            for (const PdfWord &word : std::as_const(words))
                texts.last() << word.text;
        }
        QCOMPARE(texts.last(), texts.first());
        // Russian reads some Latin words as their Cyrillic look-alikes.
        if (languages == QLatin1String("eng")) {
            QStringList drawn;
            for (const DrawnWord &word : typed.words)
                drawn << word.text;
            QCOMPARE(texts.at(pages.indexOf(typed.image)), drawn);
        }
    }

    // The helper holds nothing of the program but its pipes and the standard
    // streams, though the program has files open, some without close-on-exec, and
    // another thread keeps opening more while the helper starts.
    void helperInheritsNothing()
    {
        QFile kept(m_dir.filePath(QStringLiteral("kept")));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        const int inheritable = ::open(QFile::encodeName(m_dir.filePath("plain")).constData(),
                                       O_WRONLY | O_CREAT, 0600);
        QVERIFY(inheritable >= 0);
        std::atomic_bool stop{false};
        std::thread opener([&] {
            const QByteArray path = QFile::encodeName(m_dir.filePath(QStringLiteral("busy")));
            while (!stop) {
                const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0600);
                int pipes[2];
                const bool piped = pipe(pipes) == 0;
                std::this_thread::yield();
                if (piped) {
                    ::close(pipes[0]);
                    ::close(pipes[1]);
                }
                if (fd >= 0)
                    ::close(fd);
            }
        });

        QStringList mine;
        for (int fd = 0; fd <= 2; ++fd)
            mine << link(QStringLiteral("/proc/self/fd/%1").arg(fd));
        OcrEngine engine;
        const bool loaded = engine.init(QStringLiteral("eng"));
        PdfWords words;
        const bool recognised = loaded && engine.recognise(textPage(QStringLiteral("open files "
                                                                                   "stay home"))
                                                               .image,
                                                           words);
        stop = true;
        opener.join();
        ::close(inheritable);
        QVERIFY(recognised);
        QVERIFY(!words.isEmpty());

        const qint64 pid = engine.helperProcessId();
        QVERIFY(pid > 0);
        const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
        const QStringList entries = QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot);
        QVERIFY(!entries.isEmpty());
        int pipes = 0;
        for (const QString &entry : entries) {
            const QString target = link(fds + QLatin1Char('/') + entry);
            if (mine.contains(target))
                continue;
            QVERIFY2(target.startsWith(QLatin1String("pipe:")),
                     qPrintable(entry + " -> " + target));
            ++pipes;
        }
        QVERIFY(pipes <= 2);
    }

    // A cancel, the time limit and a helper that dies each end the page within a
    // second of the event, reap the helper, and leave the engine to recognise the
    // next page as before with a new one. A helper that died between pages costs
    // no page at all.
    void stops_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<bool>("pageFails");
        QTest::addColumn<bool>("timedOut");
        QTest::newRow("cancelled") << QStringLiteral("cancel") << true << false;
        QTest::newRow("time limit") << QStringLiteral("limit") << true << true;
        QTest::newRow("killed during the page") << QStringLiteral("kill busy") << true << false;
        QTest::newRow("killed between pages") << QStringLiteral("kill idle") << false << false;
    }

    void stops()
    {
        QFETCH(QString, event);
        QFETCH(bool, pageFails);
        QFETCH(bool, timedOut);
        OcrEngine engine;
        QVERIFY(engine.init(QStringLiteral("eng")));
        const QImage text = textPage(pageOfWords().left(150), 1600, 500).image;
        PdfWords before;
        QVERIFY(engine.recognise(text, before));
        QVERIFY(!before.isEmpty());
        const qint64 first = engine.helperProcessId();
        QVERIFY(first > 0);

        const bool idle = event == QLatin1String("kill idle");
        engine.setTimeLimit(event == QLatin1String("limit") ? 1 : 0);
        const QImage page = idle ? text : noisePage();
        std::atomic_bool cancel{false}, finished{false};
        bool ok = !pageFails, late = !timedOut;
        QElapsedTimer clock;
        if (idle) {
            QCOMPARE(::kill(pid_t(first), SIGKILL), 0);
            QTRY_COMPARE(processState(first), 'Z');
        }
        const qint64 ticks = cpuTicks(first);
        clock.start();
        std::thread worker([&] {
            PdfWords words;
            ok = engine.recognise(page, words, nullptr, &cancel, &late);
            finished = true;
        });
        qint64 eventAt = 0;
        if (event == QLatin1String("cancel") || event == QLatin1String("kill busy")) {
            // At work on the page: a third of a second of processor time spent.
            QTRY_VERIFY_WITH_TIMEOUT(cpuTicks(first) > ticks + 30 || finished, 20000);
            QVERIFY(!finished);
            eventAt = clock.elapsed();
            if (event == QLatin1String("cancel"))
                cancel = true;
            else
                QCOMPARE(::kill(pid_t(first), SIGKILL), 0);
        } else if (event == QLatin1String("limit")) {
            eventAt = 1000;
        }
        QTRY_VERIFY_WITH_TIMEOUT(finished, 30000);
        const qint64 took = clock.elapsed() - eventAt;
        worker.join();
        QCOMPARE(ok, !pageFails);
        QCOMPARE(late, timedOut);
        if (!idle) {
            qInfo("page ended %lld ms after the event", took);
            QVERIFY2(took < 1000, qPrintable(QString::number(took)));
        }
        QVERIFY(!isChild(first));

        engine.setTimeLimit(OcrEngine::DefaultTimeLimit);
        PdfWords after;
        QVERIFY(engine.recognise(text, after));
        QCOMPARE(described(after), described(before));
        QVERIFY(engine.helperProcessId() > 0);
        QVERIFY(engine.helperProcessId() != first);
    }
};

QTEST_MAIN(TestOcrHelper)
#include "tst_ocrhelper.moc"
