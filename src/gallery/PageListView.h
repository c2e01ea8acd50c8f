#pragma once

#include <QListView>

// The image list. Pages dragged within it are put in their new place through the
// model (its mime data and moveRows): the icon view on its own would only move
// the pictures on the screen and leave the order, and the PDF, as they were.
class PageListView final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageListView)

public:
    explicit PageListView(QWidget *parent = nullptr);

    // The row the dragged pages go before when dropped at pos (viewport
    // coordinates): before the page under it, or after it from its middle on;
    // the end on empty space.
    int dropRowAt(const QPoint &pos) const;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Pages of this list may be dropped anywhere in it.
    void acceptOwnDrag(QDropEvent *event);
};
