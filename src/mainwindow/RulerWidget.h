#pragma once

#include <QImage>
#include <QWidget>

// A ruler beside the preview: shows a canvas that DrawRuler paints. The canvas
// keeps what was drawn until the next drawing, also when the units change.
class RulerWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RulerWidget)

public:
    static constexpr int Thickness = 15;

    explicit RulerWidget(Qt::Orientation orientation, QWidget *parent = nullptr);

    Qt::Orientation orientation() const { return m_orientation; }
    // Along the ruler, in pixels: the fixed length when one is set, so drawing
    // before the window is laid out still covers the whole ruler.
    int length() const;
    // The canvas at the ruler's size, for DrawRuler to paint into; call update() after.
    QImage &canvas();
    const QImage &canvasImage() const { return m_canvas; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Orientation m_orientation;
    QImage m_canvas;
};
