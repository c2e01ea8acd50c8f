#include "mainwindow/RulerWidget.h"

#include <QPainter>

RulerWidget::RulerWidget(Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent), m_orientation(orientation)
{
    if (orientation == Qt::Horizontal)
        setFixedHeight(Thickness);
    else
        setFixedWidth(Thickness);
}

int RulerWidget::length() const
{
    if (m_orientation == Qt::Horizontal)
        return minimumWidth() == maximumWidth() ? minimumWidth() : width();
    return minimumHeight() == maximumHeight() ? minimumHeight() : height();
}

QImage &RulerWidget::canvas()
{
    const QSize wanted =
        m_orientation == Qt::Horizontal ? QSize(length(), Thickness) : QSize(Thickness, length());
    if (m_canvas.size() != wanted) {
        m_canvas = QImage(wanted, QImage::Format_RGB32);
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
