#include "FakeTwainControl.h"
#include "PreviewTestSupport.h"
#include "files/TempFolder.h"
#include "mainwindow/PreviewPane.h"
#include "mainwindow/ScanAreaPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/StatusPanelBar.h"
#include "mainwindow/Tfrm_Main.h"
#include "session/PreviewRules.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>
#include <memory>

using namespace PreviewTest;

namespace {

// The A5 item's area right after start: 5.8 x 8.3 in at 20.78 pane pixels per inch.
const QRectF A5AtStart(0, 0, 5.8f * 20.78f, 8.3f * 20.78f);

struct Window
{
    FakeTwainControl *control = new FakeTwainControl;
    std::unique_ptr<Tfrm_Main> w;

    Window()
    {
        control->setSources({QStringLiteral("Fake scanner")});
        control->setSourceIndex(0);
        w = std::make_unique<Tfrm_Main>(control);
        w->show();
        control->clearCalls();
    }
    QString panel2() const { return w->sb_Main->panelText(2); }
    void selectSize(int index)
    {
        w->scanSettings()->cmb_Size->setCurrentIndex(index);
        emit w->scanSettings()->cmb_Size->activated(index);
    }
    // A preview of one page, answered by the fake control through the page pipeline.
    void preview(const QImage &page)
    {
        control->queueBatch({FakeTwainControl::page(page)});
        w->scanSettings()->ToolButtonPreview->click();
    }
    // The A5 area in millimetres, where the area tests start.
    PreviewPane *startA5InMillimetres()
    {
        w->scanArea()->UnitsCode = 2;
        selectSize(5);
        return w->scanArea()->I32_Preview;
    }
    // The area where the row expects it, the size list as the row says, and the
    // read-out following the area.
    void compareArea(const QRectF &expected) const
    {
        const QRectF a = w->scanArea()->I32_Preview->areaRect();
        QVERIFY2(nearRect(a, expected), qPrintable(describe(a)));
        QTEST(w->scanSettings()->cmb_Size->currentIndex(), "sizeIndex");
        const QString readout = QStringLiteral("%1 x %2 mm")
                                    .arg(qRound64(a.width() / 20.78 * 25.4))
                                    .arg(qRound64(a.height() / 20.78 * 25.4));
        QCOMPARE(panel2(), readout);
    }
};

QString previewFile()
{
    return TempFolder::join(TempFolder::path(), QStringLiteral("Pagora.bmp"));
}

} // namespace

class tst_PreviewWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(previewFile()); }

    void previewShowsPageAndResetsArea();
    void previewRefusedKeepsPrevious();
    void previewMenuIgnoredWhileBusy();
    void previewNotSavedKeepsPrevious();
    void unreadablePreviewKeepsPrevious();
    void sizeSelect_data();
    void sizeSelect();
    void customKeepsArea();
    void standardSizeAfterPreview();
    void dragArea_data();
    void dragArea();
    void keyboardArea_data();
    void keyboardArea();
    void rulers_data();
    void rulers();
    void growingWindow();
};

