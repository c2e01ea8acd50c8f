#pragma once

#include <QListView>
#include <QStringList>

class QAction;
class QMenu;
class QMimeData;

// The image list. Pages dragged within it are put in their new place through the
// model (its mime data and moveRows): the icon view on its own would only move
// the pictures on the screen and leave the order, and the PDF, as they were.
// Local files dragged in from elsewhere (a file manager) are handed on to be
// added, as if chosen with "Add files...".
//
// The thumbnails grow and shrink in steps with Ctrl+wheel and the zoom
// commands; the size is kept in the settings (ThumbnailWidth) for the next run.
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

    // The thumbnail cell the list shows, in logical pixels.
    QSize thumbnailCell() const { return m_cell; }
    // Shows cell (snapped to a step) and stores it in the settings.
    void setThumbnailCell(const QSize &cell);
    // Larger (positive steps) or smaller thumbnails.
    void zoom(int steps);

    void setModel(QAbstractItemModel *model) override;

    // "Thumbnail size" with its three commands, for the list's context menu; once
    // added to the list, their shortcuts (Ctrl++, Ctrl+-, Ctrl+0) work while it
    // has the focus.
    QAction *thumbnailSizeMenu() const;
    QAction *Action_ZoomIn = nullptr;
    QAction *Action_ZoomOut = nullptr;
    QAction *Action_ZoomReset = nullptr;

signals:
    void filesDropped(const QStringList &files);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Pages of this list may be dropped anywhere in it.
    void acceptOwnDrag(QDropEvent *event);
    // Files from elsewhere are copied in, never moved: the drag's source keeps them.
    void acceptFiles(QDropEvent *event);
    // The cell shown and given to the model, for this screen's pixel ratio.
    void applyCell(const QSize &cell);
    void retranslateUi();

    QSize m_cell;
    QMenu *m_sizeMenu = nullptr;
    int m_wheelDelta = 0; // a fine-stepping wheel's eighths of a degree toward the next step
};
