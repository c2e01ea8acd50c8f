#include "mainwindow/PreviewPane.h"

#include <QPainter>

PreviewPane::PreviewPane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("I32_Preview"));
    setAutoFillBackground(true);
}

void PreviewPane::createLayers()
{
    const QRectF all(0, 0, width(), height());
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

void PreviewPane::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!m_layerImage.isNull())
        p.drawImage(0, 0, m_layerImage);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(m_rubberRect.adjusted(0, 0, -1, -1));
}