void tst_PreviewWindow::previewShowsPageAndResetsArea()
{
    Window t;
    t.w->scanArea()->UnitsCode = 1;
    t.w->scanSettings()->cmb_Mode->setCurrentIndex(0);       // ignored by the preview
    t.w->scanSettings()->cmb_Resolution->setCurrentIndex(9); // 2400, ignored too
    t.selectSize(5);
    const QString sizeText = t.panel2();
    QVERIFY(isBlack(t.w->scanArea()->img_TopRuler, 20, 14)); // one inch at 20.78

    t.preview(FakeTwainControl::makePage(850, 1170));
    QCOMPARE(int(t.w->session()->ScanMode()), 1);
    QTRY_COMPARE(t.w->StatusText, QStringLiteral("Ready"));
    QVERIFY(!t.w->StatusIsError);
    QVERIFY(t.w->scanSettings()->ToolButtonPreview->isEnabled());
    QVERIFY(t.w->scanSettings()->ToolButtonScan->isEnabled());

    // Colour at 100 dpi; no page size, area or feeder; the page saved as the preview.
    const QStringList expected = {"sourceIndex=0",
                                  "StartDevice",
                                  "sourceIndex=0",
                                  "OpenDataSource",
                                  "transferMode=1",
                                  "sourceIndex=0",
                                  "showUI=0",
                                  "showIndicators=0",
                                  "disableAfterAcquire=1",
                                  "unitOfMeasure=0",
                                  "pixelType=2",
                                  "resolution=100",
                                  "Acquire",
                                  QStringLiteral("SaveImage(0,%1)").arg(previewFile())};
    QCOMPARE(t.control->calls(), expected);
    QCOMPARE(QImageReader(previewFile()).size(), QSize(850, 1170));

    PreviewPane *pane = t.w->scanArea()->I32_Preview;
    QVERIFY(nearRect(pane->layerRect(), QRectF(0, 0, 279, 384.0353)));
    QCOMPARE(pane->layerImage().size(), QSize(279, 384));
    QCOMPARE(pane->areaRect(), pane->layerRect());
    QCOMPARE(pane->rubberRect(), pane->layerRect());
    QVERIFY(qAbs(t.w->scanArea()->PreviewResolution - 32.8235f) < 1e-3f);
    // Rulers redrawn at the new resolution: one inch is now 32 pixels in.
    QVERIFY(isBlack(t.w->scanArea()->img_TopRuler, 32, 14));
    QVERIFY(!isBlack(t.w->scanArea()->img_TopRuler, 20, 14));
    // The size item and its read-out stay.
    QCOMPARE(t.w->scanSettings()->cmb_Size->currentIndex(), 5);
    QCOMPARE(t.panel2(), sizeText);
}

void tst_PreviewWindow::previewRefusedKeepsPrevious()
{
    Window t;
    t.preview(FakeTwainControl::makePage(850, 1170));
    QTRY_COMPARE(t.w->StatusText, QStringLiteral("Ready"));
    const QImage image = t.w->scanArea()->I32_Preview->layerImage();
    const QRectF area = t.w->scanArea()->I32_Preview->areaRect();
    const QImage ruler = t.w->scanArea()->img_LeftRuler->canvasImage();

    t.control->setPropertyError(QStringLiteral("resolution"), 9, QStringLiteral("Device busy"));
    t.control->clearCalls();
    t.preview(FakeTwainControl::makePage(100, 100));
    QCOMPARE(t.w->StatusText, QStringLiteral("Device busy"));
    QVERIFY(t.w->StatusIsError);
    QVERIFY(t.w->scanSettings()->ToolButtonPreview->isEnabled());
    QVERIFY(t.w->scanSettings()->ToolButtonScan->isEnabled());
    QVERIFY(!t.control->calls().contains(QStringLiteral("Acquire")));
    QTest::qWait(20); // nothing may arrive
    QCOMPARE(t.w->scanArea()->I32_Preview->layerImage(), image);
    QCOMPARE(t.w->scanArea()->I32_Preview->areaRect(), area);
    QCOMPARE(t.w->scanArea()->img_LeftRuler->canvasImage(), ruler);
}

void tst_PreviewWindow::previewMenuIgnoredWhileBusy()
{
    Window t;
    // A scan batch is running: its page has not come yet.
    t.control->setAutoPlay(false);
    t.control->queueBatch({FakeTwainControl::page(FakeTwainControl::makePage(100, 100))});
    t.w->scanSettings()->edt_Destination->setText(QDir::tempPath());
    t.w->TwainScan();
    QVERIFY(t.w->busy());
    t.control->clearCalls();
    t.w->Action2->trigger();
    QCOMPARE(int(t.w->session()->ScanMode()), 2);
    QVERIFY(t.control->calls().isEmpty());
}

