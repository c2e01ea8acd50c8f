#include "gallery/PageListView.h"

#include "files/LocalFileName.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <memory>

PageListView::PageListView(QWidget *parent) : QListView(parent)
{
}

int PageListView::dropRowAt(const QPoint &pos) const
{
    const QModelIndex target = indexAt(pos);
    if (!target.isValid())
        return model()->rowCount();
    const QRect cell = visualRect(target);
    // Pages follow each other left to right and wrap: in a single column the
    // next page is below, otherwise beside.
    const bool oneColumn = viewport()->width() < 2 * cell.width();
    const bool after = oneColumn ? pos.y() > cell.center().y() : pos.x() > cell.center().x();
    return target.row() + (after ? 1 : 0);
}

QStringList PageListView::localFiles(const QMimeData *mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl &url : mime->urls()) {
        // From the URL's own bytes: toLocalFile() turns a name that is not UTF-8
        // into U+FFFD, and such a file could then not be opened.
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            continue;
        files.append(url.host().isEmpty() ? LocalFileName::decode(QByteArray::fromPercentEncoding(
                                                url.path(QUrl::FullyEncoded).toLatin1()))
                                          : url.toLocalFile());
    }
    return files;
}

void PageListView::acceptFiles(QDropEvent *event)
{
    if (event->source() == this || localFiles(event->mimeData()).isEmpty())
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PageListView::acceptOwnDrag(QDropEvent *event)
{
    if (event->source() != this)
        return;
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void PageListView::dragEnterEvent(QDragEnterEvent *event)
{
    QListView::dragEnterEvent(event);
    acceptOwnDrag(event);
    acceptFiles(event);
}

// The icon view accepts a move only over a page that takes drops; ours never do.
void PageListView::dragMoveEvent(QDragMoveEvent *event)
{
    QListView::dragMoveEvent(event);
    acceptOwnDrag(event);
    acceptFiles(event);
}

void PageListView::dropEvent(QDropEvent *event)
{
    if (event->source() != this) {
        const QStringList files = localFiles(event->mimeData());
        if (!files.isEmpty()) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
            stopAutoScroll();
            setState(NoState);
            viewport()->update();
            emit filesDropped(files);
            return;
        }
    }
    if (event->source() != this || !model()) {
        QListView::dropEvent(event);
        return;
    }
    const std::unique_ptr<QMimeData> rows(model()->mimeData(selectedIndexes()));
    const int row = dropRowAt(event->position().toPoint());
    model()->dropMimeData(rows.get(), Qt::MoveAction, row, 0, {});
    // The rows are moved already: nothing for the drag's source to remove.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
}
