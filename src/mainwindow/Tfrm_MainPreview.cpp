// The preview command, the rulers and the scan area.
#include "pages/BoxResampler.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/PreviewPane.h"
#include "session/PreviewRules.h"
#include "mainwindow/RulerWidget.h"
#include "mainwindow/StatusPanelBar.h"
#include "mainwindow/Tfrm_Main.h"
#include "widgets/UserPrompts.h"
#include "scanner/PageSizes.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QToolButton>

namespace {

Q_LOGGING_CATEGORY(lcPreview, "pagora.mainwindow.preview", QtWarningMsg)

constexpr int RulerFontHeight = 12; // text cell height in pixels
// The middle pane is this much wider than the preview pane (rulers, frame).
constexpr int MiddlePaneMargin = 61;

// The largest font of the ruler's family whose text cell fits the cell height.
QFont rulerFont(const QFont &base)
{
    QFont font = base;
    for (int px = RulerFontHeight; px > 4; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).height() <= RulerFontHeight)
            break;
    }
    return font;
}

void paintRuler(RulerWidget *ruler, const PreviewRules::RulerMarks &marks)
{
    QImage &canvas = ruler->canvas();
    const QColor face = ruler->palette().button().color();
    canvas.fill(face);
    QPainter p(&canvas);
    for (const QRect &tick : marks.ticks)
        p.fillRect(tick, Qt::black);
    p.setFont(rulerFont(ruler->font()));
    p.setPen(Qt::black);
    const QFontMetrics fm(p.font());
    for (const PreviewRules::RulerLabel &label : marks.labels) {
        // Numbers are written on an opaque cell, covering the tick beneath them.
        const QRect cell(label.at, QSize(fm.horizontalAdvance(label.text), RulerFontHeight));
        p.fillRect(cell, face);
        p.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter, label.text);
    }
    p.end();
    ruler->update();
}

} // namespace

void Tfrm_Main::ToolButtonPreviewClick()
{
    m_session->preview(cmb_Sources->currentIndex());
}

bool Tfrm_Main::LoadPreview(const QString &fname)
{
    QImageReader reader(fname);
    const QImage image = reader.read();
    PreviewRules::PreviewFit fit;
    if (image.isNull() || !PreviewRules::fitPreview(image.size(), I32_Preview->size(), &fit)) {
        // The previous image, area and rulers stay as they were.
        qCWarning(lcPreview) << "preview not readable:" << fname << reader.errorString();
        UserPrompts::showError(this,
                               tr("The preview image %1 cannot be read: %2", "PreviewNotReadable")
                                   .arg(fname, reader.errorString()));
        return false;
    }
    m_previewImage = image;
    m_previewResolution = m_session->ScanResolution();
    // The same box filter as the thumbnails: each pixel the mean of the area it covers.
    const QImage reduced = BoxResampler::resample(image, fit.reduced);
    I32_Preview->setLayer(fit.layer, reduced);
    I32_Preview->setAreaRect(fit.layer);
    PreviewResolution = PreviewRules::previewResolution(m_session->ScanResolution(), fit.scale);
    DrawRuler(PreviewResolution);
    // The scan area is now the whole preview image; the size item stays.
    I32_Preview->setRubberRect(fit.layer);
    return true;
}

void Tfrm_Main::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    growPreview();
}

void Tfrm_Main::growPreview()
{
    const QSize pane = PreviewRules::grownPane(size(), m_designSize);
    if (pane == I32_Preview->size())
        return;
    const float oldResolution = PreviewResolution;
    const QRectF area = I32_Preview->areaRect();
    const QRectF rubber = I32_Preview->rubberRect();
    gb_Preview->parentWidget()->setFixedWidth(pane.width() + MiddlePaneMargin);
    I32_Preview->setFixedSize(pane);
    img_TopRuler->setFixedWidth(pane.width());
    img_LeftRuler->setFixedHeight(pane.height());
    I32_Preview->createLayers(); // the drag limit is the pane's new size
    PreviewRules::PreviewFit fit;
    if (!m_previewImage.isNull() && PreviewRules::fitPreview(m_previewImage.size(), pane, &fit)) {
        I32_Preview->setLayer(fit.layer, BoxResampler::resample(m_previewImage, fit.reduced));
        PreviewResolution = PreviewRules::previewResolution(m_previewResolution, fit.scale);
    }
    // Before the first preview the resolution stays: the rulers show more of the bed.
    I32_Preview->setRubberRect(PreviewRules::rescaled(rubber, oldResolution, PreviewResolution));
    I32_Preview->setAreaRect(PreviewRules::rescaled(area, oldResolution, PreviewResolution));
    DrawRuler(PreviewResolution);
}

void Tfrm_Main::DrawRuler(float OurResolution)
{
    paintRuler(img_TopRuler,
               PreviewRules::topRuler(UnitsCode, OurResolution, img_TopRuler->length()));
    paintRuler(img_LeftRuler,
               PreviewRules::leftRuler(UnitsCode, OurResolution, img_LeftRuler->length()));
    const QString caption = PreviewRules::unitCaption(UnitsCode);
    if (!caption.isEmpty())
        pnl_Spacer->setText(caption);
}

void Tfrm_Main::cmb_SizeSelect(int index)
{
    if (index < 1 || index >= PageSizes::Count)
        return; // "Custom" keeps the area drawn
    const QRectF area = PreviewRules::standardSizeArea(index, PreviewResolution);
    I32_Preview->setAreaRect(area);
    I32_Preview->setRubberRect(area);
    // Shift held: the size display follows, the chosen item stays and nothing is
    // limited to the image (a size larger than the preview stays as large).
    QRectF proposed = area;
    RBResize(area, proposed, PreviewPane::NoDrag, true);
}

void Tfrm_Main::RBResize(const QRectF &OldLocation, QRectF &NewLocation, int DragState, bool Shift)
{
    NewLocation =
        PreviewRules::limitScanArea(OldLocation, NewLocation, DragState, I32_Preview->layerRect());
    sb_Main->setPanelText(2, PreviewRules::sizeReadout(NewLocation, PreviewResolution, UnitsCode));
    if (!Shift)
        cmb_Size->setCurrentIndex(0);
}
