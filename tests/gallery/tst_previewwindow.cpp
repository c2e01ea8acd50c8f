#include "GalleryTestSupport.h"
#include "pages/GalleryRules.h"
#include "gallery/PreviewImage.h"
#include "i18n/TLangDispatcher.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <tiffio.h>

namespace {

bool writeTiff(const QString &path, const QImage &image)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    bool ok = true;
    for (int y = 0; y < rgb.height() && ok; ++y)
        ok = TIFFWriteScanline(tif, const_cast<uchar *>(rgb.constScanLine(y)), uint32_t(y)) == 1;
    TIFFClose(tif);
    return ok;
}

struct Shown
{
    bool visible = false;
    QString title;
    QSize size;
    QRect imageGeometry;
    QRect pictureRect;
    QImage screen;
};

// Runs the preview command; while the modal window is up, notes what it shows,
// optionally resizes it, then closes it with Escape.
Shown preview(GalleryHarness &h, const QSize &resizeTo = QSize())
{
    Shown shown;
    QTimer::singleShot(0, h.preview, [&h, &shown, resizeTo] {
        shown.visible = h.preview->isVisible();
        shown.title = h.preview->windowTitle();
        shown.size = h.preview->size();
        shown.imageGeometry = h.preview->Image->geometry();
        shown.pictureRect = h.preview->Image->pictureRect();
        shown.screen = h.preview->Image->grab().toImage();
        if (resizeTo.isValid())
            h.preview->resize(resizeTo);
        QTest::keyClick(h.preview, Qt::Key_Escape);
    });
    h.window->imageList()->Action_PreviewExecute();
    return shown;
}

} // namespace

class TestPreviewWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TLangDispatcher::instance().setLanguage(QStringLiteral("English")); }

    // Every page format shows upright, in its colours, fitted, at the top-left.
    void showsPage_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("writer");
        QTest::newRow("BMP") << "Pagora_1.bmp"
                             << "BMP";
        QTest::newRow("JPEG") << "Pagora_1.jpg"
                              << "JPG";
        QTest::newRow("TIFF") << "Pagora_1.tiff"
                              << "TIFF";
        QTest::newRow("TIFF renamed .tif") << "Pagora_1.tif"
                                           << "TIFF";
    }
    void showsPage()
    {
        QFETCH(QString, caption);
        QFETCH(QString, writer);
        GalleryHarness h;
        const QImage page = GalleryHarness::page(400, 300, qRgb(220, 30, 30));
        if (writer == "TIFF") {
            QVERIFY(page.save(h.workingCopy(caption), "BMP"));
            QVERIFY(writeTiff(h.pageFile(caption), page));
            QVERIFY(
                h.window->imageList()->FillImageList(h.workingCopy(caption), 400, 300, caption));
        } else {
            QVERIFY(h.addPage(caption, page, writer.toLatin1()));
        }
        h.select(0);
        const Shown shown = preview(h);
        QVERIFY(shown.visible);
        QVERIFY(h.prompts.isEmpty());
        QCOMPARE(shown.title, "Previewing... " + caption);
        QCOMPARE(shown.size, QSize(435, 551));
        QCOMPARE(shown.imageGeometry, QRect(3, 3, 429, 545));
        QCOMPARE(shown.pictureRect, QRect(0, 0, 429, 321));
        const auto near = [](QRgb a, QRgb b) {
            return qAbs(qRed(a) - qRed(b)) < 24 && qAbs(qGreen(a) - qGreen(b)) < 24 &&
                   qAbs(qBlue(a) - qBlue(b)) < 24;
        };
        QVERIFY(near(shown.screen.pixel(10, 10), qRgb(0, 0, 0)));        // the mark, top-left
        QVERIFY(near(shown.screen.pixel(420, 310), qRgb(220, 30, 30)));  // bottom-right corner
        QVERIFY(!near(shown.screen.pixel(420, 330), qRgb(220, 30, 30))); // below the picture
    }

    void loadErrors_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("writer");
        QTest::addColumn<QString>("error"); // a pattern; %1: the page file path
        // Handed to libtiff, which cannot open it: the open error.
        QTest::newRow("BMP named .tif") << "scan.tif.bmp"
                                        << "BMP"
                                        << "Unable to open file '%1'";
        QTest::newRow("TIFF named .TIF") << "scan.TIF"
                                         << "TIFF"
                                         << "Unknown picture file extension (.TIF)";
        QTest::newRow("renamed to .png") << "scan.png"
                                         << "BMP"
                                         << "Unknown picture file extension (.png)";
        QTest::newRow("missing BMP") << "gone.bmp"
                                     << ""
                                     << "Unable to open file '%1'";
        QTest::newRow("missing TIFF") << "gone.tiff"
                                      << ""
                                      << "Unable to open file '%1'";
        // Cut behind the program's back: an error, not a picture with black rows.
        QTest::newRow("BMP cut short") << "cut.bmp"
                                       << "cut BMP"
                                       << "The file '%1' is damaged: it ends before the end of "
                                          "the picture\\.";
    }
    void loadErrors()
    {
        QFETCH(QString, caption);
        QFETCH(QString, writer);
        QFETCH(QString, error);
        GalleryHarness h;
        const QImage page = GalleryHarness::page(40, 30, qRgb(20, 30, 200));
        QVERIFY(page.save(h.workingCopy(caption), "BMP"));
        if (writer == "TIFF")
            QVERIFY(writeTiff(h.pageFile(caption), page));
        else if (writer.endsWith("BMP"))
            QVERIFY(page.save(h.pageFile(caption), "BMP"));
        if (writer == "cut BMP")
            QVERIFY(QFile::resize(h.pageFile(caption), 1000));
        QVERIFY(h.window->imageList()->FillImageList(h.workingCopy(caption), 40, 30, caption));
        h.select(0);
        const Shown shown = preview(h);
        QVERIFY(!shown.visible);
        QCOMPARE(h.prompts.size(), 1);
        QCOMPARE(h.prompts.at(0).icon, QMessageBox::Critical);
        const QString pattern = error.contains("%1")
                                    ? error.arg(QRegularExpression::escape(h.pageFile(caption)))
                                    : QRegularExpression::escape(error);
        QVERIFY2(QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'))
                     .match(h.prompts.at(0).text)
                     .hasMatch(),
                 qPrintable(h.prompts.at(0).text));
        QCOMPARE(h.count(), 1);
    }

    void sizeIsRemembered()
    {
        GalleryHarness h;
        QVERIFY(h.addPage("a.bmp", GalleryHarness::page(300, 400, qRgb(9, 90, 9))));
        h.select(0);
        QCOMPARE(preview(h, QSize(600, 420)).size, QSize(435, 551));
        SettingsStore store;
        int w = 0, ht = 0;
        QVERIFY(store.readInteger(SettingsStore::PWidth, w));
        QVERIFY(store.readInteger(SettingsStore::PHeight, ht));
        QCOMPARE(QSize(w, ht), QSize(600, 420));

        // Portrait picture in a wide window: fitted to the height.
        Shown shown = preview(h);
        QCOMPARE(shown.size, QSize(600, 420));
        QCOMPARE(shown.pictureRect, QRect(0, 0, 310, 414));

        // Each stored value applies on its own; in Russian the caption follows.
        QSettings(store.location(), QSettings::IniFormat).remove(SettingsStore::PHeight);
        SettingsStore().WriteInteger(SettingsStore::PWidth, 500);
        h.preview->resize(700, 300);
        QVERIFY(TLangDispatcher::instance().setLanguage("Russian"));
        shown = preview(h);
        QCOMPARE(shown.size, QSize(500, 300));
        QCOMPARE(shown.title, QString::fromUtf8("Просмотр... a.bmp"));
    }

    void nothingSelected()
    {
        GalleryHarness h;
        QVERIFY(h.addPage("a.bmp", GalleryHarness::page(30, 40, qRgb(9, 90, 9))));
        QTimer::singleShot(0, h.preview, [&h] { h.preview->reject(); }); // should it open
        h.window->imageList()->Action_PreviewExecute();
        QCoreApplication::processEvents();
        QVERIFY(h.prompts.isEmpty());
        QCOMPARE(SettingsStore().ValueExists(SettingsStore::PWidth), false); // never shown
        // A double click on an entry previews it.
        h.select(0);
        bool shown = false;
        QTimer::singleShot(0, h.preview, [&h, &shown] {
            shown = h.preview->isVisible();
            h.preview->reject();
        });
        emit h.list()->doubleClicked(h.index(0));
        QVERIFY(shown);
    }
};

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
