#pragma once

#include <QPixmap>
#include <QWidget>

// The picture box of the preview window: the picture scaled up or down to the
// largest size that fits with its aspect ratio kept, drawn at the top-left
// corner (not centred).
class PreviewImage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewImage)

public:
    explicit PreviewImage(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    QSize pictureSize() const { return m_picture.size(); }
    // Where the picture is drawn now, in widget coordinates.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
};
