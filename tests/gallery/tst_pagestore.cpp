// The page store without any window: every change journalled, order included;
// commits that never replace a file; turns that put both files back when a step
// fails; the clean-up at close; renames refused with their reason.
#include "files/FileCommit.h"
#include "files/LocalFileName.h"
#include "imaging/ImageFileReader.h"
#include "imaging/JpegCodec.h"
#include "pages/FreeSpace.h"
#include "pages/LeftoverSweep.h"
#include "pages/PageImport.h"
#include "pages/PageImporter.h"
#include "pages/PageJournal.h"
#include "pages/PageOrder.h"
#include "pages/PagePipeline.h"
#include "pages/PageRotation.h"
#include "pages/PageStore.h"
#include "pages/StaleJournals.h"
#include "pdf/PdfExport.h"
#include "scanner/PageImageWriter.h"
#include "support/FileAge.h"
#include "support/FullDisk.h"
#include "support/PdfInspector.h"
#include "support/PdfSamples.h"
#include "support/Prerequisite.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QMimeData>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

namespace {

QImage makePage(int w, int h, QRgb ink)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(Qt::white);
    for (int y = 0; y < h / 3; ++y)
        for (int x = 0; x < w / 2; ++x)
            image.setPixel(x, y, ink);
    image.setDotsPerMeterX(3937);
    image.setDotsPerMeterY(3937);
    return image;
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QStringList captions(const QList<PageEntry> &pages)
{
    QStringList list;
    for (const PageEntry &p : pages)
        list.append(p.caption);
    return list;
}

struct stat statOf(const QString &path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

// A group of this user other than the file's own, or -1. Root may take any.
gid_t secondGroup()
{
    if (::geteuid() == 0) {
        const struct group *daemon = ::getgrnam("daemon");
        return daemon ? daemon->gr_gid : gid_t(-1);
    }
    gid_t groups[64];
    const int n = ::getgroups(64, groups);
    for (int i = 0; i < n; ++i) {
        if (groups[i] != ::getegid())
            return groups[i];
    }
    return gid_t(-1);
}

// A gray TIFF of the given pages, each a different width.
bool writeTiffPages(const QString &path, int pages)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    for (int page = 0; page < pages; ++page) {
        const int w = 30 + page * 10;
        const int h = 40;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(w));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(h));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        QByteArray row(w, char(0));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                row[x] = char((x * 7 + y) & 0xff);
            if (TIFFWriteScanline(tif, row.data(), uint32_t(y)) != 1) {
                TIFFClose(tif);
                return false;
            }
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return true;
}

// An A4 page at dpi (a gradient, so that its JPEG data is more than headers).
QImage a4Page(int dpi)
{
    QImage image(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(x & 0xff, y & 0xff, (x + y) & 0xff);
    }
    return image;
}

// A JPEG whose only resolution is an Exif block, as cameras and phones write it:
// JFIF (if any) gives an aspect ratio only.
QByteArray withExifResolution(QByteArray jpeg, int dpi)
{
    QByteArray tiff("MM\0\x2a\0\0\0\x08", 8);
    const auto u16 = [&tiff](int v) { tiff.append(char(v >> 8)).append(char(v & 0xff)); };
    const auto u32 = [&](quint32 v) { u16(int(v >> 16)), u16(int(v & 0xffff)); };
    u16(3);
    u16(0x011A), u16(5), u32(1), u32(50); // X resolution: the rational at 50
    u16(0x011B), u16(5), u32(1), u32(58);
    u16(0x0128), u16(3), u32(1), u16(2), u16(0); // in inches
    u32(0);
    u32(quint32(dpi)), u32(1), u32(quint32(dpi)), u32(1);
    QByteArray app1("\xff\xe1", 2);
    const int length = 2 + 6 + int(tiff.size());
    app1.append(char(length >> 8)).append(char(length & 0xff));
    app1.append(QByteArray("Exif\0\0", 6)).append(tiff);
    // After the JFIF segment, where cameras put it.
    const int at = jpeg.startsWith("\xff\xd8\xff\xe0")
                       ? 4 + ((uchar(jpeg.at(4)) << 8) | uchar(jpeg.at(5)))
                       : 2;
    return jpeg.insert(at, app1);
}

// A gray TIFF page at dpi through libtiff, the way a scanner's program writes one.
bool writeTiffAt(const QString &path, const QImage &page, int dpi)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    const QImage gray = page.convertToFormat(QImage::Format_Grayscale8);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(gray.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(gray.height()));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(dpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(dpi));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    bool ok = true;
    for (int y = 0; y < gray.height() && ok; ++y)
        ok = TIFFWriteScanline(tif, const_cast<uchar *>(gray.constScanLine(y)), uint32_t(y)) == 1;
    TIFFClose(tif);
    return ok;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    // By the name's exact bytes: some names here are not UTF-8.
    const int fd = LocalFileName::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

} // namespace

class TestPageStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void journalAfterEachChange_data();
    void journalAfterEachChange();
    void recoveredAfterChanges_data();
    void recoveredAfterChanges();
    void commitNeverReplaces_data();
    void commitNeverReplaces();
    void sameSecondPagesKeepTheirCopies_data();
    void sameSecondPagesKeepTheirCopies();
    void slowSettleKeepsOrder_data();
    void slowSettleKeepsOrder();
    void rotationRollback_data();
    void rotationRollback();
    void rotationKeepsModeAndGroup_data();
    void rotationKeepsModeAndGroup();
    void closeCleanUp_data();
    void closeCleanUp();
    void renameRefusal_data();
    void renameRefusal();
    void arrange_data();
    void arrange();
    void addFiles_data();
    void addFiles();
    void usersFilesNeverTouched_data();
    void usersFilesNeverTouched();
    void importChecksFreeSpace_data();
    void importChecksFreeSpace();
    void cancelKeepsWholePages();
    void addedFilesKeepWhatTheyRecord_data();
    void addedFilesKeepWhatTheyRecord();
    void pageJobsFollowTheirPage_data();
    void pageJobsFollowTheirPage();

private:
    // A listed page: page file (format by extension) in dest, BMP working copy in temp.
    PageEntry addPage(PageStore &store, const QString &caption, QRgb ink = qRgb(0, 0, 0));
    // Once the journal writes under way have ended.
    static QString journalOf(PageStore &store);

    QTemporaryDir m_dir;
    QString m_dest;
    QString m_temp;
};

void TestPageStore::init()
{
    QVERIFY(m_dir.isValid());
    m_dest = m_dir.filePath(QStringLiteral("dest"));
    m_temp = m_dir.filePath(QStringLiteral("temp"));
    QVERIFY(QDir().mkpath(m_dest) && QDir().mkpath(m_temp));
}

void TestPageStore::cleanup()
{
    PageRotation::setFailureInjector({});
    PagePipeline::setSettleHookForTest({});
    FileCommit::setRenameFlagsUnsupportedForTest(false);
    QDir(m_dest).removeRecursively();
    QDir(m_temp).removeRecursively();
}

// A turn runs on a worker while the list goes on changing: the page shows busy,
// a command on it waits its turn, another page is not held up, rows that move
// or go meanwhile do not misdirect the result, and close lets the running job
// end whole and starts no other.
void TestPageStore::pageJobsFollowTheirPage_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::newRow("rows moved, then renamed") << "move, rename";
    QTest::newRow("renamed to a name a file has") << "rename taken";
    QTest::newRow("deleted") << "delete";
    QTest::newRow("deleted, a turn waiting") << "delete, turn";
    QTest::newRow("another page deleted") << "delete other";
    QTest::newRow("closed, a second turn waiting") << "close";
}

