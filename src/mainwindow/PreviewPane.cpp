#include "mainwindow/PreviewPane.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// How far from an edge a press still grabs it, in pixels.
constexpr double GrabDistance = 4;
// Corners reach further along their edges, so they are easy to hit; on a small
// area less far, so that its middle still moves it.
constexpr double CornerReach = 8;
// Side of the square handles.
constexpr double HandleSize = 5;
// Rubber band limits while dragging.
constexpr double MinimumSide = 1;

bool movesLeft(int s)
{
    return s == PreviewPane::LeftSide || s == PreviewPane::TopLeft || s == PreviewPane::BottomLeft;
}
bool movesRight(int s)
{
    return s == PreviewPane::RightSide || s == PreviewPane::TopRight ||
           s == PreviewPane::BottomRight;
}
bool movesTop(int s)
{
    return s == PreviewPane::TopSide || s == PreviewPane::TopLeft || s == PreviewPane::TopRight;
}
bool movesBottom(int s)
{
    return s == PreviewPane::BottomSide || s == PreviewPane::BottomLeft ||
           s == PreviewPane::BottomRight;
}

} // namespace

PreviewPane::PreviewPane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("I32_Preview"));
    setAutoFillBackground(true);
    setMouseTracking(true);          // the cursor tells what a drag would do before the press
    setFocusPolicy(Qt::StrongFocus); // the arrow keys move the scan area
    m_maxSize = size();
}

void PreviewPane::createLayers()
{
    const QRectF all(0, 0, width(), height());
    m_maxSize = all.size();
    m_layerRect = all;
    m_areaRect = all;
    m_rubberRect = all;
    update();
}

void PreviewPane::setLayer(const QRectF &rect, const QImage &image)
{
    m_layerRect = rect;
    m_layerImage = image;
    update();
}

void PreviewPane::setAreaRect(const QRectF &rect)
{
    m_areaRect = rect;
    update();
}

void PreviewPane::setRubberRect(const QRectF &rect)
{
    m_rubberRect = rect;
    m_areaRect = rect;
    update();
}

PreviewPane::DragState PreviewPane::dragStateAt(const QPointF &pos) const
{
    const QRectF r = m_rubberRect;
    const QRectF grabbable = r.adjusted(-GrabDistance, -GrabDistance, GrabDistance, GrabDistance);
    if (!grabbable.contains(pos))
        return NoDrag;
    // The nearer edge wins where a small rectangle's grab zones overlap.
    const double toLeft = std::abs(pos.x() - r.left());
    const double toRight = std::abs(pos.x() - r.right());
    const double toTop = std::abs(pos.y() - r.top());
    const double toBottom = std::abs(pos.y() - r.bottom());
    const bool leftNearer = toLeft < toRight;
    const bool topNearer = toTop < toBottom;
    const double toSide = leftNearer ? toLeft : toRight;
    const double toEnd = topNearer ? toTop : toBottom;
    const double cornerReach =
        std::max(GrabDistance, std::min(CornerReach, std::min(r.width(), r.height()) / 3));
    if (toSide <= cornerReach && toEnd <= cornerReach) {
        if (topNearer)
            return leftNearer ? TopLeft : TopRight;
        return leftNearer ? BottomLeft : BottomRight;
    }
    if (toEnd <= GrabDistance)
        return topNearer ? TopSide : BottomSide;
    if (toSide <= GrabDistance)
        return leftNearer ? LeftSide : RightSide;
    return r.contains(pos) ? Move : NoDrag;
}

Qt::CursorShape PreviewPane::cursorFor(DragState state)
{
    switch (state) {
    case Move:
        return Qt::SizeAllCursor;
    case LeftSide:
    case RightSide:
        return Qt::SizeHorCursor;
    case TopSide:
    case BottomSide:
        return Qt::SizeVerCursor;
    case TopLeft:
    case BottomRight:
        return Qt::SizeFDiagCursor;
    case TopRight:
    case BottomLeft:
        return Qt::SizeBDiagCursor;
    case NoDrag:
        break;
    }
    return Qt::ArrowCursor;
}

QRectF PreviewPane::dragged(const QPointF &pos) const
{
    return shifted(m_dragStartRect, pos - m_dragStart, m_drag);
}

