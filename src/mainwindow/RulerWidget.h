#pragma once

#include <QImage>
#include <QWidget>

// A ruler beside the preview: shows a canvas that DrawRuler paints.
class RulerWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RulerWidget)

public:
    explicit RulerWidget(Qt::Orientation orientation, QWidget *parent = nullptr);

    Qt::Orientation orientation() const { return m_orientation; }
    // The canvas at the ruler's current size, for DrawRuler to paint into.
    QImage &canvas();
    const QImage &canvasImage() const { return m_canvas; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Orientation m_orientation;
    QImage m_canvas;
};
