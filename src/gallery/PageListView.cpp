#include "gallery/PageListView.h"

#include "files/LocalFileName.h"
#include "pages/PageModel.h"
#include "pages/Thumbnail.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QWheelEvent>
#include <memory>

PageListView::PageListView(QWidget *parent) : QListView(parent)
{
    m_sizeMenu = new QMenu(this);
    m_sizeMenu->menuAction()->setObjectName(QStringLiteral("Action_ThumbnailSize"));
    const auto command = [this](const char *name, const QKeySequence &keys, int steps) {
        auto *a = m_sizeMenu->addAction(QString());
        a->setObjectName(QLatin1String(name));
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, [this, steps] {
            setThumbnailCell(steps == 0 ? Thumbnail::defaultCell()
                                        : Thumbnail::zoomed(m_cell, steps));
        });
        return a;
    };
    Action_ZoomIn = command("Action_ZoomIn", QKeySequence::ZoomIn, 1);
    Action_ZoomOut = command("Action_ZoomOut", QKeySequence::ZoomOut, -1);
    Action_ZoomReset = command("Action_ZoomReset", QKeySequence(Qt::CTRL | Qt::Key_0), 0);
    // Ctrl+= too: the plus sign needs Shift on most keyboards.
    Action_ZoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    retranslateUi();

    QSize cell = Thumbnail::defaultCell();
    int width = 0;
    const QList<QSize> steps = Thumbnail::cellSteps();
    if (SettingsStore().readIntegerInRange(QLatin1String(SettingsStore::ThumbnailWidth),
                                           steps.first().width(), steps.last().width(), width))
        cell = Thumbnail::cellForWidth(width);
    applyCell(cell);
}

QAction *PageListView::thumbnailSizeMenu() const
{
    return m_sizeMenu->menuAction();
}

void PageListView::retranslateUi()
{
    m_sizeMenu->setTitle(tr("Thumbnail size", "Action_ThumbnailSize"));
    Action_ZoomIn->setText(tr("Larger thumbnails", "Action_ZoomIn"));
    Action_ZoomOut->setText(tr("Smaller thumbnails", "Action_ZoomOut"));
    Action_ZoomReset->setText(tr("Usual size", "Action_ZoomReset"));
}

void PageListView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QListView::changeEvent(event);
}

void PageListView::applyCell(const QSize &cell)
{
    m_cell = cell;
    setIconSize(cell);
    Action_ZoomIn->setEnabled(Thumbnail::zoomed(cell, 1) != cell);
    Action_ZoomOut->setEnabled(Thumbnail::zoomed(cell, -1) != cell);
    Action_ZoomReset->setEnabled(cell != Thumbnail::defaultCell());
    if (auto *pages = qobject_cast<PageModel *>(model()))
        pages->setThumbnailCell(cell, devicePixelRatioF());
}

void PageListView::setThumbnailCell(const QSize &cell)
{
    const QSize step = Thumbnail::cellForWidth(cell.width());
    if (step == m_cell)
        return;
    applyCell(step);
    SettingsStore().WriteInteger(QLatin1String(SettingsStore::ThumbnailWidth), step.width());
}

void PageListView::zoom(int steps)
{
    setThumbnailCell(Thumbnail::zoomed(m_cell, steps));
}

void PageListView::setModel(QAbstractItemModel *model)
{
    if (auto *old = qobject_cast<PageModel *>(this->model()))
        disconnect(old, &PageModel::thumbnailsRemade, this, nullptr);
    QListView::setModel(model);
    if (auto *pages = qobject_cast<PageModel *>(model)) {
        // Cells follow their new pictures.
        connect(pages, &PageModel::thumbnailsRemade, this,
                [this] { scheduleDelayedItemsLayout(); });
        applyCell(m_cell);
    }
}

void PageListView::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    // The screen, and with it the pixel ratio, is known once the window is shown.
    applyCell(m_cell);
}

void PageListView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QListView::wheelEvent(event);
        return;
    }
    // One step per notch (120 eighths of a degree), however finely the wheel reports.
    m_wheelDelta += event->angleDelta().y();
    const int steps = m_wheelDelta / 120;
    m_wheelDelta -= steps * 120;
    if (steps != 0)
        zoom(steps);
    event->accept();
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