void tst_PreviewWindow::previewNotSavedKeepsPrevious()
{
    Window t;
    t.preview(FakeTwainControl::makePage(850, 1170));
    QTRY_COMPARE(t.w->StatusText, QStringLiteral("Ready"));
    const QImage image = t.w->scanArea()->I32_Preview->layerImage();
    const float resolution = t.w->scanArea()->PreviewResolution;

    // The old Pagora.bmp is still on disk; it must not be shown as the new preview.
    t.control->setSaveFails(true);
    t.preview(FakeTwainControl::makePage(1200, 600));
    QTRY_VERIFY(t.w->StatusIsError);
    QVERIFY(t.w->StatusText.contains(previewFile()));
    QVERIFY(t.w->scanSettings()->ToolButtonPreview->isEnabled());
    QCOMPARE(t.w->scanArea()->I32_Preview->layerImage(), image);
    QCOMPARE(t.w->scanArea()->PreviewResolution, resolution);
}

void tst_PreviewWindow::unreadablePreviewKeepsPrevious()
{
    Window t;
    t.preview(FakeTwainControl::makePage(850, 1170));
    QTRY_COMPARE(t.w->StatusText, QStringLiteral("Ready"));
    const QImage image = t.w->scanArea()->I32_Preview->layerImage();
    const QRectF layer = t.w->scanArea()->I32_Preview->layerRect();
    const QRectF area = t.w->scanArea()->I32_Preview->areaRect();
    const float resolution = t.w->scanArea()->PreviewResolution;
    const QImage ruler = t.w->scanArea()->img_TopRuler->canvasImage();

    const QString broken = TempFolder::join(TempFolder::path(), QStringLiteral("broken.bmp"));
    QFile f(broken);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("BM this is not a bitmap");
    f.close();
    const QString missing = TempFolder::join(TempFolder::path(), QStringLiteral("missing.bmp"));

    for (const QString &path : {broken, missing}) {
        PromptRecorder prompts;
        QVERIFY(!t.w->scanArea()->LoadPreview(path));
        QCOMPARE(prompts.prompts.size(), 1);
        QCOMPARE(prompts.prompts.first().icon, QMessageBox::Critical);
        QVERIFY(prompts.prompts.first().text.contains(path));
        QCOMPARE(t.w->scanArea()->I32_Preview->layerImage(), image);
        QCOMPARE(t.w->scanArea()->I32_Preview->layerRect(), layer);
        QCOMPARE(t.w->scanArea()->I32_Preview->areaRect(), area);
        QCOMPARE(t.w->scanArea()->PreviewResolution, resolution);
        QCOMPARE(t.w->scanArea()->img_TopRuler->canvasImage(), ruler);
    }
    f.remove();
}

void tst_PreviewWindow::sizeSelect_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("index");
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<QString>("readout");

    QTest::newRow("A4 mm") << 2 << 1 << QRectF(0, 0, 172.474, 243.126) << "211 x 297 mm";
    QTest::newRow("A4 in") << 1 << 1 << QRectF(0, 0, 172.474, 243.126) << "8.30 x 11.70 in";
    QTest::newRow("A5 mm") << 2 << 5 << A5AtStart << "147 x 211 mm";
    // Wider than the pane: kept as large, not limited.
    QTest::newRow("B3 mm") << 2 << 11 << QRectF(0, 0, 13.9f * 20.78f, 19.7f * 20.78f)
                           << "353 x 500 mm";
}

void tst_PreviewWindow::sizeSelect()
{
    QFETCH(int, units);
    QFETCH(int, index);
    QFETCH(QRectF, area);

    Window t;
    t.w->scanArea()->UnitsCode = units;
    t.selectSize(index);
    QVERIFY2(nearRect(t.w->scanArea()->I32_Preview->areaRect(), area),
             qPrintable(describe(t.w->scanArea()->I32_Preview->areaRect())));
    QCOMPARE(t.w->scanArea()->I32_Preview->rubberRect(), t.w->scanArea()->I32_Preview->areaRect());
    QTEST(t.panel2(), "readout");
    QCOMPARE(t.w->scanSettings()->cmb_Size->currentIndex(), index);
}