void TestPageStore::pageJobsFollowTheirPage()
{
    QFETCH(QString, meanwhile);
    PageStore store(m_temp, nullptr);
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY(!addPage(store, QLatin1String(name)).pageFile.isEmpty());
    PageModel *model = store.model();
    const PageEntry b = model->entry(1);
    const QByteArray bBefore = bytesOf(b.pageFile);
    const QString idleText = model->index(1).data(Qt::AccessibleTextRole).toString();

    // The turn of b stops on its worker before its first copy is written, until let go.
    QSemaphore entered;
    QSemaphore letGo;
    std::atomic_bool held{false};
    PageRotation::setFailureInjector([&](PageRotation::Step step, int) {
        if (step == PageRotation::Step::WriteCopy && !held.exchange(true)) {
            entered.release();
            letGo.acquire();
        }
        return false;
    });
    std::unique_ptr<QThread> letter;
    auto release = qScopeGuard([&] {
        letGo.release(10);
        if (letter)
            letter->wait();
    });
    QList<PageStore::JobFailure> failures;
    int batches = 0;
    const PageStore::JobsDone done = [&](const QList<PageStore::JobFailure> &f) {
        failures += f;
        ++batches;
    };
    store.rotateLater({1}, PageRotation::Right, nullptr, done);
    QVERIFY(entered.tryAcquire(1, 30000));
    QVERIFY(model->index(1).data(PageModel::BusyRole).toBool());
    QVERIFY(model->index(1).data(Qt::AccessibleTextRole).toString() != idleText);
    QVERIFY(!model->index(0).data(PageModel::BusyRole).toBool());
    QVERIFY(store.isBusy(1) && !store.isBusy(0));

    int expectedBatches = 1;
    QString bCaption = QStringLiteral("b.jpg");
    if (meanwhile == "move, rename") {
        QCOMPARE(store.move({1}, 1), QList<int>{2});
        QCOMPARE(store.renameLater(2, QStringLiteral("Invoice.jpg"), nullptr, nullptr, done),
                 PageModel::RenameResult::Renamed);
        ++expectedBatches;
        // Its turn comes after the turn.
        QVERIFY(QFile::exists(b.pageFile));
        bCaption = QStringLiteral("Invoice.jpg");
    } else if (meanwhile == "rename taken") {
        QVERIFY(QFile::copy(b.pageFile, QDir(m_dest).filePath("taken.jpg")));
        QCOMPARE(store.renameLater(1, QStringLiteral("taken.jpg"), nullptr, nullptr, done),
                 PageModel::RenameResult::Renamed);
        ++expectedBatches;
    } else if (meanwhile.startsWith("delete,")) {
        store.removeLater({1}, nullptr, done);
        ++expectedBatches;
        // The page is gone when its turn comes: nothing to turn, nothing to report.
        store.rotateLater({1}, PageRotation::Right, nullptr, done);
        ++expectedBatches;
        QCOMPARE(model->rowCount(), 3);
    } else if (meanwhile == "delete") {
        store.removeLater({1}, nullptr, done);
        ++expectedBatches;
        QCOMPARE(model->rowCount(), 3);
    } else if (meanwhile == "delete other") {
        store.removeLater({0}, nullptr, done);
        ++expectedBatches;
        // Not held up by the page being turned.
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 2, 30000);
        QVERIFY(!QFile::exists(QDir(m_dest).filePath("a.jpg")));
        QVERIFY(store.isBusy(0));
        QCOMPARE(bytesOf(b.pageFile), bBefore);
    } else if (meanwhile == "close") {
        store.rotateLater({1}, PageRotation::Right, nullptr, done);
        letter.reset(QThread::create([&letGo] { letGo.release(); }));
        letter->start();
        store.close();
        expectedBatches = 0; // nothing is reported to a window closing
    }
    letGo.release();
    store.waitForJobs();

    QCOMPARE(batches, expectedBatches);
    QStringList listed;
    for (int row = 0; row < model->rowCount(); ++row) {
        listed.append(model->entry(row).caption);
        QVERIFY(!model->index(row).data(PageModel::BusyRole).toBool());
    }
    if (meanwhile.startsWith("delete") && meanwhile != "delete other") {
        QCOMPARE(listed, (QStringList{"a.jpg", "c.jpg"}));
        QVERIFY(failures.isEmpty());
        QCOMPARE(filesIn(m_dest), (QStringList{"a.jpg", "c.jpg"}));
        QVERIFY(!QFile::exists(b.workingCopy));
        return;
    }
    const int row = listed.indexOf(bCaption);
    QVERIFY2(row >= 0, qPrintable(listed.join(' ')));
    const PageEntry turned = model->entry(row);
    // The turn reached b, its files and the journal, whatever row b is on now;
    // in a close the second turn never started.
    QCOMPARE(turned.size, QSize(48, 64));
    QCOMPARE(QImage(turned.pageFile).size(), QSize(48, 64));
    if (meanwhile != "close") // the working copies go at close
        QCOMPARE(QImage(turned.workingCopy).size(), QSize(48, 64));
    for (int other = 0; other < model->rowCount(); ++other) {
        if (other != row)
            QCOMPARE(model->entry(other).size, QSize(64, 48));
    }
    if (meanwhile == "rename taken") {
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures.first().refusal, PageModel::Refusal::Taken);
        QCOMPARE(failures.first().caption, QStringLiteral("b.jpg"));
        QCOMPARE(turned.caption, QStringLiteral("b.jpg"));
    } else {
        QVERIFY(failures.isEmpty());
    }
    if (meanwhile == "close") {
        QVERIFY(store.isClosed());
        return;
    }
    const QList<PageEntry> journalled = PageJournal::read(journalOf(store)).pages;
    QCOMPARE(captions(journalled), listed);
    QCOMPARE(journalled.at(row).size, QSize(48, 64));
    QCOMPARE(journalled.at(row).pageFile, turned.pageFile);
    // Nothing left over from the swaps.
    QStringList expectedFiles = listed;
    if (meanwhile == "rename taken")
        expectedFiles.append(QStringLiteral("taken.jpg"));
    std::sort(expectedFiles.begin(), expectedFiles.end());
    QCOMPARE(filesIn(m_dest), expectedFiles);
}

PageEntry TestPageStore::addPage(PageStore &store, const QString &caption, QRgb ink)
{
    const QImage image = makePage(64, 48, ink);
    PageEntry e;
    e.caption = caption;
    e.pageFile = QDir(m_dest).filePath(caption);
    e.workingCopy = QDir(m_temp).filePath(caption.section('.', 0, 0) + ".bmp");
    e.size = image.size();
    if (!PageImageWriter::save(image, e.pageFile) || !PageImageWriter::save(image, e.workingCopy))
        return {};
    store.noteWorkingCopy(e.workingCopy);
    return store.add(e) ? e : PageEntry();
}

QString TestPageStore::journalOf(PageStore &store)
{
    store.waitForJobs();
    return store.journalPath();
}

// After each kind of change the journal read back says what the list says, in
// the list's order: a crash now would bring back exactly this list.
void TestPageStore::journalAfterEachChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("add") << "add" << QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
    QTest::newRow("move up") << "move up" << QStringList{"a.jpg", "c.jpg", "b.jpg"};
    QTest::newRow("move down") << "move down" << QStringList{"b.jpg", "a.jpg", "c.jpg"};
    QTest::newRow("drop in the list") << "drop" << QStringList{"c.jpg", "a.jpg", "b.jpg"};
    QTest::newRow("delete") << "delete" << QStringList{"a.jpg", "c.jpg"};
    QTest::newRow("rename") << "rename" << QStringList{"a.jpg", "Invoice.jpg", "c.jpg"};
    QTest::newRow("rotate") << "rotate" << QStringList{"a.jpg", "b.jpg", "c.jpg"};
    QTest::newRow("page written ahead by the worker")
        << "ahead" << QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
}

void TestPageStore::journalAfterEachChange()
{
    QFETCH(QString, change);
    QFETCH(QStringList, expected);
    PageStore store(m_temp, nullptr);
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY(!addPage(store, QLatin1String(name)).pageFile.isEmpty());
    PageModel *model = store.model();

    if (change == "add") {
        QVERIFY(!addPage(store, "d.jpg").pageFile.isEmpty());
    } else if (change == "move up") {
        QCOMPARE(store.move({2}, -1), QList<int>{1});
    } else if (change == "move down") {
        QCOMPARE(store.move({0}, 1), QList<int>{1});
    } else if (change == "drop") {
        std::unique_ptr<QMimeData> data(model->mimeData({model->index(2)}));
        QVERIFY(model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, {}));
    } else if (change == "delete") {
        store.remove({1});
    } else if (change == "rename") {
        QCOMPARE(store.rename(1, "Invoice.jpg"), PageModel::RenameResult::Renamed);
    } else if (change == "rotate") {
        QVERIFY(store.rotate(1, PageRotation::Right));
    } else if (change == "ahead") {
        // The worker writes the line; rewrites in between keep it; the store lists it.
        const QImage image = makePage(64, 48, qRgb(9, 9, 9));
        PageEntry d;
        d.caption = "d.jpg";
        d.pageFile = QDir(m_dest).filePath(d.caption);
        d.workingCopy = QDir(m_temp).filePath("d.bmp");
        d.size = image.size();
        QVERIFY(store.journal()->appendAhead(d));
        store.move({0}, 1);
        store.move({1}, -1);
        QVERIFY(store.add(d));
        store.move({0}, 1);
        store.move({1}, -1);
        QCOMPARE(PageJournal::read(journalOf(store)).pages.size(), 4); // not twice
    }
    QStringList listed;
    for (int row = 0; row < model->rowCount(); ++row)
        listed.append(model->entry(row).caption);
    QCOMPARE(listed, expected);
    const QList<PageEntry> journalled = PageJournal::read(journalOf(store)).pages;
    QCOMPARE(captions(journalled), expected);
    if (change == "rotate")
        QCOMPARE(journalled.at(1).size, QSize(48, 64));
    if (change == "rename")
        QCOMPARE(journalled.at(1).pageFile, QDir(m_dest).filePath("Invoice.jpg"));
}

