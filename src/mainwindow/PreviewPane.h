#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>
#include <functional>

// The preview image with the scan area on top. Three layers in the pane's own
// pixel coordinates: Layer (the reduced preview image; its rectangle bounds the
// scan area), AreaLayer (the scan area) and RubberLayer (the rectangle the user
// drags; AreaLayer follows it).
//
// The rubber band moves as a whole when dragged inside and resizes at its four
// sides and four corners, where handles are drawn. While dragging it never gets
// smaller than 1 x 1 pixel nor larger than the pane was when the layers were made.
// With the keyboard focus, the arrow keys move it by one pixel and Shift+arrows
// move its right or bottom edge, within the same limits.
class PreviewPane final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewPane)

public:
    // What a drag changes.
    enum DragState
    {
        NoDrag = 0,
        Move = 1,
        LeftSide = 2,
        TopSide = 3,
        RightSide = 4,
        BottomSide = 5,
        TopLeft = 6,
        TopRight = 7,
        BottomLeft = 8,
        BottomRight = 9
    };

    // Called with the old and the proposed rectangle before a drag is applied;
    // it may correct the proposal. shift: the Shift key is held.
    using ResizeHook =
        std::function<void(const QRectF &oldRect, QRectF &newRect, int dragState, bool shift)>;

    explicit PreviewPane(QWidget *parent = nullptr);

    // Start-up: all three layers cover the whole pane, whose size becomes the
    // largest the rubber band can be dragged to.
    void createLayers();

    QRectF layerRect() const { return m_layerRect; }
    void setLayer(const QRectF &rect, const QImage &image);
    QImage layerImage() const { return m_layerImage; }

    QRectF areaRect() const { return m_areaRect; }
    void setAreaRect(const QRectF &rect);
    QRectF rubberRect() const { return m_rubberRect; }
    // The scan area follows.
    void setRubberRect(const QRectF &rect);

    void setResizeHook(ResizeHook hook) { m_hook = std::move(hook); }

    // What a press at pos would drag; NoDrag outside the rubber band.
    DragState dragStateAt(const QPointF &pos) const;
    static Qt::CursorShape cursorFor(DragState state);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QRectF dragged(const QPointF &pos) const;
    // start with the edges of state moved by d, within the drag limits.
    QRectF shifted(const QRectF &start, const QPointF &d, DragState state) const;
    // The hook corrects the proposal, then the rubber band takes it.
    void applyProposal(QRectF proposed, DragState state, bool shift);
    QVector<QRectF> handleRects() const;

    QRectF m_layerRect;
    QImage m_layerImage;
    QRectF m_areaRect;
    QRectF m_rubberRect;
    QSizeF m_maxSize;
    ResizeHook m_hook;
    DragState m_drag = NoDrag;
    QPointF m_dragStart;
    QRectF m_dragStartRect;
};