void tst_PreviewWindow::customKeepsArea()
{
    Window t;
    t.selectSize(5);
    const QString text = t.panel2();
    t.selectSize(0);
    QVERIFY(nearRect(t.w->scanArea()->I32_Preview->areaRect(), A5AtStart));
    QCOMPARE(t.panel2(), text);
    QCOMPARE(t.w->scanSettings()->cmb_Size->currentIndex(), 0);
}

void tst_PreviewWindow::standardSizeAfterPreview()
{
    Window t;
    t.preview(FakeTwainControl::makePage(850, 1100)); // 8.5 x 11 in
    QTRY_COMPARE(t.w->StatusText, QStringLiteral("Ready"));
    t.w->scanArea()->UnitsCode = 2;
    t.selectSize(1);
    // From the image's top-left, even though 11.7 in is taller than the image.
    const float r = t.w->scanArea()->PreviewResolution;
    QVERIFY(nearRect(t.w->scanArea()->I32_Preview->areaRect(), QRectF(0, 0, 8.3f * r, 11.7f * r)));
    QVERIFY(t.w->scanArea()->I32_Preview->areaRect().bottom() >
            t.w->scanArea()->I32_Preview->layerRect().bottom());
    QCOMPARE(t.panel2(), QStringLiteral("211 x 297 mm"));
}

void tst_PreviewWindow::dragArea_data()
{
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QRectF>("expected");
    QTest::addColumn<int>("sizeIndex");

    const double w = A5AtStart.width();
    const double h = A5AtStart.height();
    auto r = [](double l, double t, double rr, double b) {
        return QRectF(QPointF(l, t), QPointF(rr, b));
    };
    QTest::newRow("corner, no Shift: Custom")
        << QPointF(120, 172) << QPointF(150, 200) << false << int(Qt::SizeFDiagCursor)
        << r(0, 0, w + 30, h + 28) << 0;
    QTest::newRow("corner, Shift: size kept")
        << QPointF(120, 172) << QPointF(150, 200) << true << int(Qt::SizeFDiagCursor)
        << r(0, 0, w + 30, h + 28) << 5;
    // A corner's handle reaches further than an edge's grip.
    QTest::newRow("corner grabbed a little inside")
        << QPointF(w - 6, h - 6) << QPointF(w + 4, h + 4) << false << int(Qt::SizeFDiagCursor)
        << r(0, 0, w + 10, h + 10) << 0;
    QTest::newRow("move past the right edge keeps the width")
        << QPointF(60, 86) << QPointF(260, 96) << false << int(Qt::SizeAllCursor)
        << r(279 - w, 10, 279, h + 10) << 0;
    QTest::newRow("move past the top-left") << QPointF(60, 86) << QPointF(20, 40) << false
                                            << int(Qt::SizeAllCursor) << r(0, 0, w, h) << 0;
    QTest::newRow("left side stops at the bound") << QPointF(0, 86) << QPointF(-40, 86) << false
                                                  << int(Qt::SizeHorCursor) << r(0, 0, w, h) << 0;
    QTest::newRow("bottom side stops at the pane")
        << QPointF(60, h) << QPointF(60, 600) << false << int(Qt::SizeVerCursor) << r(0, 0, w, 422)
        << 0;
    QTest::newRow("top side stops 1 pixel before the bottom")
        << QPointF(60, 0) << QPointF(60, 300) << false << int(Qt::SizeVerCursor)
        << r(0, h - 1, w, h) << 0;
    QTest::newRow("top-right corner") << QPointF(w, 1) << QPointF(w + 10, 30) << false
                                      << int(Qt::SizeBDiagCursor) << r(0, 29, w + 10, h) << 0;
    QTest::newRow("outside the area: nothing") << QPointF(200, 300) << QPointF(100, 100) << false
                                               << int(Qt::ArrowCursor) << r(0, 0, w, h) << 5;
}