// A session that ends without closing after any run of changes brings back the
// list as it was, in its order, with its names and sizes.
void TestPageStore::recoveredAfterChanges_data()
{
    QTest::addColumn<QStringList>("script"); // one change a step, applied in turn
    QTest::newRow("deletes and moves")
        << QStringList{"delete 1,3", "move 0 1", "move 3 -2", "delete 0", "move 1 -1"};
    QTest::newRow("renames, turns and a reorder")
        << QStringList{"rename 2 Invoice.jpg", "rotate 2", "arrange reverse",
                       "rename 0 x.jpg",       "rotate 4", "arrange interleave"};
    QTest::newRow("pages written ahead among changes")
        << QStringList{"ahead g.jpg",    "delete 0",   "drop 4 0",  "ahead h.jpg", "list g.jpg",
                       "rename 1 r.jpg", "list h.jpg", "move 6 -6", "add i.jpg",   "delete 2,3,4"};
    QTest::newRow("emptied and filled again")
        << QStringList{"delete 0,1,2,3,4,5", "add x.jpg", "add y.jpg", "move 1 -1", "rotate 0"};
    // Compressed working copies (TIFF frames) and a picture that is its own copy.
    QTest::newRow("added files") << QStringList{"import tif", "delete 0", "import png", "move 7 -3",
                                                "rotate 6"};
}

void TestPageStore::recoveredAfterChanges()
{
    QFETCH(QStringList, script);
    PageStore store(m_temp, nullptr);
    PageModel *model = store.model();
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"})
        QVERIFY(!addPage(store, QLatin1String(name)).pageFile.isEmpty());
    QHash<QString, PageEntry> ahead;
    const auto described = [](const QList<PageEntry> &pages) {
        QStringList out;
        for (const PageEntry &e : pages)
            out.append(QStringList{e.caption, e.pageFile, e.workingCopy,
                                   QString::number(e.size.width()),
                                   QString::number(e.size.height())}
                           .join(QLatin1Char('|')));
        return out;
    };
    const auto rows = [](const QString &list) {
        QList<int> out;
        for (const QString &row : list.split(QLatin1Char(',')))
            out.append(row.toInt());
        return out;
    };

    for (const QString &step : std::as_const(script)) {
        const QStringList word = step.split(QLatin1Char(' '));
        const QString &what = word.at(0);
        if (what == "delete") {
            store.remove(rows(word.at(1)));
        } else if (what == "move") {
            QVERIFY(!store.move({word.at(1).toInt()}, word.at(2).toInt()).isEmpty());
        } else if (what == "rename") {
            QCOMPARE(store.rename(word.at(1).toInt(), word.at(2)),
                     PageModel::RenameResult::Renamed);
        } else if (what == "rotate") {
            QVERIFY(store.rotate(word.at(1).toInt(), PageRotation::Right));
        } else if (what == "arrange") {
            QList<int> all;
            for (int row = 0; row < model->rowCount(); ++row)
                all.append(row);
            QVERIFY(!store
                         .arrange(all, word.at(1) == "reverse" ? PageOrder::Arrangement::Reverse
                                                               : PageOrder::Arrangement::Interleave)
                         .isEmpty());
        } else if (what == "drop") {
            std::unique_ptr<QMimeData> data(model->mimeData({model->index(word.at(1).toInt())}));
            QVERIFY(model->dropMimeData(data.get(), Qt::MoveAction, word.at(2).toInt(), 0, {}));
        } else if (what == "add") {
            QVERIFY(!addPage(store, word.at(1)).pageFile.isEmpty());
        } else if (what == "import") {
            const QString path = m_dir.filePath(QStringLiteral("added.") + word.at(1));
            QVERIFY(word.at(1) == "tif" ? writeTiffPages(path, 2)
                                        : makePage(64, 48, qRgb(20, 90, 200)).save(path));
            const PageImport::Result imported = PageImport::importFile(path, m_temp);
            QVERIFY2(imported.error.isEmpty(), qPrintable(imported.error));
            for (const PageEntry &page : imported.pages) {
                store.noteWorkingCopy(page.workingCopy);
                QVERIFY(store.add(page));
            }
        } else if (what == "ahead") { // the worker's line, before the page is listed
            PageEntry e;
            e.caption = word.at(1);
            e.pageFile = QDir(m_dest).filePath(e.caption);
            e.workingCopy = QDir(m_temp).filePath(e.caption.section('.', 0, 0) + ".bmp");
            e.size = QSize(64, 48);
            QVERIFY(store.journal()->appendAhead(e));
            ahead.insert(e.caption, e);
        } else if (what == "list") {
            QVERIFY(store.add(ahead.take(word.at(1))));
        } else {
            QFAIL(qPrintable(step));
        }
    }
    // The journal is written off this thread, after the changes.
    store.waitForJobs();
    store.journal()->waitForCompaction();
    QList<PageEntry> expected = model->snapshot();
    // Pages written ahead come back too, after the listed ones.
    QStringList aheadNames = ahead.keys();
    aheadNames.sort();
    for (const QString &name : std::as_const(aheadNames))
        expected.append(ahead.value(name));

    // The journal as a session killed now leaves it: its lock gone with its program.
    const QString ended = m_dir.filePath(QStringLiteral("ended"));
    QVERIFY(QDir().mkpath(ended));
    const QString copy = QDir(ended).filePath(QFileInfo(store.journalPath()).fileName());
    QVERIFY(QFile::copy(store.journalPath(), copy));
    StaleJournals stale(ended);
    QCOMPARE(stale.damagedLines(), 0);
    QCOMPARE(described(stale.pages()), described(expected));
    stale.remove();
    if (script.first().startsWith("import")) {
        // Listed again, every page is there: compressed copies are read as well.
        QVERIFY(QFile::copy(store.journalPath(), copy));
        PageStore again(ended, nullptr);
        QCOMPARE(again.claimStale().pages, int(expected.size()));
        QSignalSpy relisted(&again, &PageStore::staleRelisted);
        again.relistStale();
        QVERIFY(relisted.wait());
        QCOMPARE(described(again.model()->snapshot()), described(expected));
    }
    QDir(ended).removeRecursively();
}

// A file created under a page's name between naming and commit survives; the
// page takes the next free suffix, its working copy and caption with it.
void TestPageStore::commitNeverReplaces_data()
{
    QTest::addColumn<QStringList>("takenMeanwhile"); // in dest or temp
    QTest::addColumn<bool>("withoutRenameFlags");    // link() and unlink() instead
    QTest::addColumn<QString>("pageFile");
    QTest::addColumn<QString>("workingCopy");
    QTest::newRow("page file name taken") << QStringList{"dest/P_s.jpg"} << false << "P_s_1.jpg"
                                          << "P_s_1.bmp";
    QTest::newRow("page file name taken, file system without the flag")
        << QStringList{"dest/P_s.jpg"} << true << "P_s_1.jpg"
        << "P_s_1.bmp";
    QTest::newRow("page file and the next name taken")
        << QStringList{"dest/P_s.jpg", "dest/P_s_1.jpg"} << false << "P_s_2.jpg"
        << "P_s_2.bmp";
    QTest::newRow("working copy name taken") << QStringList{"temp/P_s.bmp"} << false << "P_s.jpg"
                                             << "P_s_1.bmp";
    QTest::newRow("working copy name taken, file system without the flag")
        << QStringList{"temp/P_s.bmp"} << true << "P_s.jpg"
        << "P_s_1.bmp";
}

void TestPageStore::commitNeverReplaces()
{
    QFETCH(QStringList, takenMeanwhile);
    QFETCH(bool, withoutRenameFlags);
    QFETCH(QString, pageFile);
    QFETCH(QString, workingCopy);
    FileCommit::setRenameFlagsUnsupportedForTest(withoutRenameFlags);
    PageStore store(m_temp, nullptr);
    PagePipeline pipeline;
    pipeline.setStore(&store);
    connect(&pipeline, &PagePipeline::pageDone, &store,
            [&store](const PageResult &r) { QVERIFY(r.listed && store.add(r.entry)); });
    QSignalSpy idle(&pipeline, &PagePipeline::idle);

    PageJob job;
    job.image = makePage(64, 48, qRgb(200, 0, 0));
    job.names = FileNaming::pageNames("s", "P", "jpg", m_dest, m_temp);
    // Named, then somebody else's file takes the name before the page is written.
    pipeline.submit(job);
    QVERIFY(store.isReserved(job.names.pageFile) && store.isReserved(job.names.workingCopy));
    for (const QString &taken : takenMeanwhile) {
        QFile f(m_dir.filePath(taken));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("somebody else's");
    }
    QVERIFY(idle.wait());
    for (const QString &taken : takenMeanwhile)
        QCOMPARE(bytesOf(m_dir.filePath(taken)), QByteArray("somebody else's"));
    QCOMPARE(store.model()->rowCount(), 1);
    const PageEntry &e = store.model()->entry(0);
    QCOMPARE(e.caption, pageFile);
    QCOMPARE(e.pageFile, QDir(m_dest).filePath(pageFile));
    QCOMPARE(e.workingCopy, QDir(m_temp).filePath(workingCopy));
    QCOMPARE(QImage(e.pageFile).size(), QSize(64, 48));
    QCOMPARE(QImage(e.workingCopy).pixel(0, 0), qRgb(200, 0, 0));
    // Journalled under its final names; nothing reserved once listed.
    QCOMPARE(PageJournal::read(journalOf(store)).pages.first().pageFile, e.pageFile);
    QVERIFY(!pipeline.isReserved(e.pageFile) && !pipeline.isReserved(job.names.pageFile));
    // No half-written or hidden file left behind.
    QCOMPARE(filesIn(m_dest).size(), takenMeanwhile.filter("dest/").size() + 1);
}

