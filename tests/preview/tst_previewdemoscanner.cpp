// The preview and a standard-size scan against SANE's test backend, the demo scanner.
#include "PreviewTestSupport.h"
#include "files/TempFolder.h"
#include "mainwindow/PreviewPane.h"
#include "mainwindow/ScanAreaPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/Tfrm_Main.h"
#include "scanner/SaneTwainControl.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace PreviewTest;

namespace {

constexpr int Timeout = 60000;

struct DemoWindow
{
    SaneTwainControl *control = new SaneTwainControl;
    std::unique_ptr<Tfrm_Main> w;

    DemoWindow()
    {
        w = std::make_unique<Tfrm_Main>(control);
        w->show();
    }
    // Closing removes the working copies of listed pages, as a user's session does.
    ~DemoWindow() { w->close(); }
    // Selects the test backend among whatever other scanners the machine has.
    bool selectDemoScanner()
    {
        // The device search ends on its own; the commands wait for it.
        if (!QTest::qWaitFor([this] { return w->scanSettings()->ToolButtonScan->isEnabled(); },
                             Timeout))
            return false;
        for (int i = 0; i < w->scanSettings()->cmb_Sources->count(); ++i) {
            if (control->deviceName(i) == QLatin1String("test:0")) {
                w->scanSettings()->cmb_Sources->setCurrentIndex(i);
                w->scanSettings()->cmb_SourcesChange(i);
                return true;
            }
        }
        return false;
    }
};

QString previewFile()
{
    return TempFolder::join(TempFolder::path(), QStringLiteral("Pagora.bmp"));
}

} // namespace

class tst_PreviewDemoScanner : public QObject
{
    Q_OBJECT

private slots:
    void previewShowsWholeBed();
    void standardSizeScan();
};

void tst_PreviewDemoScanner::previewShowsWholeBed()
{
    QFile::remove(previewFile());
    DemoWindow t;
    QVERIFY2(t.selectDemoScanner(), "SANE test backend not found");
    t.w->scanSettings()->cmb_Resolution->setCurrentIndex(0); // the preview ignores it
    t.w->scanSettings()->cmb_Mode->setCurrentIndex(1);

    t.w->Action2->trigger(); // File, "&Preview"
    QTRY_VERIFY_WITH_TIMEOUT(t.w->scanSettings()->ToolButtonPreview->isEnabled(), Timeout);
    QVERIFY2(!t.w->StatusIsError, qPrintable(t.w->StatusText));
    QCOMPARE(t.w->StatusText, QStringLiteral("Ready"));

    // The demo bed is A4: about 827 x 1169 pixels at 100 dpi, in colour.
    QImageReader reader(previewFile());
    const QImage page = reader.read();
    QVERIFY2(!page.isNull(), qPrintable(reader.errorString()));
    QVERIFY2(qAbs(page.width() - 827) <= 2 && qAbs(page.height() - 1169) <= 2,
             qPrintable(QStringLiteral("%1 x %2").arg(page.width()).arg(page.height())));
    QVERIFY(!page.allGray());
    QCOMPARE(qRound(page.dotsPerMeterX() * 0.0254), 100);
    QCOMPARE(t.w->session()->ScanResolution(), 100);

    PreviewPane *pane = t.w->scanArea()->I32_Preview;
    const QImage shown = pane->layerImage();
    QVERIFY(qAbs(pane->layerRect().width() - 279) < 0.01);
    QCOMPARE(shown.size(), QSize(279, 394));
    QCOMPARE(pane->areaRect(), pane->layerRect());
    QCOMPARE(pane->rubberRect(), pane->layerRect());
    QVERIFY(qAbs(t.w->scanArea()->PreviewResolution - 100.0f * 279.0f / page.width()) < 1e-3f);
    // The pane really paints the reduced page at its top-left.
    const QImage grab = pane->grab().toImage();
    QCOMPARE(grab.pixelColor(shown.width() / 2, shown.height() / 2),
             shown.pixelColor(shown.width() / 2, shown.height() / 2));
}

void tst_PreviewDemoScanner::standardSizeScan()
{
    DemoWindow t;
    QVERIFY2(t.selectDemoScanner(), "SANE test backend not found");
    const QString destination = QDir(qEnvironmentVariable("HOME")).filePath("scans");
    QDir(destination).removeRecursively(); // pages of an earlier run
    QVERIFY(QDir().mkpath(destination));
    t.w->scanSettings()->edt_Destination->setText(destination);
    t.w->scanSettings()->cmb_Format->setCurrentIndex(0);     // BMP
    t.w->scanSettings()->cmb_Resolution->setCurrentIndex(0); // 75
    t.w->scanSettings()->cmb_Size->setCurrentIndex(5);       // A5

    t.w->scanSettings()->Scan1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(t.w->scanSettings()->ToolButtonScan->isEnabled(), Timeout);
    QVERIFY2(!t.w->StatusIsError, qPrintable(t.w->StatusText));
    QCOMPARE(t.w->session()->ScanResolution(), 75);

    const QStringList files = QDir(destination).entryList({"*.bmp"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const QSize size = QImageReader(QDir(destination).filePath(files.first())).size();
    // A5, 5.8 x 8.3 in at 75 dpi: about 435 x 622 pixels.
    QVERIFY2(qAbs(size.width() - 435) <= 2 && qAbs(size.height() - 622) <= 2,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
}

QTEST_MAIN(tst_PreviewDemoScanner)
#include "tst_previewdemoscanner.moc"