void tst_PreviewWindow::dragArea()
{
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(bool, shift);
    QFETCH(int, cursor);
    QFETCH(QRectF, expected);

    Window t;
    PreviewPane *pane = t.startA5InMillimetres();

    // The cursor says what a drag from there would do.
    mouse(pane, QEvent::MouseMove, from, Qt::NoButton);
    QCOMPARE(int(pane->cursor().shape()), cursor);

    drag(pane, from, to, shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(pane->rubberRect(), pane->areaRect());
    t.compareArea(expected);
}

void tst_PreviewWindow::keyboardArea_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QRectF>("expected");
    QTest::addColumn<int>("sizeIndex");

    const double w = A5AtStart.width();
    const double h = A5AtStart.height();
    auto r = [](double l, double t, double rr, double b) {
        return QRectF(QPointF(l, t), QPointF(rr, b));
    };
    QTest::newRow("right moves one pixel: Custom")
        << int(Qt::Key_Right) << false << 1 << r(1, 0, w + 1, h) << 0;
    QTest::newRow("down three") << int(Qt::Key_Down) << false << 3 << r(0, 3, w, h + 3) << 0;
    QTest::newRow("left at the bound stays")
        << int(Qt::Key_Left) << false << 1 << r(0, 0, w, h) << 0;
    QTest::newRow("up at the bound stays") << int(Qt::Key_Up) << false << 1 << r(0, 0, w, h) << 0;
    QTest::newRow("moved against the right edge keeps the width")
        << int(Qt::Key_Right) << false << 300 << r(279 - w, 0, 279, h) << 0;
    QTest::newRow("moved against the bottom keeps the height")
        << int(Qt::Key_Down) << false << 400 << r(0, 422 - h, w, 422) << 0;
    QTest::newRow("Shift+right widens")
        << int(Qt::Key_Right) << true << 2 << r(0, 0, w + 2, h) << 0;
    QTest::newRow("Shift+left narrows") << int(Qt::Key_Left) << true << 2 << r(0, 0, w - 2, h) << 0;
    QTest::newRow("Shift+down stops at the pane")
        << int(Qt::Key_Down) << true << 400 << r(0, 0, w, 422) << 0;
    QTest::newRow("Shift+up stops 1 pixel below the top")
        << int(Qt::Key_Up) << true << 400 << r(0, 0, w, 1) << 0;
    QTest::newRow("Shift+right stops at the pane")
        << int(Qt::Key_Right) << true << 300 << r(0, 0, 279, h) << 0;
    QTest::newRow("other keys leave it") << int(Qt::Key_Home) << false << 1 << r(0, 0, w, h) << 5;
}

// With the focus on the preview the arrow keys do what a drag does, within the
// same limits.
void tst_PreviewWindow::keyboardArea()
{
    QFETCH(int, key);
    QFETCH(bool, shift);
    QFETCH(int, presses);
    QFETCH(QRectF, expected);

    Window t;
    PreviewPane *pane = t.startA5InMillimetres();
    pane->setFocus();
    QTRY_VERIFY(pane->hasFocus());
    for (int i = 0; i < presses; ++i)
        QTest::keyClick(pane, Qt::Key(key), shift ? Qt::ShiftModifier : Qt::NoModifier);
    t.compareArea(expected);
}

void tst_PreviewWindow::rulers_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("topTick");
    QTest::addColumn<QPoint>("leftTick");

    // A tick's last row or column, below or beside any number.
    QTest::newRow("inches") << 1 << "in" << QPoint(20, 14) << QPoint(14, 10);
    QTest::newRow("millimetres") << 2 << "mm" << QPoint(8, 14) << QPoint(14, 8);
}