// Two pages of one second whose page files differ (format, destination) would
// share one working copy name; each keeps its own copy.
void TestPageStore::sameSecondPagesKeepTheirCopies_data()
{
    QTest::addColumn<QString>("secondExtension");
    QTest::addColumn<QString>("secondDestination");
    QTest::newRow("different formats") << "tiff"
                                       << "dest";
    QTest::newRow("different destinations") << "jpg"
                                            << "other";
}

void TestPageStore::sameSecondPagesKeepTheirCopies()
{
    QFETCH(QString, secondExtension);
    QFETCH(QString, secondDestination);
    const QString other = m_dir.filePath(secondDestination);
    QVERIFY(QDir().mkpath(other));
    PageStore store(m_temp, nullptr);
    PagePipeline pipeline;
    pipeline.setStore(&store);
    connect(&pipeline, &PagePipeline::pageDone, &store,
            [&store](const PageResult &r) { store.add(r.entry); });
    QSignalSpy idle(&pipeline, &PagePipeline::idle);
    PageJob first;
    first.image = makePage(64, 48, qRgb(200, 0, 0));
    first.names = FileNaming::pageNames("s", "P", "jpg", m_dest, m_temp);
    PageJob second;
    second.image = makePage(64, 48, qRgb(0, 0, 200));
    second.names = FileNaming::pageNames("s", "P", secondExtension, other, m_temp);
    QCOMPARE(second.names.workingCopy, first.names.workingCopy); // the fault's set-up
    pipeline.submit(first);
    pipeline.submit(second);
    QVERIFY(idle.wait());
    QCOMPARE(store.model()->rowCount(), 2);
    const PageEntry &a = store.model()->entry(0);
    const PageEntry &b = store.model()->entry(1);
    QVERIFY(a.workingCopy != b.workingCopy);
    QCOMPARE(QImage(a.workingCopy).pixel(0, 0), qRgb(200, 0, 0));
    QCOMPARE(QImage(b.workingCopy).pixel(0, 0), qRgb(0, 0, 200));
    QCOMPARE(filesIn(m_temp).filter(".bmp").size(), 2);
    QVERIFY(QFile::exists(a.pageFile) && QFile::exists(b.pageFile));
}

// One page of a same-second batch waits for the disk while the next ones are
// written: every page is still reported in submission order, only once its
// files and journal line are on the disk, and the names of the pages behind it
// stay reserved, so a clash on the waiting page never takes one of theirs.
void TestPageStore::slowSettleKeepsOrder_data()
{
    QTest::addColumn<int>("held");
    QTest::addColumn<bool>("nameTakenMeanwhile");
    QTest::addColumn<QStringList>("captions");
    const QStringList inOrder{"P_s.jpg", "P_s_1.jpg", "P_s_2.jpg"};
    QTest::newRow("first page slow") << 0 << false << inOrder;
    QTest::newRow("middle page slow") << 1 << false << inOrder;
    QTest::newRow("first page slow, its name taken meanwhile")
        << 0 << true << QStringList{"P_s_3.jpg", "P_s_1.jpg", "P_s_2.jpg"};
    QTest::newRow("middle page slow, its name taken meanwhile")
        << 1 << true << QStringList{"P_s.jpg", "P_s_3.jpg", "P_s_2.jpg"};
}

void TestPageStore::slowSettleKeepsOrder()
{
    QFETCH(int, held);
    QFETCH(bool, nameTakenMeanwhile);
    QFETCH(QStringList, captions);
    QList<PageJob> jobs;
    for (const QString suffix : {"s", "s_1", "s_2"}) {
        PageJob job;
        job.image = makePage(64, 48, qRgb(40 * jobs.size(), 0, 0));
        job.names = FileNaming::pageNames(suffix, "P", "jpg", m_dest, m_temp);
        jobs.append(job);
    }
    QSemaphore entered;
    QSemaphore go;
    const QString heldFile = jobs.at(held).names.pageFile;
    PagePipeline::setSettleHookForTest([&](const PageJob &job) {
        if (job.names.pageFile == heldFile) {
            entered.release();
            go.acquire();
        }
    });
    PageStore store(m_temp, nullptr);
    PagePipeline pipeline;
    // Before the pipeline is gone, even after a failure: never leave a worker stuck.
    const auto letGo = qScopeGuard([&go] { go.release(); });
    pipeline.setStore(&store);
    QStringList reported;
    QStringList unsafe; // reported before its files and journal line were there
    connect(&pipeline, &PagePipeline::pageDone, &store, [&](const PageResult &r) {
        const PageEntry &e = r.entry;
        reported.append(e.caption);
        const QList<PageEntry> journalled = PageJournal::read(journalOf(store)).pages;
        const bool inJournal =
            std::any_of(journalled.begin(), journalled.end(),
                        [&e](const PageEntry &j) { return j.pageFile == e.pageFile; });
        if (!r.listed || !QFile::exists(e.pageFile) || !QFile::exists(e.workingCopy) || !inJournal)
            unsafe.append(e.caption);
        store.add(e);
    });
    QSignalSpy idle(&pipeline, &PagePipeline::idle);
    for (const PageJob &job : jobs)
        pipeline.submit(job);

    QTRY_COMPARE(entered.available(), 1);
    QTRY_COMPARE(reported.size(), held); // the pages before it, and none after
    for (int i = held; i < jobs.size(); ++i)
        QVERIFY(pipeline.isReserved(jobs.at(i).names.pageFile));
    if (nameTakenMeanwhile) {
        QFile f(heldFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("somebody else's");
    }
    go.release();
    QVERIFY(idle.count() == 1 || idle.wait());
    QCOMPARE(reported, captions);
    QCOMPARE(unsafe, QStringList());
    if (nameTakenMeanwhile)
        QCOMPARE(bytesOf(heldFile), QByteArray("somebody else's"));
    // No hidden file left behind by either worker.
    QCOMPARE(filesIn(m_dest).size(), jobs.size() + int(nameTakenMeanwhile));
    QCOMPARE(filesIn(m_temp).filter(".bmp").size(), jobs.size());
    QCOMPARE(filesIn(m_temp).filter(".part").size(), 0);
}

// A turn (by quarter turns, or by degrees to straighten the page) that fails at
// any step leaves the page file and the working copy as they were, with or
// without the file system's exchange.
void TestPageStore::rotationRollback_data()
{
    QTest::addColumn<bool>("straighten");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("file"); // 0 page file, 1 working copy
    QTest::addColumn<bool>("withoutRenameFlags");
    QTest::addColumn<bool>("unreadableCopy");
    const QList<std::pair<const char *, PageRotation::Step>> steps{
        {"writing", PageRotation::Step::WriteCopy},
        {"attributes", PageRotation::Step::Attributes},
        {"syncing", PageRotation::Step::SyncCopy},
        {"swapping", PageRotation::Step::Swap}};
    for (bool straighten : {false, true}) {
        for (bool without : {false, true}) {
            for (const auto &[name, step] : steps) {
                for (int file : {0, 1})
                    QTest::addRow("%s%s %s%s", straighten ? "straighten, " : "", name,
                                  file == 0 ? "page file" : "working copy",
                                  without ? ", no exchange" : "")
                        << straighten << int(step) << file << without << false;
            }
        }
        QTest::addRow("%sworking copy unreadable", straighten ? "straighten, " : "")
            << straighten << -1 << 1 << false << true;
    }
}

void TestPageStore::rotationRollback()
{
    QFETCH(bool, straighten);
    QFETCH(int, step);
    QFETCH(int, file);
    QFETCH(bool, withoutRenameFlags);
    QFETCH(bool, unreadableCopy);
    FileCommit::setRenameFlagsUnsupportedForTest(withoutRenameFlags);
    PageStore store(m_temp, nullptr);
    const PageEntry e = addPage(store, "x.jpg");
    QVERIFY(!e.pageFile.isEmpty());
    if (unreadableCopy) {
        QFile copy(e.workingCopy);
        QVERIFY(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
        copy.write("BM not a bitmap");
    }
    const QByteArray page = bytesOf(e.pageFile);
    const QByteArray copy = bytesOf(e.workingCopy);
    const QStringList destBefore = filesIn(m_dest);
    const QStringList tempBefore = filesIn(m_temp);
    const QList<PageEntry> journalBefore = PageJournal::read(journalOf(store)).pages;
    int calls = 0;
    PageRotation::setFailureInjector([&](PageRotation::Step s, int index) {
        ++calls;
        return int(s) == step && index == file;
    });

    QString error;
    QVERIFY(straighten ? !store.straighten(0, 2.0, &error)
                       : !store.rotate(0, PageRotation::Right, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(file == 0 ? e.pageFile : e.workingCopy)),
             qPrintable(error));
    QVERIFY(calls > 0);
    QCOMPARE(bytesOf(e.pageFile), page);
    QCOMPARE(bytesOf(e.workingCopy), copy);
    QCOMPARE(filesIn(m_dest), destBefore);
    QCOMPARE(filesIn(m_temp), tempBefore);
    QCOMPARE(store.model()->entry(0).size, QSize(64, 48));
    QCOMPARE(PageJournal::read(journalOf(store)).pages.first().size, journalBefore.first().size);
}

// The turned file is the user's file still: its mode and group stay.
void TestPageStore::rotationKeepsModeAndGroup_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("otherGroup");
    QTest::addColumn<bool>("withoutRenameFlags");
    QTest::addColumn<bool>("otherOwner"); // only root may give a file away
    QTest::newRow("mode 0600") << 0600 << false << false << false;
    QTest::newRow("mode 0640, second group") << 0640 << true << false << false;
    QTest::newRow("mode 0600, second group, no exchange") << 0600 << true << true << false;
    QTest::newRow("another owner") << 0644 << true << false << true;
}

void TestPageStore::rotationKeepsModeAndGroup()
{
    QFETCH(int, mode);
    QFETCH(bool, otherGroup);
    QFETCH(bool, withoutRenameFlags);
    QFETCH(bool, otherOwner);
    const gid_t group = otherGroup ? secondGroup() : ::getegid();
    if (group == gid_t(-1))
        QSKIP("this user has no second group");
    const struct passwd *daemon = otherOwner ? ::getpwnam("daemon") : nullptr;
    if (otherOwner && (::geteuid() != 0 || !daemon))
        SKIP_OR_FAIL_IN_CI("only root may give a file to another owner");
    const uid_t owner = daemon ? daemon->pw_uid : ::geteuid();
    FileCommit::setRenameFlagsUnsupportedForTest(withoutRenameFlags);
    PageStore store(m_temp, nullptr);
    const PageEntry e = addPage(store, "x.tiff");
    QVERIFY(!e.pageFile.isEmpty());
    const QByteArray path = QFile::encodeName(e.pageFile);
    QCOMPARE(::chown(path.constData(), owner, group), 0);
    QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
    const QByteArray before = bytesOf(e.pageFile);

    QString error;
    QVERIFY2(store.rotate(0, PageRotation::Right, &error), qPrintable(error));
    QVERIFY(bytesOf(e.pageFile) != before);
    const struct stat st = statOf(e.pageFile);
    QCOMPARE(int(st.st_mode & 07777), mode);
    QCOMPARE(st.st_gid, group);
    QCOMPARE(st.st_uid, owner);
    QCOMPARE(filesIn(m_dest), QStringList{"x.tiff"});
}

// At close this run's working copies go, except those that are all that is
// left of a page; those are returned to be named. Nothing is listed afterwards.
void TestPageStore::closeCleanUp_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("kept");
    QTest::newRow("page file on disk") << "plain" << false;
    QTest::newRow("page file never written") << "not written" << true;
    QTest::newRow("page file removed outside") << "removed outside" << true;
    QTest::newRow("page folder removed outside") << "folder removed" << true;
    QTest::newRow("working copy is the page file") << "same file" << false;
}

