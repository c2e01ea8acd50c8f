#include "gallery/PreviewImage.h"

#include "pages/GalleryRules.h"

#include <QPainter>

PreviewImage::PreviewImage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Image"));
    // Any size: the window decides, the picture follows.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

void PreviewImage::setPicture(const QImage &picture)
{
    m_picture = QPixmap::fromImage(picture);
    update();
}

QRect PreviewImage::pictureRect() const
{
    if (m_picture.isNull())
        return QRect();
    return QRect(QPoint(0, 0), GalleryRules::fitProportional(m_picture.size(), size()));
}

void PreviewImage::paintEvent(QPaintEvent *)
{
    const QRect target = pictureRect();
    if (target.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, m_picture);
}
