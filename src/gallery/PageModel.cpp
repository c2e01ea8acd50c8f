#include "gallery/PageModel.h"

#include "gallery/GalleryRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

QString samePath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

PageModel::PageModel(QObject *parent) : QAbstractListModel(parent)
{
    qRegisterMetaType<PageEntry>();
}

int PageModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant PageModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const PageEntry &e = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return e.caption;
    case Qt::DecorationRole:
        return e.thumbnail;
    case Qt::ToolTipRole:
        return e.pageFileWritten ? QDir::toNativeSeparators(e.pageFile) : e.pageFileError;
    case PageFileRole:
        return e.pageFile;
    case WorkingCopyRole:
        return e.workingCopy;
    case PageFileWrittenRole:
        return e.pageFileWritten;
    default:
        return {};
    }
}

bool PageModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    return value.toString() == m_entries.at(index.row()).caption;
}

Qt::ItemFlags PageModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

void PageModel::append(const PageEntry &entry)
{
    PageEntry e = entry;
    if (!e.pageFileWritten)
        e.thumbnail = markMissing(e.thumbnail);
    const int row = int(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.append(e);
    endInsertRows();
}

void PageModel::setText(const QString &workingCopy, const PageText &text)
{
    for (PageEntry &e : m_entries) {
        if (e.workingCopy == workingCopy)
            e.text = text;
    }
}

PageModel::RenameResult PageModel::rename(int row, const QString &newCaption)
{
    if (row < 0 || row >= m_entries.size())
        return RenameResult::Refused;
    PageEntry &e = m_entries[row];
    // Exact comparison: a change of letter case is a rename.
    if (newCaption == e.caption)
        return RenameResult::Unchanged;
    if (!GalleryRules::isPlainFileName(newCaption))
        return RenameResult::Refused;
    const QString target = QFileInfo(e.pageFile).dir().filePath(newCaption);
    // QFile::rename refuses an existing target, as the platform's rename does.
    if (!QFile::rename(e.pageFile, target))
        return RenameResult::Refused;
    // A working copy that is the page file itself moved with it.
    if (samePath(e.workingCopy) == samePath(e.pageFile))
        e.workingCopy = target;
    e.pageFile = target;
    e.caption = newCaption;
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
    return RenameResult::Renamed;
}

void PageModel::deletePages(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : std::as_const(rows)) {
        if (row < 0 || row >= m_entries.size())
            continue;
        const PageEntry &e = m_entries.at(row);
        // The working copy goes only when the page file is gone: a page file that
        // could not be deleted keeps its copy. One that was never written or was
        // removed from outside leaves nothing to keep the copy for.
        // A page file never written is not ours: whatever holds its name now stays.
        if (e.pageFileWritten)
            QFile::remove(e.pageFile);
        if (!e.pageFileWritten || !QFileInfo::exists(e.pageFile))
            QFile::remove(e.workingCopy);
    }
    // Every selected entry leaves the list, also those whose file stayed.
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        if (*it < 0 || *it >= m_entries.size())
            continue;
        beginRemoveRows({}, *it, *it);
        m_entries.removeAt(*it);
        endRemoveRows();
    }
}

void PageModel::noteWorkingCopy(const QString &path)
{
    m_workingCopies.insert(samePath(path));
}

bool PageModel::isPageFile(const QString &path) const
{
    const QString p = samePath(path);
    return std::any_of(m_entries.cbegin(), m_entries.cend(),
                       [&p](const PageEntry &e) { return samePath(e.pageFile) == p; });
}

QStringList PageModel::cleanUp()
{
    QSet<QString> keep;
    QStringList onlyCopies;
    for (const PageEntry &e : std::as_const(m_entries)) {
        keep.insert(samePath(e.pageFile));
        if (!e.pageFileWritten && QFileInfo::exists(e.workingCopy)) {
            keep.insert(samePath(e.workingCopy));
            onlyCopies.append(e.workingCopy);
        }
    }
    for (const QString &copy : std::as_const(m_workingCopies)) {
        if (!keep.contains(copy))
            QFile::remove(copy);
    }
    m_workingCopies.clear();
    return onlyCopies;
}

QImage PageModel::markMissing(const QImage &thumbnail)
{
    QImage marked = thumbnail.isNull() ? QImage(GalleryRules::CellWidth, GalleryRules::CellHeight,
                                                QImage::Format_RGB32)
                                       : thumbnail.convertToFormat(QImage::Format_RGB32);
    if (thumbnail.isNull())
        marked.fill(Qt::white);
    // A small warning triangle at the bottom-right: this page's file is missing.
    QPainter p(&marked);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(marked.width() - 22, marked.height() - 20, 20, 18);
    QPainterPath triangle;
    triangle.moveTo(box.center().x(), box.top());
    triangle.lineTo(box.bottomRight());
    triangle.lineTo(box.bottomLeft());
    triangle.closeSubpath();
    p.fillPath(triangle, QColor(230, 160, 0));
    p.setPen(QPen(Qt::black, 1));
    p.drawPath(triangle);
    p.fillRect(QRectF(box.center().x() - 1, box.top() + 5, 2, 7), Qt::black);
    p.fillRect(QRectF(box.center().x() - 1, box.top() + 14, 2, 2), Qt::black);
    return marked;
}