void TestPageStore::closeCleanUp()
{
    QFETCH(QString, kind);
    QFETCH(bool, kept);
    PageStore store(m_temp, nullptr);
    const QString unlisted = QDir(m_temp).filePath("blank.bmp"); // not noted: not this run's
    QVERIFY(makePage(8, 8, qRgb(1, 1, 1)).save(unlisted, "BMP"));
    PageEntry e;
    if (kind == "same file") {
        e.caption = "x.bmp";
        e.pageFile = e.workingCopy = QDir(m_temp).filePath(e.caption);
        QVERIFY(PageImageWriter::save(makePage(64, 48, 0), e.pageFile));
        QVERIFY(store.add(e));
    } else {
        e = addPage(store, "x.jpg");
        QVERIFY(!e.pageFile.isEmpty());
    }
    if (kind == "not written") {
        store.remove({0});
        QVERIFY(PageImageWriter::save(makePage(64, 48, 0), e.workingCopy));
        e.pageFileWritten = false;
        QFile::remove(e.pageFile);
        QVERIFY(store.add(e));
    }
    if (kind == "removed outside")
        QVERIFY(QFile::remove(e.pageFile));
    if (kind == "folder removed")
        QVERIFY(QDir(m_dest).removeRecursively());
    QVERIFY(QFile::exists(store.journalPath()));
    const QString journal = store.journalPath();

    const QStringList returned = store.close();
    QCOMPARE(returned, kept ? QStringList{e.workingCopy} : QStringList());
    QCOMPARE(QFile::exists(e.workingCopy), kept || kind == "same file");
    QVERIFY(QFile::exists(unlisted));
    if (kind == "plain")
        QVERIFY(QFile::exists(e.pageFile));
    QVERIFY(!QFile::exists(journal));
    // Closed: a page arriving now is refused, and nothing is journalled again.
    PageEntry late = e;
    late.caption = "late.jpg";
    QVERIFY(!store.add(late));
    QCOMPARE(store.model()->rowCount(), 1);
    QVERIFY(!store.journal()->appendAhead(late));
    QCOMPARE(filesIn(m_temp).filter("journal"), QStringList());
    QCOMPARE(store.close(), QStringList()); // once only
}

// A rename refused says why; nothing changes on the disk.
void TestPageStore::renameRefusal_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("refusal");
    using R = PageModel::Refusal;
    QTest::newRow("renamed") << "Invoice.jpg"
                             << "" << int(R::None);
    QTest::newRow("empty") << ""
                           << "" << int(R::Blank);
    QTest::newRow("blanks only") << "   "
                                 << "" << int(R::Blank);
    QTest::newRow("name exists") << "other.jpg"
                                 << "exists" << int(R::Taken);
    QTest::newRow("name of a page being written") << "P_s.jpg"
                                                  << "reserved" << int(R::Taken);
    QTest::newRow("folder separator") << "sub/x.jpg"
                                      << "subfolder" << int(R::Separator);
    QTest::newRow("file gone") << "Invoice.jpg"
                               << "gone" << int(R::Gone);
    QTest::newRow("nothing before the extension") << ".jpg"
                                                  << "" << int(R::Hidden);
    QTest::newRow("hidden name") << ".Invoice.jpg"
                                 << "" << int(R::Hidden);
    QTest::newRow("folder not writable") << "Invoice.jpg"
                                         << "read-only" << int(R::System);
}

void TestPageStore::renameRefusal()
{
    QFETCH(QString, newName);
    QFETCH(QString, setup);
    QFETCH(int, refusal);
    PageStore store(m_temp, nullptr);
    const PageEntry e = addPage(store, "x.jpg");
    QVERIFY(!e.pageFile.isEmpty());
    const QString target = QDir(m_dest).filePath(newName);
    if (setup == "exists")
        QVERIFY(QFile::copy(e.pageFile, target));
    if (setup == "reserved")
        store.reserve(target);
    if (setup == "subfolder")
        QVERIFY(QDir(m_dest).mkdir("sub"));
    if (setup == "gone")
        QVERIFY(QFile::remove(e.pageFile));
    if (setup == "read-only") {
        if (::geteuid() == 0)
            QSKIP("root writes into any folder");
        QVERIFY(QFile::setPermissions(m_dest, QFile::ReadOwner | QFile::ExeOwner));
    }
    const QStringList before = filesIn(m_dest);

    PageModel::Refusal why = PageModel::Refusal::System;
    QString systemReason;
    const PageModel::RenameResult result = store.rename(0, newName, &why, &systemReason);
    QFile::setPermissions(m_dest, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(int(why), refusal);
    if (refusal == int(PageModel::Refusal::None)) {
        QCOMPARE(result, PageModel::RenameResult::Renamed);
        QCOMPARE(filesIn(m_dest), QStringList{newName});
        return;
    }
    QCOMPARE(result, PageModel::RenameResult::Refused);
    QCOMPARE(store.model()->entry(0).caption, QStringLiteral("x.jpg"));
    QCOMPARE(filesIn(m_dest), before);
    if (setup == "read-only")
        QVERIFY2(systemReason.contains("ermission"), qPrintable(systemReason));
}

// Interleave and reverse on the selection (the whole list when fewer than two
// pages are selected): the list and the journal read back in the new order,
// every page file under its own name, the selection following its pages.
void TestPageStore::arrange_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("arrangement");
    QTest::addColumn<QString>("expected"); // letters in list order after the command
    const int interleave = int(PageOrder::Arrangement::Interleave);
    const int turned = int(PageOrder::Arrangement::InterleaveSecondReversed);
    const int reverse = int(PageOrder::Arrangement::Reverse);
    QTest::newRow("interleave all, even") << 6 << QList<int>{} << interleave << "adbecf";
    QTest::newRow("interleave all, odd") << 5 << QList<int>{} << interleave << "adbec";
    QTest::newRow("turned stack, even") << 6 << QList<int>{} << turned << "afbecd";
    QTest::newRow("turned stack, odd") << 5 << QList<int>{} << turned << "aebdc";
    QTest::newRow("reverse all") << 4 << QList<int>{} << reverse << "dcba";
    QTest::newRow("one selected means all") << 4 << QList<int>{2} << reverse << "dcba";
    QTest::newRow("contiguous selection") << 6 << QList<int>{1, 2, 3, 4} << turned << "abecdf";
    // Selected pages keep the places they hold; the others stay where they are.
    QTest::newRow("scattered selection") << 6 << QList<int>{5, 0, 2, 3} << reverse << "fbdcea";
    QTest::newRow("out-of-range rows ignored") << 4 << QList<int>{0, 1, 9, -1} << reverse << "bacd";
    QTest::newRow("nothing changes") << 2 << QList<int>{} << interleave << "ab";
    QTest::newRow("single page") << 1 << QList<int>{} << reverse << "a";
    QTest::newRow("empty list") << 0 << QList<int>{} << reverse << "";
}

