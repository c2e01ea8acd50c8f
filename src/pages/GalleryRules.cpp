#include "pages/GalleryRules.h"

#include <QDir>

namespace GalleryRules {

QSize thumbnailSize(int w, int h)
{
    return thumbnailSize(w, h, QSize(CellWidth, CellHeight));
}

QSize thumbnailSize(int w, int h, const QSize &cell)
{
    if (w <= 0 || h <= 0)
        return QSize(0, 0);
    // 64-bit products: a page side times the cell side must not overflow.
    if (w > h)
        return QSize(cell.width(), int(qint64(h) * cell.width() / w));
    return QSize(int(qint64(w) * cell.height() / h), cell.height());
}

QPoint thumbnailOffset(const QSize &size)
{
    return thumbnailOffset(size, QSize(CellWidth, CellHeight));
}

QPoint thumbnailOffset(const QSize &size, const QSize &cell)
{
    // C++ integer division truncates toward zero, as the cell rule wants (-15 / 2 == -7).
    return QPoint((cell.width() - size.width()) / 2, (cell.height() - size.height()) / 2);
}

QSize fitProportional(const QSize &picture, const QSize &box)
{
    const qint64 pw = picture.width();
    const qint64 ph = picture.height();
    const qint64 bw = qMax(0, box.width());
    const qint64 bh = qMax(0, box.height());
    if (pw <= 0 || ph <= 0)
        return QSize(0, 0);
    qint64 w = 0;
    qint64 h = 0;
    if (pw > ph) {
        w = bw;
        h = ph * bw / pw;
        if (h > bh) {
            h = bh;
            w = pw * bh / ph;
        }
    } else {
        h = bh;
        w = pw * bh / ph;
        if (w > bw) {
            w = bw;
            h = ph * bw / pw;
        }
    }
    return QSize(int(w), int(h));
}

bool readsAsTiff(const QString &caption)
{
    return caption.contains(QLatin1String(".tif"), Qt::CaseSensitive);
}

bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return false;
    // Either separator would leave the folder on Windows.
    if (QDir::separator() == QLatin1Char('\\') && name.contains(QLatin1Char('\\')))
        return false;
    return name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace GalleryRules
