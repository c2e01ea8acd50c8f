#pragma once

#include <QImage>
#include <QRectF>
#include <QWidget>

#include <functional>

// The preview image with the scan area on top. Three layers in the pane's own
// pixel coordinates: Layer (the reduced preview image; its rectangle bounds the
// scan area), AreaLayer (the scan area) and RubberLayer (the rectangle the user
// drags; AreaLayer follows it).
class PreviewPane final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewPane)

public:
    // Called with the old and the proposed rectangle before a drag is applied;
    // it may correct the proposal. dragState: 1 move, 2 left, 3 top, 4 right,
    // 5 bottom, 6 top-left, 7 top-right, 8 bottom-left, 9 bottom-right.
    using ResizeHook = std::function<void(const QRectF &oldRect, QRectF &newRect, int dragState,
                                          bool shift)>;

    explicit PreviewPane(QWidget *parent = nullptr);

    // Start-up: all three layers cover the whole pane.
    void createLayers();

    QRectF layerRect() const { return m_layerRect; }
    void setLayer(const QRectF &rect, const QImage &image);
    QImage layerImage() const { return m_layerImage; }

    QRectF areaRect() const { return m_areaRect; }
    void setAreaRect(const QRectF &rect);
    QRectF rubberRect() const { return m_rubberRect; }
    void setRubberRect(const QRectF &rect);

    void setResizeHook(ResizeHook hook) { m_hook = std::move(hook); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF m_layerRect;
    QImage m_layerImage;
    QRectF m_areaRect;
    QRectF m_rubberRect;
    ResizeHook m_hook;
};
