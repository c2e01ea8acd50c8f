// The page model and the page pipeline without any window.
#include "pages/PageModel.h"
#include "pages/PagePipeline.h"
#include "pages/Thumbnail.h"
#include "support/TextPage.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <thread>

namespace {

QImage makePage(int w, int h, QRgb ink = qRgb(0, 0, 0))
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(Qt::white);
    for (int y = h / 4; y < h / 2; ++y)
        for (int x = w / 8; x < w - w / 8; x += 2)
            image.setPixel(x, y, ink);
    image.setDotsPerMeterX(3937); // 100 dpi
    image.setDotsPerMeterY(3937);
    return image;
}

} // namespace

class TestPageModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_dest = m_dir.filePath(QStringLiteral("dest"));
        m_temp = m_dir.filePath(QStringLiteral("temp"));
        QVERIFY(QDir().mkpath(m_dest) && QDir().mkpath(m_temp));
    }
    void cleanup()
    {
        QDir(m_dest).removeRecursively();
        QDir(m_temp).removeRecursively();
    }

    void process_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("pageFileWritten");
        QTest::addColumn<bool>("workingCopyWritten");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<bool>("listedFromPageFile");

        QTest::newRow("jpeg page") << "" << true << true << true << false;
        QTest::newRow("blank feeder page") << "blank" << true << true << false << false;
        // Blank, but its page file failed: kept in the list, its only copy not lost.
        QTest::newRow("blank page, page file fails")
            << "blank, no destination" << false << true << true << false;
        QTest::newRow("destination is temp, BMP") << "same file" << true << true << true << true;
        QTest::newRow("page file fails") << "no destination" << false << true << true << false;
        QTest::newRow("working copy fails") << "no temp" << true << false << true << true;
        // Written nowhere: listed all the same, the page held in memory.
        QTest::newRow("both fail") << "no destination, no temp" << false << false << true << false;
    }
    void process()
    {
        QFETCH(QString, setup);
        QFETCH(bool, pageFileWritten);
        QFETCH(bool, workingCopyWritten);
        QFETCH(bool, listed);
        QFETCH(bool, listedFromPageFile);

        PageJob job;
        const bool blank = setup.startsWith("blank");
        job.image = blank ? makePage(200, 300, qRgb(255, 255, 255)) : makePage(200, 300);
        job.blankTest = true;
        const QString dest = setup.contains("no destination") ? m_dir.filePath("gone") : m_dest;
        const QString temp = setup.contains("no temp") ? m_dir.filePath("gone2") : m_temp;
        const QString ext = setup == "same file" ? QStringLiteral("bmp") : QStringLiteral("jpg");
        job.names = FileNaming::pageNames(QStringLiteral("s"), QStringLiteral("P"), ext,
                                          setup == "same file" ? temp : dest, temp);

        const PageResult r = PagePipeline::process(job);
        QCOMPARE(r.pageFileWritten, pageFileWritten);
        QCOMPARE(r.workingCopyWritten, workingCopyWritten);
        QCOMPARE(r.blank, blank);
        QCOMPARE(r.listed, listed);
        QCOMPARE(QFile::exists(job.names.pageFile), pageFileWritten);
        if (!pageFileWritten)
            QVERIFY(!r.pageFileReason.isEmpty());
        if (!listed)
            return;
        QCOMPARE(r.entry.caption, QStringLiteral("P_s.") + ext);
        QCOMPARE(r.entry.pageFile, job.names.pageFile);
        QCOMPARE(r.entry.workingCopy,
                 listedFromPageFile ? job.names.pageFile : job.names.workingCopy);
        const bool held = !pageFileWritten && !workingCopyWritten;
        QCOMPARE(QFile::exists(r.entry.workingCopy), !held);
        QCOMPARE(r.entry.image, held ? job.image : QImage());
        QCOMPARE(r.entry.size, QSize(200, 300));
        QCOMPARE(r.entry.dpi, 100);
        QCOMPARE(r.entry.thumbnail.size(), QSize(100, 75));
    }

    // With the preferences on, the page is turned upright and straightened before
    // anything is written: page file and working copy show it corrected.
    // A page that cannot be measured is written as scanned, with the reason.
    void correctedBeforeWritten_data()
    {
        QTest::addColumn<double>("fed"); // clockwise degrees the page was fed at
        QTest::addColumn<bool>("upright");
        QTest::addColumn<bool>("straighten");
        QTest::addColumn<bool>("crop");   // laid on a dark flatbed, cut to the paper
        QTest::addColumn<bool>("model");  // the orientation model installed
        QTest::addColumn<int>("turns");   // given to the page
        QTest::addColumn<bool>("tilted"); // straightened

        QTest::newRow("off: as scanned") << 90.0 << false << false << false << true << 0 << false;
        QTest::newRow("sideways, turned") << 90.0 << true << false << false << true << 3 << false;
        QTest::newRow("tilted, straightened")
            << -3.0 << false << true << false << true << 0 << true;
        QTest::newRow("both") << 181.0 << true << true << false << true << 2 << true;
        QTest::newRow("on the bed, cut and turned")
            << 90.0 << true << false << true << true << 3 << false;
        QTest::newRow("no model: as scanned")
            << 90.0 << true << true << false << false << 0 << false;
    }
    void correctedBeforeWritten()
    {
        QFETCH(double, fed);
        QFETCH(bool, upright);
        QFETCH(bool, straighten);
        QFETCH(bool, crop);
        QFETCH(bool, model);
        QFETCH(int, turns);
        QFETCH(bool, tilted);

        const QImage drawn = textPage(pageOfWords(), 2480, 3508).image;
        PageJob job;
        job.image = fedTurned(drawn, fed);
        job.turnUpright = upright;
        job.straighten = straighten;
        job.cropToPage = crop;
        const QImage sheet = job.image;
        if (crop) {
            QImage bed(sheet.width() + 400, sheet.height() + 300, QImage::Format_RGB32);
            bed.fill(QColor(60, 60, 64));
            QPainter(&bed).drawImage(200, 150, sheet);
            job.image = bed;
        }
        job.names = FileNaming::pageNames(QStringLiteral("s"), QStringLiteral("P"),
                                          QStringLiteral("jpg"), m_dest, m_temp);
        QTemporaryDir noModel;
        if (!model)
            qputenv("TESSDATA_PREFIX", QFile::encodeName(noModel.path()));
        // A thread of its own: each loads its orientation engine afresh.
        PageResult r;
        std::thread worker([&] { r = PagePipeline::process(job); });
        worker.join();
        qunsetenv("TESSDATA_PREFIX");

        QVERIFY(r.pageFileWritten && r.workingCopyWritten && r.listed);
        QCOMPARE(r.quarterTurns, turns);
        QCOMPARE(r.skewDegrees != 0.0, tilted);
        QCOMPARE(r.correctionReason.isEmpty(), model);
        const QSize size = turns % 2 ? sheet.size().transposed() : sheet.size();
        if (!crop)
            QCOMPARE(r.entry.size, size);
        // The cut keeps a small margin of the bed around the paper.
        QVERIFY(r.entry.size.width() >= size.width() && r.entry.size.height() >= size.height());
        QVERIFY2(r.entry.size.width() <= size.width() + 40 &&
                     r.entry.size.height() <= size.height() + 40,
                 qPrintable(
                     QStringLiteral("%1x%2").arg(r.entry.size.width()).arg(r.entry.size.height())));
        QCOMPARE(QImage(r.entry.pageFile).size(), r.entry.size);
        QCOMPARE(QImage(r.entry.workingCopy).size(), r.entry.size);
    }

    void copiedPage_data()
    {
        QTest::addColumn<QString>("printError");
        QTest::newRow("printed") << "";
        QTest::newRow("printer failed") << "no printer";
    }
    void copiedPage()
    {
        QFETCH(QString, printError);
        PageJob job;
        job.kind = PageJob::Kind::Copy;
        job.image = makePage(50, 60);
        job.names = FileNaming::pageNames("s", "P", "jpg", m_dest, m_temp);
        QSize printed;
        job.print = [&](const QImage &page) {
            printed = page.size();
            return printError;
        };
        const PageResult r = PagePipeline::process(job);
        QCOMPARE(printed, QSize(50, 60));
        QCOMPARE(r.printError, printError);
        QVERIFY(!QFile::exists(job.names.pageFile)); // a copy writes no page file
        // Once the job is with the printing system its working copy goes.
        QCOMPARE(QFile::exists(job.names.workingCopy), !printError.isEmpty());
    }

    // Pages come back in the order they went in, names stay reserved while their
    // files are written, and idle() comes once, after the last.
    void pipelineOrderAndReservations()
    {
        PagePipeline pipeline;
        QStringList done;
        connect(&pipeline, &PagePipeline::pageDone, this,
                [&done](const PageResult &r) { done.append(r.entry.caption); });
        QSignalSpy idle(&pipeline, &PagePipeline::idle);
        QStringList submitted;
        for (int i = 0; i < 6; ++i) {
            PageJob job;
            job.image = makePage(300 - i * 20, 400); // different amounts of work
            job.names = FileNaming::pageNames(QString::number(i), "P", "jpg", m_dest, m_temp);
            submitted.append(job.names.fileName);
            pipeline.submit(job);
            QVERIFY(pipeline.isReserved(job.names.pageFile));
        }
        QCOMPARE(pipeline.pending(), 6);
        QVERIFY(idle.wait(30000));
        QCOMPARE(done, submitted);
        QCOMPARE(pipeline.pending(), 0);
        QCOMPARE(idle.size(), 1);
        QVERIFY(!pipeline.isReserved(QDir(m_dest).filePath(submitted.first())));
    }

    void model()
    {
        PageModel model;
        model.setWorkingCopyFolder(m_temp);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto add = [&](const QString &caption, bool written = true) {
            PageEntry e;
            e.caption = caption;
            e.pageFile = QDir(m_dest).filePath(caption);
            e.workingCopy = QDir(m_temp).filePath(caption + ".bmp");
            e.pageFileWritten = written;
            e.pageFileError = QStringLiteral("Disk full");
            e.thumbnail = QImage(100, 75, QImage::Format_RGB32);
            e.thumbnail.fill(Qt::white);
            if (written)
                QVERIFY(makePage(10, 10).save(e.pageFile, "BMP"));
            QVERIFY(makePage(10, 10).save(e.workingCopy, "BMP"));
            model.noteWorkingCopy(e.workingCopy);
            model.append(e);
        };
        add("a.bmp");
        add("b.bmp");
        add("c.bmp", false);
        QCOMPARE(model.rowCount(), 3);
        // A page without its file shows a mark and says why.
        QVERIFY(model.index(2).data(Qt::DecorationRole).value<QImage>() !=
                model.index(0).data(Qt::DecorationRole).value<QImage>());
        QCOMPARE(model.index(2).data(Qt::ToolTipRole).toString(), QStringLiteral("Disk full"));

        // Renames and the clean-up at close are the page store's test.
        QCOMPARE(model.rename(1, "b.bmp"), PageModel::RenameResult::Unchanged);
        // Only the current caption can be stored through the view.
        QVERIFY(!model.setData(model.index(1), "y.bmp", Qt::EditRole));

        model.deletePages({1});
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(!QFile::exists(QDir(m_dest).filePath("b.bmp")));
        QVERIFY(!QFile::exists(QDir(m_temp).filePath("b.bmp.bmp")));
        QVERIFY(QFile::exists(QDir(m_dest).filePath("a.bmp")));
    }

    // Move up, Move down and drops within the list; the rows' files stay as they are.
    void reorder_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("dropRow");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QList<int>>("newRows");

        QTest::newRow("first down") << "down" << QList<int>{0} << 0 << "bacde" << QList<int>{1};
        QTest::newRow("first up stays") << "up" << QList<int>{0} << 0 << "abcde" << QList<int>{0};
        QTest::newRow("up past a row that stays")
            << "up" << QList<int>{0, 2, 4} << 0 << "acbed" << QList<int>{0, 1, 3};
        QTest::newRow("block down")
            << "down" << QList<int>{1, 2} << 0 << "adbce" << QList<int>{2, 3};
        QTest::newRow("last two down stay")
            << "down" << QList<int>{3, 4} << 0 << "abcde" << QList<int>{3, 4};
        QTest::newRow("drop at the start")
            << "drop" << QList<int>{2, 3} << 0 << "cdabe" << QList<int>{};
        QTest::newRow("drop at the end")
            << "drop" << QList<int>{0, 2} << -1 << "bdeac" << QList<int>{};
        QTest::newRow("drop in between")
            << "drop" << QList<int>{0, 4} << 2 << "baecd" << QList<int>{};
        QTest::newRow("drop from another list")
            << "foreign" << QList<int>{0} << 3 << "abcde" << QList<int>{};
    }
    void reorder()
    {
        QFETCH(QString, op);
        QFETCH(QList<int>, rows);
        QFETCH(int, dropRow);
        QFETCH(QString, order);
        QFETCH(QList<int>, newRows);

        PageModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const QChar c : QStringLiteral("abcde")) {
            PageEntry e;
            e.caption = QString(c) + QStringLiteral(".jpg");
            e.pageFile = QDir(m_dest).filePath(e.caption);
            model.append(e);
        }
        if (op == "up" || op == "down") {
            QCOMPARE(model.shiftRows(rows, op == "up" ? -1 : 1), newRows);
        } else {
            PageModel other;
            QModelIndexList indexes;
            for (int r : rows)
                indexes.append((op == "foreign" ? static_cast<QAbstractItemModel &>(other) : model)
                                   .index(r, 0));
            if (op == "foreign")
                other.append(model.entry(0));
            std::unique_ptr<QMimeData> data((op == "foreign" ? other : model).mimeData(indexes));
            QCOMPARE(model.canDropMimeData(data.get(), Qt::MoveAction, dropRow, 0, {}),
                     op == "drop");
            QCOMPARE(model.dropMimeData(data.get(), Qt::MoveAction, dropRow, 0, {}), op == "drop");
        }
        QString captions;
        for (int r = 0; r < model.rowCount(); ++r) {
            const PageEntry &e = model.entry(r);
            captions += e.caption.at(0);
            QCOMPARE(e.pageFile, QDir(m_dest).filePath(e.caption));
        }
        QCOMPARE(captions, order);
    }

    // Thumbnails are made for the rows shown, off the UI thread, and at most
    // the capacity is kept. Steps: "show a b" (the rows the view shows), "wait"
    // (until the cells are made; checked then), "down"/"drop"/"reverse" on rows
    // while cells are still being made, "zoom w" (a new cell width). Each page is
    // one colour: a cell on the wrong page shows the wrong colour.
    void lazyThumbnails_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("scrolled through, a few kept")
            << 8 << QStringList{"show 0 3", "wait",       "show 4 7", "wait",     "show 12 15",
                                "wait",     "show 26 29", "wait",     "show 0 3", "wait"};
        QTest::newRow("dragged while being made")
            << 12 << QStringList{"show 0 5", "drop 0 1 2 4 to 30", "wait", "show 24 29", "wait"};
        QTest::newRow("reversed while being made")
            << 30 << QStringList{"show 0 9", "reverse", "wait", "reverse", "show 20 29", "wait"};
        QTest::newRow("moved down while being made")
            << 10 << QStringList{"show 2 6", "down 2 3 4 5 6", "wait", "down 0 3", "wait"};
        QTest::newRow("zoomed while being made")
            << 10 << QStringList{"show 0 4", "zoom 160", "wait", "show 5 9", "wait"};
        QTest::newRow("removed while being made")
            << 10 << QStringList{"show 0 6", "remove 1 3 5", "wait", "show 0 9", "wait"};
    }
    void lazyThumbnails()
    {
        QFETCH(int, capacity);
        QFETCH(QStringList, steps);
        const int pages = 30;
        const auto colourOf = [](int page) {
            return qRgb(page * 8, 255 - page * 8, (page * 97) % 256);
        };
        PageModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setThumbnailCapacity(capacity);
        model.showRows(-1, -1);
        QList<PageEntry> entries;
        for (int page = 0; page < pages; ++page) {
            // Listed as recovered pages are: without a thumbnail.
            PageEntry e;
            e.caption = QStringLiteral("%1.jpg").arg(page);
            e.pageFile = QDir(m_dest).filePath(e.caption);
            e.workingCopy = QDir(m_temp).filePath(QStringLiteral("%1.bmp").arg(page));
            QImage picture(400, 300, QImage::Format_RGB888);
            picture.fill(colourOf(page));
            QVERIFY(picture.save(e.workingCopy, "BMP"));
            e.size = picture.size();
            entries.append(e);
        }
        model.append(entries);
        QCOMPARE(model.thumbnailsHeld(), 0); // nothing shown, nothing made

        int first = -1;
        int last = -1;
        for (const QString &step : std::as_const(steps)) {
            QStringList words = step.split(QLatin1Char(' '));
            const QString what = words.takeFirst();
            QList<int> rows;
            for (const QString &word : std::as_const(words))
                rows.append(word.toInt());
            if (what == "show") {
                first = rows.at(0);
                last = rows.at(1);
                model.showRows(first, last);
            } else if (what == "down") {
                model.shiftRows(rows, 1);
            } else if (what == "drop") {
                const int to = rows.takeLast();
                QModelIndexList indexes;
                for (int r : std::as_const(rows))
                    indexes.append(model.index(r));
                std::unique_ptr<QMimeData> data(model.mimeData(indexes));
                QVERIFY(model.dropMimeData(data.get(), Qt::MoveAction, to, 0, {}));
            } else if (what == "reverse") {
                QVERIFY(!model.arrange({}, PageOrder::Arrangement::Reverse).isEmpty());
            } else if (what == "zoom") {
                model.setThumbnailCell(Thumbnail::cellForWidth(rows.at(0)), 1);
            } else if (what == "remove") {
                QSet<quint64> ids;
                for (int r : std::as_const(rows))
                    ids.insert(model.entry(r).id);
                model.removeIds(ids);
            } else {
                QCOMPARE(what, QStringLiteral("wait"));
                QTRY_VERIFY_WITH_TIMEOUT(!model.remakingThumbnails(), 30000);
                QVERIFY2(model.thumbnailsHeld() <= capacity,
                         qPrintable(QString::number(model.thumbnailsHeld())));
                for (int row = 0; row < model.rowCount(); ++row) {
                    const PageEntry &e = model.entry(row);
                    const bool shown = row >= first && row <= last;
                    QVERIFY2(!shown || !e.thumbnail.isNull(), qPrintable(step));
                    const QImage cell = model.index(row).data(Qt::DecorationRole).value<QImage>();
                    QCOMPARE(cell.size(), model.cellPixels());
                    if (e.thumbnail.isNull())
                        continue;
                    const int page = QFileInfo(e.workingCopy).baseName().toInt();
                    QCOMPARE(cell.pixel(cell.width() / 2, cell.height() / 2), colourOf(page));
                }
            }
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_dest;
    QString m_temp;
};

// A GUI application: the test pages are drawn with fonts.
QTEST_MAIN(TestPageModel)
#include "tst_pagemodel.moc"
