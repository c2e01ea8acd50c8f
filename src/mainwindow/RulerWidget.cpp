#include "mainwindow/RulerWidget.h"

#include <QPainter>

RulerWidget::RulerWidget(Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent), m_orientation(orientation)
{
    if (orientation == Qt::Horizontal)
        setFixedHeight(15);
    else
        setFixedWidth(15);
}

QImage &RulerWidget::canvas()
{
    if (m_canvas.size() != size()) {
        m_canvas = QImage(size(), QImage::Format_RGB32);
        m_canvas.fill(palette().button().color());
    }
    return m_canvas;
}

void RulerWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    if (!m_canvas.isNull())
        p.drawImage(0, 0, m_canvas);
}