QRectF PreviewPane::shifted(const QRectF &s, const QPointF &d, DragState state) const
{
    if (state == Move)
        return s.translated(d);
    double left = s.left();
    double top = s.top();
    double right = s.right();
    double bottom = s.bottom();
    const double maxW = m_maxSize.width();
    const double maxH = m_maxSize.height();
    // The dragged edge stops 1 pixel before the opposite one and at the largest size.
    if (movesLeft(state))
        left = std::max(std::min(left + d.x(), right - MinimumSide), right - maxW);
    if (movesRight(state))
        right = std::min(std::max(right + d.x(), left + MinimumSide), left + maxW);
    if (movesTop(state))
        top = std::max(std::min(top + d.y(), bottom - MinimumSide), bottom - maxH);
    if (movesBottom(state))
        bottom = std::min(std::max(bottom + d.y(), top + MinimumSide), top + maxH);
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

void PreviewPane::applyProposal(QRectF proposed, DragState state, bool shift)
{
    if (m_hook)
        m_hook(m_rubberRect, proposed, state, shift);
    if (proposed != m_rubberRect)
        setRubberRect(proposed);
}

void PreviewPane::keyPressEvent(QKeyEvent *event)
{
    // One pane pixel per key press: arrows move the area, Shift+arrows move its
    // right or bottom edge. The same limits as a drag apply.
    QPointF d;
    switch (event->key()) {
    case Qt::Key_Left:
        d = QPointF(-1, 0);
        break;
    case Qt::Key_Right:
        d = QPointF(1, 0);
        break;
    case Qt::Key_Up:
        d = QPointF(0, -1);
        break;
    case Qt::Key_Down:
        d = QPointF(0, 1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier && mods != Qt::ShiftModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    DragState state = Move;
    if (mods == Qt::ShiftModifier)
        state = d.x() != 0 ? RightSide : BottomSide;
    // Shift here chooses resizing; it is not the drag's "keep the size item".
    applyProposal(shifted(m_rubberRect, d, state), state, false);
    event->accept();
}

void PreviewPane::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_drag = dragStateAt(event->position());
    m_dragStart = event->position();
    m_dragStartRect = m_rubberRect;
    setCursor(cursorFor(m_drag));
    event->accept();
}

void PreviewPane::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag == NoDrag || !(event->buttons() & Qt::LeftButton)) {
        setCursor(cursorFor(dragStateAt(event->position())));
        return;
    }
    applyProposal(dragged(event->position()), m_drag,
                  event->modifiers().testFlag(Qt::ShiftModifier));
    event->accept();
}

void PreviewPane::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_drag = NoDrag;
        setCursor(cursorFor(dragStateAt(event->position())));
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

QVector<QRectF> PreviewPane::handleRects() const
{
    const QRectF r = m_rubberRect;
    const QPointF points[] = {r.topLeft(),     QPointF(r.center().x(), r.top()),
                              r.topRight(),    QPointF(r.right(), r.center().y()),
                              r.bottomRight(), QPointF(r.center().x(), r.bottom()),
                              r.bottomLeft(),  QPointF(r.left(), r.center().y())};
    QVector<QRectF> handles;
    // Kept inside the pane, so the handles of an area that fills it stay visible.
    const double maxX = std::max(0.0, width() - HandleSize);
    const double maxY = std::max(0.0, height() - HandleSize);
    for (const QPointF &p : points) {
        const double x = std::clamp(std::floor(p.x() - HandleSize / 2), 0.0, maxX);
        const double y = std::clamp(std::floor(p.y() - HandleSize / 2), 0.0, maxY);
        handles.append(QRectF(x, y, HandleSize, HandleSize));
    }
    return handles;
}

void PreviewPane::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!m_layerImage.isNull())
        p.drawImage(0, 0, m_layerImage);

    // Dim what lies outside the scan area, so the area stands out on any image.
    const QRectF area = m_rubberRect.normalized();
    QRegion outside(rect());
    outside -= QRegion(area.toAlignedRect());
    p.save();
    p.setClipRegion(outside);
    p.fillRect(rect(), QColor(0, 0, 0, 60));
    p.restore();

    // Outline in white under black dashes, visible on light and dark pages.
    const QRectF outline = area.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 0));
    p.drawRect(outline);
    p.setPen(QPen(Qt::black, 0, Qt::DashLine));
    p.drawRect(outline);

    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::white);
    for (const QRectF &h : handleRects())
        p.drawRect(h.adjusted(0.5, 0.5, -0.5, -0.5));

    // The keyboard works on the area only while the pane has the focus: show it.
    if (hasFocus()) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(palette().highlight().color(), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void PreviewPane::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void PreviewPane::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}