void tst_PreviewWindow::rulers()
{
    QFETCH(int, units);
    QFETCH(QPoint, topTick);
    QFETCH(QPoint, leftTick);

    Window t;
    t.w->scanArea()->UnitsCode = units;
    t.w->scanArea()->DrawRuler(20.78f);
    QTEST(t.w->scanArea()->pnl_Spacer->text(), "caption");
    QCOMPARE(t.w->scanArea()->img_TopRuler->canvasImage().size(), QSize(279, 15));
    QCOMPARE(t.w->scanArea()->img_LeftRuler->canvasImage().size(), QSize(15, 422));
    QVERIFY(isBlack(t.w->scanArea()->img_TopRuler, 0, 14));
    QVERIFY(isBlack(t.w->scanArea()->img_TopRuler, topTick.x(), topTick.y()));
    QVERIFY(!isBlack(t.w->scanArea()->img_TopRuler, topTick.x() + 1, topTick.y()));
    QVERIFY(isBlack(t.w->scanArea()->img_LeftRuler, leftTick.x(), leftTick.y()));
    QVERIFY(!isBlack(t.w->scanArea()->img_LeftRuler, leftTick.x(), leftTick.y() + 1));

    // Any other units code leaves both rulers blank and the caption as it was.
    t.w->scanArea()->UnitsCode = 3;
    t.w->scanArea()->DrawRuler(20.78f);
    QVERIFY(isBlank(t.w->scanArea()->img_TopRuler));
    QVERIFY(isBlank(t.w->scanArea()->img_LeftRuler));
    QTEST(t.w->scanArea()->pnl_Spacer->text(), "caption");
}

// A larger window gives a larger preview with rulers to match; the scan area
// keeps its place on the page. Back at the design size, the design fit returns.
void tst_PreviewWindow::growingWindow()
{
    Window t;
    const QSize design = t.w->size();
    t.preview(FakeTwainControl::makePage(850, 1170));
    QTRY_COMPARE(t.w->StatusText, QStringLiteral("Ready"));
    PreviewPane *pane = t.w->scanArea()->I32_Preview;
    pane->setRubberRect(QRectF(20, 30, 100, 150));
    const QRectF inches =
        PreviewRules::areaInInches(pane->areaRect(), t.w->scanArea()->PreviewResolution);
    const auto sameInches = [&] {
        const QRectF now =
            PreviewRules::areaInInches(pane->areaRect(), t.w->scanArea()->PreviewResolution);
        return nearRect(now, inches, 1e-3);
    };

    t.w->resize(1300, 900);
    QTRY_VERIFY(pane->height() > 422);
    QVERIFY(pane->width() > 279);
    QCOMPARE(t.w->scanArea()->img_TopRuler->canvasImage().width(), pane->width());
    QCOMPARE(t.w->scanArea()->img_LeftRuler->canvasImage().height(), pane->height());
    // The image refitted: it fills the pane in one direction.
    const QSize shown = pane->layerImage().size();
    QVERIFY(shown.width() == pane->width() || shown.height() == pane->height());
    QVERIFY(shown.width() > 279 && shown.height() > 384);
    QVERIFY(t.w->scanArea()->PreviewResolution > 32.83f);
    QVERIFY(sameInches());
    QCOMPARE(pane->rubberRect(), pane->areaRect());
    // All of it inside the window, above the status bar.
    const QPoint bottom = pane->mapTo(t.w.get(), QPoint(0, pane->height()));
    QVERIFY(bottom.y() <= t.w->sb_Main->mapTo(t.w.get(), QPoint(0, 0)).y());

    t.w->resize(design);
    QTRY_COMPARE(pane->size(), QSize(279, 422));
    QCOMPARE(pane->layerImage().size(), QSize(279, 384));
    QVERIFY(qAbs(t.w->scanArea()->PreviewResolution - 32.8235f) < 1e-3f);
    QVERIFY(sameInches());
}

QTEST_MAIN(tst_PreviewWindow)
#include "tst_previewwindow.moc"