void TestPageStore::arrange()
{
    QFETCH(int, pages);
    QFETCH(QList<int>, selected);
    QFETCH(int, arrangement);
    QFETCH(QString, expected);
    PageStore store(m_temp, nullptr);
    PageModel *model = store.model();
    for (int i = 0; i < pages; ++i)
        QVERIFY(!addPage(store, QString(QChar('a' + i)) + ".jpg", qRgb(i * 20, 0, 0))
                     .pageFile.isEmpty());
    const QStringList filesBefore = filesIn(m_dest);
    // The view's selection and current entry are persistent indexes: they follow.
    QPersistentModelIndex tracked = pages > 0 ? model->index(0) : QModelIndex();
    QSignalSpy layout(model, &QAbstractItemModel::layoutChanged);

    store.arrange(selected, PageOrder::Arrangement(arrangement));

    QString listed;
    for (int row = 0; row < model->rowCount(); ++row) {
        const PageEntry &e = model->entry(row);
        listed += e.caption.at(0);
        QCOMPARE(e.pageFile, QDir(m_dest).filePath(e.caption)); // names kept
    }
    QCOMPARE(listed, expected);
    QCOMPARE(filesIn(m_dest), filesBefore);
    if (pages > 0) {
        QCOMPARE(tracked.data().toString(), QStringLiteral("a.jpg"));
        QCOMPARE(tracked.row(), expected.indexOf('a'));
        QString journalled;
        for (const PageEntry &e : PageJournal::read(journalOf(store)).pages)
            journalled += e.caption.at(0);
        QCOMPARE(journalled, expected);
    }
    const QString unchanged =
        expected.isEmpty() ? QString() : QStringLiteral("abcdefghij").left(pages);
    QCOMPARE(layout.size(), expected == unchanged ? 0 : 1);
}

// Files already on disk join the list off the UI thread: every frame of a TIFF,
// every page of a PDF drawn at 300 dpi on white, a damaged or locked file refused
// by name while the others are added. The originals stay byte for byte what they
// were through rename, turns and delete.
void TestPageStore::addFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QList<int>>("widths"); // of the pages listed; empty: refused
    QTest::newRow("bmp") << "bmp" << QList<int>{64};
    QTest::newRow("jpeg") << "jpg" << QList<int>{64};
    QTest::newRow("png") << "png" << QList<int>{64};
    QTest::newRow("tiff of two frames") << "tiff2" << QList<int>{30, 40};
    QTest::newRow("jpeg cut short") << "cut jpg" << QList<int>{};
    QTest::newRow("not an image") << "text" << QList<int>{};
    // 72, 96 and 120 points wide at 300 dpi.
    QTest::newRow("pdf of three pages") << "pdf3" << QList<int>{300, 400, 500};
    QTest::newRow("pdf of one page") << "pdf1" << QList<int>{300};
    QTest::newRow("pdf damaged") << "damaged pdf" << QList<int>{};
    QTest::newRow("pdf locked with a password") << "locked pdf" << QList<int>{};
}

void TestPageStore::addFiles()
{
    QFETCH(QString, kind);
    QFETCH(QList<int>, widths);
    const QString originals = m_dir.filePath(QStringLiteral("originals"));
    // A refused row before this one leaves its files behind.
    QVERIFY(QDir(originals).removeRecursively() && QDir().mkpath(originals));
    const QString path = QDir(originals).filePath(
        QStringLiteral("receipt.") + kind.section(' ', -1).remove(QRegularExpression("\\d")));
    const QImage image = makePage(64, 48, qRgb(200, 30, 30));
    const bool pdf = path.endsWith(QLatin1String(".pdf"));
    if (kind == "tiff2") {
        QVERIFY(writeTiffPages(path, 2));
    } else if (kind == "damaged pdf") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("%PDF-1.4\n1 0 obj <<>>\ngarbage\n") > 0);
    } else if (kind == "locked pdf") {
        const QString open = m_dir.filePath(QStringLiteral("open.pdf"));
        QVERIFY(PdfSamples::writePages(open, {{72, 48}}));
        QVERIFY(PdfSamples::lockWithPassword(open, path));
    } else if (pdf) {
        QList<QSizeF> sizes;
        for (int width : widths)
            sizes.append(QSizeF(width * 72 / 300, 48));
        QVERIFY(PdfSamples::writePages(path, sizes));
    } else if (kind == "text") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not a picture\n") > 0);
    } else {
        QVERIFY(image.save(path));
        if (kind.startsWith("cut")) {
            QFile f(path);
            QVERIFY(f.resize(f.size() / 3));
        }
    }
    // A good file after it: one refusal does not stop the rest.
    const QString other = QDir(originals).filePath(QStringLiteral("other.png"));
    QVERIFY(image.save(other));
    const QByteArray before = bytesOf(path);

    PageStore store(m_temp, nullptr);
    PageImporter importer;
    QStringList refused;
    connect(&importer, &PageImporter::pagesRead, &store, [&store](const QList<PageEntry> &pages) {
        for (const PageEntry &page : pages) {
            store.noteWorkingCopy(page.workingCopy);
            store.add(page);
        }
    });
    connect(&importer, &PageImporter::fileRefused, this,
            [&refused](const QString &error) { refused.append(error); });
    QSignalSpy finished(&importer, &PageImporter::finished);
    QVERIFY(importer.start({path, other}, m_temp));
    QVERIFY(finished.wait());

    PageModel *model = store.model();
    QCOMPARE(model->rowCount(), widths.size() + 1);
    QCOMPARE(model->entry(model->rowCount() - 1).pageFile, other);
    if (widths.isEmpty()) {
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused.first().contains(QStringLiteral("receipt.")), qPrintable(refused.first()));
        // No working copy is left of the refused file.
        QCOMPARE(filesIn(m_temp).filter(QStringLiteral("receipt")), QStringList());
    } else {
        QVERIFY2(refused.isEmpty(), qPrintable(refused.join('\n')));
    }
    for (int row = 0; row < widths.size(); ++row) {
        const PageEntry &e = model->entry(row);
        QCOMPARE(e.pageFile, path);
        QVERIFY(e.added);
        QCOMPARE(e.size.width(), widths.at(row));
        QCOMPARE(ImageFileReader::read(e.workingCopy).width(), widths.at(row));
        // A picture is its own working copy; a JPEG (whose data the PDF would take
        // as it is), a PDF page or a TIFF frame gets one.
        if (kind == "bmp" || kind == "png")
            QCOMPARE(e.workingCopy, path);
        else
            QVERIFY(e.workingCopy.startsWith(m_temp));
        if (pdf) {
            QCOMPARE(e.caption, widths.size() > 1 ? QStringLiteral("receipt.pdf (%1)").arg(row + 1)
                                                  : QStringLiteral("receipt.pdf"));
            QCOMPARE(e.dpi, 300);
            // Ink where it was drawn, white paper elsewhere (not a transparent black).
            const QImage copy = ImageFileReader::read(e.workingCopy);
            QCOMPARE(copy.height(), 200);
            QCOMPARE(copy.pixel(10, 10), qRgb(200, 30, 30));
            QCOMPARE(copy.pixel(copy.width() - 5, copy.height() - 5), qRgb(255, 255, 255));
        }
    }
    // Recovery after a crash would know them as added, not as pages to delete.
    const QList<PageEntry> journalled = PageJournal::read(journalOf(store)).pages;
    QCOMPARE(journalled.size(), model->rowCount());
    QVERIFY(journalled.first().added);
    if (widths.isEmpty())
        return;

    PageModel::Refusal why = PageModel::Refusal::None;
    QCOMPARE(store.rename(0, QStringLiteral("Invoice.png"), &why),
             PageModel::RenameResult::Refused);
    QCOMPARE(why, PageModel::Refusal::Added);
    QVERIFY(store.rotate(0, PageRotation::Right));
    // The turned copy, in the temporary folder; the original as it was.
    const QString copy = model->entry(0).workingCopy;
    QVERIFY(copy.startsWith(m_temp));
    QCOMPARE(ImageFileReader::read(copy).height(), widths.at(0));
    QCOMPARE(model->entry(0).size.height(), widths.at(0));
    QCOMPARE(bytesOf(path), before);
    store.remove({0});
    QVERIFY(!QFile::exists(copy));
    QCOMPARE(bytesOf(path), before);
    QCOMPARE(filesIn(originals).size(), 2);
    // At close the copies go; the originals stay.
    store.close();
    QCOMPARE(bytesOf(path), before);
    QVERIFY(QFile::exists(other));
    QDir(originals).removeRecursively();
}

