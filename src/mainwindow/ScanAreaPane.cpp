#include "mainwindow/ScanAreaPane.h"

#include "mainwindow/PreviewPane.h"
#include "mainwindow/RulerWidget.h"
#include "pages/BoxResampler.h"
#include "scanner/PageSizes.h"
#include "session/PreviewRules.h"
#include "session/ScanSession.h"
#include "widgets/AccessibleText.h"
#include "widgets/UserPrompts.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QVBoxLayout>

namespace {

Q_LOGGING_CATEGORY(lcPreview, "pagora.mainwindow.preview", QtWarningMsg)

constexpr int RulerFontHeight = 12; // text cell height in pixels
// The middle pane is this much wider than the preview pane (rulers, frame).
constexpr int MiddlePaneMargin = 61;
constexpr int MiddlePaneWidth = 344; // as designed, with its 4 pixel gap

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

void paintRuler(RulerWidget *ruler, int unitsCode, float resolution)
{
    const QFont font = rulerFont(ruler->font());
    const QFontMetrics fm(font);
    const auto width = [&fm](const QString &text) { return fm.horizontalAdvance(text); };
    const PreviewRules::RulerMarks marks =
        ruler->orientation() == Qt::Horizontal
            ? PreviewRules::topRuler(unitsCode, resolution, ruler->length(), width)
            : PreviewRules::leftRuler(unitsCode, resolution, ruler->length(), width);
    QImage &canvas = ruler->canvas();
    const QColor face = ruler->palette().button().color();
    canvas.fill(face);
    QPainter p(&canvas);
    for (const QRect &tick : marks.ticks)
        p.fillRect(tick, Qt::black);
    p.setFont(font);
    p.setPen(Qt::black);
    for (const PreviewRules::RulerLabel &label : marks.labels) {
        // Numbers are written on an opaque cell, covering the tick beneath them.
        p.fillRect(label.cell, face);
        if (!label.rotated) {
            p.drawText(label.cell, Qt::AlignCenter, label.text);
            continue;
        }
        p.save();
        p.translate(label.cell.left(), label.cell.bottom() + 1);
        p.rotate(-90);
        p.drawText(QRect(0, 0, label.cell.height(), label.cell.width()), Qt::AlignCenter,
                   label.text);
        p.restore();
    }
    p.end();
    ruler->update();
}

} // namespace

ScanAreaPane::ScanAreaPane(ScanSession *session, QWidget *parent)
    : QWidget(parent), m_session(session)
{
    setFixedWidth(MiddlePaneWidth - 4);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    gb_Preview = new QGroupBox;
    gb_Preview->setObjectName(QStringLiteral("gb_Preview"));
    auto *grid = new QGridLayout(gb_Preview);
    grid->setSpacing(0);
    pnl_Spacer = new QLabel;
    pnl_Spacer->setObjectName(QStringLiteral("pnl_Spacer"));
    pnl_Spacer->setFixedSize(17, 17);
    pnl_Spacer->setAlignment(Qt::AlignCenter);
    QFont small = pnl_Spacer->font();
    small.setPixelSize(9);
    pnl_Spacer->setFont(small);
    img_TopRuler = new RulerWidget(Qt::Horizontal);
    img_TopRuler->setObjectName(QStringLiteral("img_TopRuler"));
    img_LeftRuler = new RulerWidget(Qt::Vertical);
    img_LeftRuler->setObjectName(QStringLiteral("img_LeftRuler"));
    I32_Preview = new PreviewPane;
    // The design size: the example fit of a preview (279 x 422) relies on it. A
    // larger window makes it larger (growPreview).
    I32_Preview->setFixedSize(PreviewRules::PaneWidth, PreviewRules::PaneHeight);
    img_TopRuler->setFixedWidth(PreviewRules::PaneWidth);
    img_LeftRuler->setFixedHeight(PreviewRules::PaneHeight);
    grid->addWidget(pnl_Spacer, 0, 0, Qt::AlignBottom | Qt::AlignRight);
    grid->addWidget(img_TopRuler, 0, 1, Qt::AlignBottom);
    grid->addWidget(img_LeftRuler, 1, 0, Qt::AlignTop | Qt::AlignRight);
    grid->addWidget(I32_Preview, 1, 1, Qt::AlignTop | Qt::AlignLeft);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(2, 1);
    layout->addWidget(gb_Preview);

    I32_Preview->setResizeHook(
        [this](const QRectF &oldRect, QRectF &newRect, int dragState, bool shift) {
            RBResize(oldRect, newRect, dragState, shift);
        });
}

bool ScanAreaPane::LoadPreview(const QString &fname)
{
    QImageReader reader(fname);
    const QImage image = reader.read();
    PreviewRules::PreviewFit fit;
    if (image.isNull() || !PreviewRules::fitPreview(image.size(), I32_Preview->size(), &fit)) {
        // The previous image, area and rulers stay as they were.
        qCWarning(lcPreview) << "preview not readable:" << fname << reader.errorString();
        UserPrompts::showError(window(),
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

void ScanAreaPane::growPreview(const QSize &pane)
{
    if (pane == I32_Preview->size())
        return;
    const float oldResolution = PreviewResolution;
    const QRectF area = I32_Preview->areaRect();
    const QRectF rubber = I32_Preview->rubberRect();
    setFixedWidth(pane.width() + MiddlePaneMargin);
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

void ScanAreaPane::DrawRuler(float OurResolution)
{
    paintRuler(img_TopRuler, UnitsCode, OurResolution);
    paintRuler(img_LeftRuler, UnitsCode, OurResolution);
    const QString caption = PreviewRules::unitCaption(UnitsCode);
    if (!caption.isEmpty())
        pnl_Spacer->setText(caption);
}

void ScanAreaPane::cmb_SizeSelect(int index)
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

void ScanAreaPane::RBResize(const QRectF &OldLocation, QRectF &NewLocation, int DragState,
                            bool Shift)
{
    NewLocation =
        PreviewRules::limitScanArea(OldLocation, NewLocation, DragState, I32_Preview->layerRect());
    emit areaResized(PreviewRules::sizeReadout(NewLocation, PreviewResolution, UnitsCode), !Shift);
}

QRectF ScanAreaPane::areaInInches() const
{
    return PreviewRules::areaInInches(I32_Preview->areaRect(), PreviewResolution);
}

void ScanAreaPane::retranslateUi()
{
    gb_Preview->setTitle(tr("Preview", "gb_Preview"));
}

void ScanAreaPane::retranslateAccessible()
{
    AccessibleText::set(I32_Preview, tr("Scan area", "I32_Preview.AccessibleName"),
                        tr("Arrow keys move the scan area, Shift+arrow keys resize it.",
                           "I32_Preview.Description"));
}
