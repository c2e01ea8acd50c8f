#pragma once

#include <QListView>
#include <QStringList>

class QMimeData;

// The image list. Pages dragged within it are put in their new place through the
// model (its mime data and moveRows): the icon view on its own would only move
// the pictures on the screen and leave the order, and the PDF, as they were.
// Local files dragged in from elsewhere (a file manager) are handed on to be
// added, as if chosen with "Add files...".
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

    // The local files a drag carries, in its order; empty when it carries none
    // (a drag of this list's own pages, text, remote addresses).
    static QStringList localFiles(const QMimeData *mime);

signals:
    void filesDropped(const QStringList &files);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Pages of this list may be dropped anywhere in it.
    void acceptOwnDrag(QDropEvent *event);
    // Files from elsewhere are copied in, never moved: the drag's source keeps them.
    void acceptFiles(QDropEvent *event);
};