// An added picture is its own working copy until it changes. Whatever removes
// working copies (a delete, a close, the first change and what follows it, the
// recovery of an ended session, the sweep of its leftovers) never deletes,
// renames or writes a file of the user's, also when the page's record says the
// user's file is a working copy, or the picture lies in the temporary folder.
void TestPageStore::usersFilesNeverTouched_data()
{
    QTest::addColumn<QString>("path");     // what happens
    QTest::addColumn<bool>("inTemp");      // the picture lies in the temporary folder
    QTest::addColumn<bool>("copyWritten"); // a working copy of this run's was made
    QTest::newRow("deleted") << "delete" << false << false;
    QTest::newRow("deleted as a job") << "delete job" << false << false;
    QTest::newRow("closed") << "close" << false << false;
    QTest::newRow("in the temporary folder, deleted") << "delete" << true << false;
    QTest::newRow("in the temporary folder, closed") << "close" << true << false;
    QTest::newRow("turned as a job, then deleted") << "turn job, delete" << false << true;
    QTest::newRow("in the temporary folder, turned, then deleted")
        << "turn, delete" << true << true;
    QTest::newRow("straightened, then closed") << "straighten, close" << false << true;
    QTest::newRow("recovery discarded") << "stale, discard" << false << false;
    QTest::newRow("recovered, then closed") << "stale, relist, close" << false << false;
    QTest::newRow("journal says the user's file is a scanned page's copy")
        << "stale as scanned, discard" << false << false;
    QTest::newRow("leftovers of an ended session swept") << "stale, sweep" << false << false;
}

void TestPageStore::usersFilesNeverTouched()
{
    QFETCH(QString, path);
    QFETCH(bool, inTemp);
    QFETCH(bool, copyWritten);
    const QString originals = inTemp ? m_temp : m_dir.filePath(QStringLiteral("originals"));
    QVERIFY(QDir().mkpath(originals));
    const auto cleanUp = qScopeGuard([&] {
        if (!inTemp)
            QDir(originals).removeRecursively();
    });
    const QString picture = QDir(originals).filePath(QStringLiteral("photo.png"));
    QVERIFY(makePage(64, 48, qRgb(200, 30, 30)).save(picture));
    // Names the program's own leftovers have, beside the picture: the user's all the same.
    for (const char *name : {".photo.original.png", ".photo.png.0a1b2c3d.part"}) {
        QFile f(QDir(originals).filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("the user's") > 0);
    }
    QHash<QString, QByteArray> before;
    for (const QString &name : filesIn(originals))
        before.insert(name, bytesOf(QDir(originals).filePath(name)));

    const PageImport::Result imported = PageImport::importFile(picture, m_temp);
    QVERIFY2(imported.error.isEmpty(), qPrintable(imported.error));
    QCOMPARE(imported.pages.size(), 1);
    PageEntry page = imported.pages.first();
    QCOMPARE(page.workingCopy, picture);
    QStringList copies; // this run's working copies of the picture

    if (path.startsWith("stale")) {
        if (path.contains("as scanned")) {
            page.added = false;
            page.pageFile = QDir(m_dest).filePath(QStringLiteral("gone.jpg"));
        }
        {
            PageJournal ended(m_temp);
            QVERIFY(ended.append(page));
        }
        if (path.endsWith("sweep")) {
            for (const QString &name : before.keys())
                QVERIFY(QTest::qWaitFor(
                    [&] { return changedBeforeThisTick(QDir(originals).filePath(name)); }, 5000));
            LeftoverSweep sweep(m_temp, nullptr);
            QSignalSpy swept(&sweep, &LeftoverSweep::finished);
            sweep.start();
            QVERIFY(swept.wait());
        } else {
            PageStore store(m_temp, nullptr);
            QCOMPARE(store.claimStale().pages, 1);
            if (path.contains("discard")) {
                store.discardStale();
            } else {
                QSignalSpy relisted(&store, &PageStore::staleRelisted);
                store.relistStale();
                QVERIFY(relisted.wait());
                QCOMPARE(store.model()->rowCount(), 1);
                store.close();
            }
        }
    } else {
        PageStore store(m_temp, nullptr);
        // Noted as a copy of this run's, as a careless caller would: still not removed.
        store.noteWorkingCopy(page.workingCopy);
        QVERIFY(store.add(page));
        PageModel *model = store.model();
        if (path.startsWith("turn job")) {
            store.rotateLater({0}, PageRotation::Right);
            store.waitForJobs();
        } else if (path.startsWith("turn")) {
            QVERIFY(store.rotate(0, PageRotation::Right));
        } else if (path.startsWith("straighten")) {
            QString error;
            QVERIFY2(store.straighten(0, 3.0, &error), qPrintable(error));
        }
        if (copyWritten) {
            const PageEntry changed = model->entry(0);
            QVERIFY(changed.workingCopy != picture);
            QCOMPARE(QFileInfo(changed.workingCopy).absolutePath(),
                     QFileInfo(m_temp).absoluteFilePath());
            QCOMPARE(changed.pageFile, picture);
            QCOMPARE(changed.size, path.startsWith("turn") ? QSize(48, 64) : QSize(64, 48));
            // Recovery would find the changed page, not the picture as it was.
            QCOMPARE(PageJournal::read(journalOf(store)).pages.first().workingCopy,
                     changed.workingCopy);
            copies.append(changed.workingCopy);
        }
        if (path.endsWith("delete job")) {
            store.removeLater({0});
            store.waitForJobs();
        } else if (path.endsWith("delete")) {
            store.remove({0});
        }
        if (path.endsWith("delete") || path.endsWith("delete job"))
            QCOMPARE(model->rowCount(), 0);
        store.close();
    }

    QHash<QString, QByteArray> after;
    for (const QString &name : filesIn(originals)) {
        if (!inTemp || before.contains(name))
            after.insert(name, bytesOf(QDir(originals).filePath(name)));
    }
    QCOMPARE(after, before);
    for (const QString &copy : std::as_const(copies))
        QVERIFY2(!QFileInfo::exists(copy), qPrintable(copy));
    // Nothing of this run's is left in the temporary folder but the user's own files.
    QStringList left = filesIn(m_temp);
    const QStringList journals =
        QDir(m_temp).entryList({PageJournal::nameFilter()}, QDir::Files | QDir::Hidden);
    left.removeIf([&](const QString &name) {
        return (inTemp && before.contains(name)) || journals.contains(name);
    });
    QCOMPARE(left, QStringList());
}

// A file whose working copies would not fit in the temporary folder is refused
// before any is written, naming the file, the folder and the space missing; a
// picture that is its own working copy needs no room there and is listed.
void TestPageStore::importChecksFreeSpace_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("listed");
    QTest::newRow("PDF of two letter pages") << "pdf" << false;
    QTest::newRow("picture as it is") << "png" << true;
}

void TestPageStore::importChecksFreeSpace()
{
    QFETCH(QString, kind);
    QFETCH(bool, listed);
    const QString small = m_dir.filePath(QStringLiteral("small"));
    // Room for one compressed letter page at 300 dpi, not for two.
    FullDisk disk(small, "20m");
    if (!disk.isMounted())
        SKIP_OR_FAIL_IN_CI("no small file system can be mounted here (needs root)");
    const QString originals = m_dir.filePath(QStringLiteral("originals"));
    QVERIFY(QDir().mkpath(originals));
    const auto cleanUp = qScopeGuard([&originals] { QDir(originals).removeRecursively(); });
    const QString path = QDir(originals).filePath(QStringLiteral("letter.") + kind);
    if (kind == "pdf")
        QVERIFY(PdfSamples::writePages(path, {QSizeF(612, 792), QSizeF(612, 792)}));
    else
        QVERIFY(makePage(2550, 3300, qRgb(200, 30, 30)).save(path));

    const PageImport::Result r = PageImport::importFile(path, small);
    QCOMPARE(filesIn(small), QStringList());
    if (listed) {
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.pages.size(), 1);
        QCOMPARE(r.pages.first().workingCopy, path);
        return;
    }
    QVERIFY(r.pages.isEmpty());
    for (const QString &named : {path, small})
        QVERIFY2(r.error.contains(QDir::toNativeSeparators(named)), qPrintable(r.error));
    // The shortfall itself: what two copies need less what the folder has.
    const qint64 free = QStorageInfo(small).bytesAvailable();
    const qint64 missing = 2 * FreeSpace::compressedCopyBytes(QSize(2550, 3300)) - free;
    QVERIFY(missing > 0);
    QVERIFY2(r.error.contains(QLocale().formattedDataSize(missing, 1)), qPrintable(r.error));
}

// Cancelling keeps the pages read until then, whole, and leaves no other file:
// the frames done in one file, and in the importer whatever had been read when
// the cancel came (how many depends on timing; their state does not).
void TestPageStore::cancelKeepsWholePages()
{
    const QString path = m_dir.filePath(QStringLiteral("long.pdf"));
    QVERIFY(PdfSamples::writePages(path, QList<QSizeF>(200, QSizeF(72, 48))));

    bool stop = false;
    const PageImport::Result r = PageImport::importFile(
        path, m_temp, [&stop] { return stop; }, [&stop](int done, int) { stop = done == 3; });
    QVERIFY(r.error.isEmpty());
    QCOMPARE(r.pages.size(), 3);
    QStringList copies;
    for (const PageEntry &page : r.pages) {
        QCOMPARE(ImageFileReader::read(page.workingCopy).size(), QSize(300, 200));
        copies.append(QFileInfo(page.workingCopy).fileName());
        QVERIFY(QFile::remove(page.workingCopy));
    }
    QCOMPARE(copies, QStringList({"long-1.tif", "long-2.tif", "long-3.tif"}));
    QCOMPARE(filesIn(m_temp), QStringList());

    PageStore store(m_temp, nullptr);
    PageImporter importer;
    connect(&importer, &PageImporter::pagesRead, &store, [&store](const QList<PageEntry> &pages) {
        for (const PageEntry &page : pages) {
            store.noteWorkingCopy(page.workingCopy);
            store.add(page);
        }
    });
    connect(&importer, &PageImporter::pageProgress, &importer, &PageImporter::cancel);
    QSignalSpy finished(&importer, &PageImporter::finished);
    QVERIFY(importer.start({path, path}, m_temp));
    QVERIFY(finished.wait());
    QCOMPARE(finished.first().first().toBool(), true);
    PageModel *model = store.model();
    QVERIFY(model->rowCount() >= 1);
    QStringList listed;
    for (int row = 0; row < model->rowCount(); ++row) {
        QCOMPARE(ImageFileReader::read(model->entry(row).workingCopy).size(), QSize(300, 200));
        listed.append(QFileInfo(model->entry(row).workingCopy).fileName());
    }
    listed.sort();
    QStringList present = filesIn(m_temp);
    present.removeIf([](const QString &name) { return !name.endsWith(QLatin1String(".tif")); });
    QCOMPARE(present, listed);
    store.close();
}

// An added file keeps the resolution it records, so its page in a PDF and a PDF/A
// has the paper's size (A4 here, whatever the dpi); a file that cannot be a page
// is refused, naming it, for its true reason, and the other files still come in.
void TestPageStore::addedFilesKeepWhatTheyRecord_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("dpi"); // 0: refused
    QTest::newRow("jpeg, JFIF density") << "jfif" << 200;
    QTest::newRow("jpeg, Exif resolution") << "exif" << 300;
    QTest::newRow("tiff") << "tiff" << 100;
    QTest::newRow("bmp") << "bmp" << 150;
    QTest::newRow("name not UTF-8") << "latin-1 name" << 200;
    QTest::newRow("jpeg cut short") << "cut" << 0;
    QTest::newRow("folder") << "folder" << 0;
    QTest::newRow("fifo") << "fifo" << 0;
    QTest::newRow("not readable") << "unreadable" << 0;
}

void TestPageStore::addedFilesKeepWhatTheyRecord()
{
    QFETCH(QString, kind);
    QFETCH(int, dpi);
    const QString originals = m_dir.filePath(QStringLiteral("originals"));
    QVERIFY(QDir(originals).removeRecursively() && QDir().mkpath(originals));
    QString path = QDir(originals).filePath(kind == "tiff"  ? "scan.tif"
                                            : kind == "bmp" ? "scan.bmp"
                                                            : "scan.jpg");
    if (kind == "latin-1 name")
        path = QDir(originals).filePath(LocalFileName::decode("scan-caf\xe9.jpg"));
    const auto cleanUp = qScopeGuard([&originals, &path] {
        // By its bytes: Qt could not name a file whose name is not UTF-8.
        ::unlink(LocalFileName::encode(path).constData());
        QDir(originals).removeRecursively();
    });
    const QImage page = a4Page(qMax(dpi, 100));
    JpegCodec::EncodeOptions options;
    options.dotsPerInch = kind == "exif" ? 0 : dpi;
    const QByteArray jpeg = JpegCodec::encode(page, options);
    if (kind == "jfif" || kind == "latin-1 name" || kind == "unreadable") {
        QVERIFY(writeBytes(path, jpeg));
    } else if (kind == "exif") {
        QVERIFY(writeBytes(path, withExifResolution(jpeg, dpi)));
    } else if (kind == "cut") {
        QVERIFY(writeBytes(path, jpeg.left(jpeg.size() * 3 / 5)));
    } else if (kind == "tiff") {
        QVERIFY(writeTiffAt(path, page, dpi));
    } else if (kind == "bmp") {
        QImage bmp = page;
        bmp.setDotsPerMeterX(qRound(dpi / 0.0254));
        bmp.setDotsPerMeterY(qRound(dpi / 0.0254));
        QVERIFY(bmp.save(path, "BMP"));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    }
    if (kind == "unreadable") {
        if (::geteuid() == 0)
            QSKIP("root reads any file");
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
    }
    const QString other = QDir(originals).filePath(QStringLiteral("other.png"));
    QVERIFY(makePage(64, 48, qRgb(200, 30, 30)).save(other));

    PageStore store(m_temp, nullptr);
    PageImporter importer;
    QStringList refused;
    connect(&importer, &PageImporter::pagesRead, &store, [&store](const QList<PageEntry> &pages) {
        for (const PageEntry &entry : pages) {
            store.noteWorkingCopy(entry.workingCopy);
            store.add(entry);
        }
    });
    connect(&importer, &PageImporter::fileRefused, this,
            [&refused](const QString &error) { refused.append(error); });
    QSignalSpy finished(&importer, &PageImporter::finished);
    QVERIFY(importer.start({path, other}, m_temp));
    QVERIFY(finished.wait()); // a FIFO without a writer must not hold it up
    PageModel *model = store.model();
    QCOMPARE(model->entry(model->rowCount() - 1).pageFile, other);

    if (dpi == 0) {
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused.first().contains(QDir::toNativeSeparators(path)),
                 qPrintable(refused.first()));
        // Not the words for a file that is not there: this one is.
        const QString nowhere = QDir(originals).filePath(QStringLiteral("nowhere.jpg"));
        const QString missing = PageImport::importFile(nowhere, m_temp).error;
        QVERIFY(!missing.isEmpty());
        const QString missingReason = missing.mid(missing.indexOf(nowhere) + nowhere.size());
        QVERIFY2(!refused.first().endsWith(missingReason), qPrintable(refused.first()));
        QCOMPARE(filesIn(m_temp).filter(QStringLiteral("scan")), QStringList());
        return;
    }
    QVERIFY2(refused.isEmpty(), qPrintable(refused.join('\n')));
    QCOMPARE(model->rowCount(), 2);
    const PageEntry added = model->entry(0);
    QCOMPARE(added.pageFile, path);
    QCOMPARE(added.caption, path.section('/', -1));
    QCOMPARE(added.size, page.size());
    QCOMPARE(added.dpi, dpi);
    // The listed page and the file itself give the same page, PDF or PDF/A; a
    // PDF/A page has the paper's size.
    const auto pageSize = [this](const QString &file, bool archival) {
        const QString pdf = m_dir.filePath(QStringLiteral("added.pdf"));
        PdfExportOptions exportOptions;
        exportOptions.archival = archival;
        QString error;
        const bool written = PdfExport::run({file}, pdf, exportOptions, &error);
        const QList<QSize> sizes = PdfInspector::pageSizes(pdf);
        QFile::remove(pdf);
        return written && sizes.size() == 1 ? sizes.first() : QSize();
    };
    QCOMPARE(pageSize(added.workingCopy, true), QSize(595, 842));
    QCOMPARE(pageSize(added.workingCopy, true), pageSize(path, true));
    QCOMPARE(pageSize(added.workingCopy, false), pageSize(path, false));
    store.close();
}

QTEST_GUILESS_MAIN(TestPageStore)
#include "tst_pagestore.moc"
