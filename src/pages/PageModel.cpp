#include "pages/PageModel.h"

#include "files/AtomicFile.h"
#include "files/FileCommit.h"
#include "i18n/SystemErrorText.h"
#include "imaging/ImageFileReader.h"
#include "pages/FileNaming.h"
#include "pages/GalleryRules.h"
#include "pages/PageImport.h"
#include "pages/PageRotation.h"
#include "pages/Thumbnail.h"
#include "pages/WorkerShare.h"
#include "pages/WorkingCopies.h"
#include "scanner/PageImageWriter.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPersistentModelIndex>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <numeric>

namespace {

const QString RowsMimeType = QStringLiteral("application/x-pagora-page-rows");

// Before a view says what it shows, the first rows count as shown.
constexpr int DefaultShownRows = 48;
// Cells kept at most: a few screenfuls, and no more memory than this.
constexpr int MaxHeldCells = 400;
constexpr qint64 HeldCellsBytes = qint64(32) << 20;

QString samePath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

PageModel::PageModel(QObject *parent) : QAbstractListModel(parent), m_cell(Thumbnail::defaultCell())
{
    qRegisterMetaType<PageEntry>();
    // Two cells at a time: a large page takes tens of milliseconds to resample.
    m_thumbnailPool.setMaxThreadCount(2);
    m_placeholder = Thumbnail::cell(QImage(), cellPixels());
}

PageModel::~PageModel()
{
    m_thumbnailQueue.clear();
    m_thumbnailPool.clear();
    m_thumbnailPool.waitForDone();
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
        // A page held in memory says so under its picture: closing loses it.
        return e.heldInMemory() ? tr("%1 (not saved)", "NotSavedCaption").arg(e.caption)
                                : e.caption;
    case Qt::EditRole:
        return e.caption;
    case Qt::DecorationRole: {
        const auto busy = m_busy.find(e.id);
        if (busy != m_busy.end()) {
            // Dimmed when first shown: a thousand pages made busy at once are
            // mostly out of view.
            if (busy->isNull())
                *busy = e.thumbnail.isNull() ? m_busyPlaceholder : dimmed(e.thumbnail);
            return *busy;
        }
        return e.thumbnail.isNull() ? m_placeholder : e.thumbnail;
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return e.pageFileWritten ? QDir::toNativeSeparators(e.pageFile) : e.pageFileError;
    case Qt::AccessibleTextRole:
        // A screen reader says what the picture shows a sighted user: the
        // caption, and that the page file is missing.
        {
            const QString text =
                e.pageFileWritten ? e.caption
                                  : tr("%1, not saved", "AccessibleText.NotSaved").arg(e.caption);
            return m_busy.contains(e.id) ? tr("%1, busy", "AccessibleText.Busy").arg(text) : text;
        }
    case BusyRole:
        return m_busy.contains(e.id);
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
    // Drops go between entries, never onto one.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
}

bool PageModel::moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                         const QModelIndex &destinationParent, int destinationChild)
{
    const int n = int(m_entries.size());
    if (sourceParent.isValid() || destinationParent.isValid() || count <= 0 || sourceRow < 0 ||
        sourceRow + count > n || destinationChild < 0 || destinationChild > n ||
        (destinationChild >= sourceRow && destinationChild <= sourceRow + count))
        return false;
    if (!beginMoveRows({}, sourceRow, sourceRow + count - 1, {}, destinationChild))
        return false;
    const QList<PageEntry> block = m_entries.mid(sourceRow, count);
    m_entries.remove(sourceRow, count);
    const int at = destinationChild > sourceRow ? destinationChild - count : destinationChild;
    for (int i = 0; i < count; ++i)
        m_entries.insert(at + i, block.at(i));
    endMoveRows();
    return true;
}

QList<int> PageModel::shiftRows(QList<int> rows, int step)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([this](int r) { return r < 0 || r >= m_entries.size(); });
    // Worked out on the order first, then one change of the layout: a hundred
    // rows moved one by one would make the view follow each of them.
    QList<int> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0);
    bool changed = false;
    if (step < 0) {
        int blocked = -1; // a row cannot pass the list's start or a row that stayed
        for (int &r : rows) {
            if (r - 1 > blocked) {
                std::swap(order[r - 1], order[r]);
                --r;
                changed = true;
            }
            blocked = r;
        }
    } else {
        int blocked = int(m_entries.size());
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            int &r = *it;
            if (r + 1 < blocked) {
                std::swap(order[r], order[r + 1]);
                ++r;
                changed = true;
            }
            blocked = r;
        }
    }
    if (changed)
        permute(order);
    return rows;
}

void PageModel::permute(const QList<int> &order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Where each old row goes, so selections and the current entry follow their pages.
    QList<int> newRowOf(m_entries.size());
    QList<PageEntry> after;
    after.reserve(m_entries.size());
    for (int to = 0; to < order.size(); ++to) {
        after.append(m_entries.at(order.at(to)));
        newRowOf[order.at(to)] = to;
    }
    m_entries = after;
    const QModelIndexList old = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(old.size());
    for (const QModelIndex &index : old)
        moved.append(index.isValid() ? createIndex(newRowOf.at(index.row()), index.column())
                                     : QModelIndex());
    changePersistentIndexList(old, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    scheduleThumbnails();
}

QList<int> PageModel::arrange(QList<int> rows, PageOrder::Arrangement arrangement)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([this](int r) { return r < 0 || r >= m_entries.size(); });
    if (rows.size() < 2) {
        rows.clear();
        for (int r = 0; r < m_entries.size(); ++r)
            rows.append(r);
    }
    const QList<int> order = PageOrder::permutation(int(rows.size()), arrangement);
    bool changed = false;
    for (int i = 0; i < order.size(); ++i)
        changed = changed || order.at(i) != i;
    if (!changed)
        return {};

    QList<int> full(m_entries.size());
    std::iota(full.begin(), full.end(), 0);
    for (int i = 0; i < order.size(); ++i)
        full[rows.at(i)] = rows.at(order.at(i));
    permute(full);
    return rows;
}

QStringList PageModel::mimeTypes() const
{
    return {RowsMimeType};
}

QMimeData *PageModel::mimeData(const QModelIndexList &indexes) const
{
    QList<int> rows;
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && index.model() == this)
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    // Which model the rows belong to: another window's rows mean nothing here.
    out << quint64(reinterpret_cast<quintptr>(this)) << rows;
    auto *data = new QMimeData;
    data->setData(RowsMimeType, bytes);
    return data;
}

QList<int> PageModel::draggedRows(const QMimeData *data) const
{
    if (!data || !data->hasFormat(RowsMimeType))
        return {};
    QDataStream in(data->data(RowsMimeType));
    quint64 owner = 0;
    QList<int> rows;
    in >> owner >> rows;
    if (in.status() != QDataStream::Ok || owner != quint64(reinterpret_cast<quintptr>(this)))
        return {};
    for (int r : std::as_const(rows)) {
        if (r < 0 || r >= m_entries.size())
            return {};
    }
    return rows;
}

bool PageModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                const QModelIndex &) const
{
    return action == Qt::MoveAction && !draggedRows(data).isEmpty();
}

bool PageModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int,
                             const QModelIndex &parent)
{
    const QList<int> rows = draggedRows(data);
    if (action != Qt::MoveAction || rows.isEmpty())
        return false;
    if (parent.isValid())
        row = parent.row();
    if (row < 0 || row > m_entries.size())
        row = int(m_entries.size());
    // The dragged rows, in their order, right behind the rows that stay before
    // the drop: one change of the layout however many rows travel.
    QSet<int> dragged(rows.cbegin(), rows.cend());
    QList<int> order;
    order.reserve(m_entries.size());
    for (int r = 0; r < row; ++r) {
        if (!dragged.contains(r))
            order.append(r);
    }
    QSet<int> placed;
    for (int r : rows) {
        if (!placed.contains(r))
            order.append(r);
        placed.insert(r);
    }
    for (int r = row; r < m_entries.size(); ++r) {
        if (!dragged.contains(r))
            order.append(r);
    }
    bool changed = false;
    for (int i = 0; i < order.size() && !changed; ++i)
        changed = order.at(i) != i;
    if (changed)
        permute(order);
    return true;
}

void PageModel::append(const PageEntry &entry)
{
    append(QList<PageEntry>{entry});
}

void PageModel::append(const QList<PageEntry> &entries)
{
    if (entries.isEmpty())
        return;
    const int first = int(m_entries.size());
    beginInsertRows({}, first, first + int(entries.size()) - 1);
    for (PageEntry e : entries) {
        if (e.id == 0)
            e.id = m_nextId++;
        if (!e.pageFileWritten && !e.thumbnail.isNull())
            e.thumbnail = markMissing(e.thumbnail);
        // Pages come with thumbnails of the usual size: a zoomed list needs its own.
        if (!thumbnailFits(e.thumbnail))
            e.thumbnail = QImage();
        m_pageFiles.insert(samePath(e.pageFile));
        m_entries.append(e);
    }
    endInsertRows();
    scheduleThumbnails();
}

int PageModel::rowOf(quint64 id) const
{
    for (int row = 0; row < m_entries.size(); ++row) {
        if (m_entries.at(row).id == id)
            return row;
    }
    return -1;
}

void PageModel::setText(const QString &workingCopy, const PageText &text)
{
    for (PageEntry &e : m_entries) {
        if (e.workingCopy == workingCopy)
            e.text = text;
    }
}

PageModel::RenameResult PageModel::checkRename(const PageEntry &e, const QString &newCaption,
                                               Refusal *why)
{
    const auto refuse = [why](Refusal reason) {
        if (why)
            *why = reason;
        return RenameResult::Refused;
    };
    if (why)
        *why = Refusal::None;
    // Exact comparison: a change of letter case is a rename.
    if (newCaption == e.caption)
        return RenameResult::Unchanged;
    if (e.added)
        return refuse(Refusal::Added);
    if (newCaption.trimmed().isEmpty())
        return refuse(Refusal::Blank);
    if (newCaption.contains(QLatin1Char('/')) ||
        (QDir::separator() == QLatin1Char('\\') && newCaption.contains(QLatin1Char('\\'))))
        return refuse(Refusal::Separator);
    // "." and ".." name folders that are always there.
    if (!GalleryRules::isPlainFileName(newCaption))
        return refuse(Refusal::Taken);
    // ".jpg" would hide the page from every file manager and leave it nameless.
    if (newCaption.trimmed().startsWith(QLatin1Char('.')))
        return refuse(Refusal::Hidden);
    return RenameResult::Renamed;
}

PageModel::RenameResult PageModel::renameFile(PageEntry &e, const QString &newCaption, Refusal *why,
                                              QString *systemReason)
{
    const RenameResult allowed = checkRename(e, newCaption, why);
    if (allowed != RenameResult::Renamed)
        return allowed;
    const auto refuse = [why](Refusal reason) {
        if (why)
            *why = reason;
        return RenameResult::Refused;
    };
    const QString target = QFileInfo(e.pageFile).dir().filePath(newCaption);
    if (e.heldInMemory()) {
        // No file yet: only the name it will be saved under changes.
        if (QFileInfo::exists(target))
            return refuse(Refusal::Taken);
        e.pageFile = target;
        e.caption = newCaption;
        return RenameResult::Renamed;
    }
    if (const int error = FileCommit::moveNoReplace(e.pageFile, target)) {
        if (error == EEXIST)
            return refuse(Refusal::Taken);
        if (error == ENOENT && !QFileInfo::exists(e.pageFile))
            return refuse(Refusal::Gone);
        if (systemReason)
            *systemReason = SystemErrorText::text(error);
        return refuse(Refusal::System);
    }
    FileCommit::syncFolderOf(target);
    // A working copy that is the page file itself moved with it.
    if (samePath(e.workingCopy) == samePath(e.pageFile))
        e.workingCopy = target;
    e.pageFile = target;
    e.caption = newCaption;
    return RenameResult::Renamed;
}

PageModel::RenameResult PageModel::rename(int row, const QString &newCaption, Refusal *why,
                                          QString *systemReason)
{
    if (row < 0 || row >= m_entries.size()) {
        if (why)
            *why = Refusal::Gone;
        return RenameResult::Refused;
    }
    PageEntry renamed = m_entries.at(row);
    const RenameResult result = renameFile(renamed, newCaption, why, systemReason);
    if (result == RenameResult::Renamed)
        setRenamed(row, renamed);
    return result;
}

void PageModel::setRenamed(int row, const PageEntry &renamed)
{
    PageEntry &e = m_entries[row];
    m_pageFiles.insert(samePath(renamed.pageFile));
    e.pageFile = renamed.pageFile;
    e.workingCopy = renamed.workingCopy;
    e.caption = renamed.caption;
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

void PageModel::deleteFiles(const PageEntry &e, const QString &copyFolder)
{
    // The working copy goes only when the page file is gone: a page file that
    // could not be deleted keeps its copy. One that was never written or was
    // removed from outside leaves nothing to keep the copy for.
    // A page file never written is not ours: whatever holds its name now stays.
    if (e.heldInMemory())
        return; // no file of it exists; the names it was given are not its own
    if (e.added) {
        // The original stays; only this program's copy goes with the entry.
        WorkingCopies::remove(e.workingCopy, e.pageFile, copyFolder);
        return;
    }
    if (e.pageFileWritten)
        QFile::remove(e.pageFile);
    if (!e.pageFileWritten || !QFileInfo::exists(e.pageFile))
        WorkingCopies::remove(e.workingCopy, e.pageFile, copyFolder);
}

void PageModel::removeRow(int row)
{
    if (row < 0 || row >= m_entries.size())
        return;
    beginRemoveRows({}, row, row);
    m_busy.remove(m_entries.at(row).id);
    m_entries.removeAt(row);
    endRemoveRows();
}

void PageModel::removeIds(const QSet<quint64> &ids)
{
    QList<int> rows;
    for (int row = 0; row < m_entries.size(); ++row) {
        if (ids.contains(m_entries.at(row).id))
            rows.append(row);
    }
    // From the end, so the rows before keep their numbers.
    qsizetype end = rows.size();
    while (end > 0) {
        qsizetype start = end - 1;
        while (start > 0 && rows.at(start - 1) == rows.at(start) - 1)
            --start;
        const int first = rows.at(start);
        const int last = rows.at(end - 1);
        beginRemoveRows({}, first, last);
        for (int row = first; row <= last; ++row)
            m_busy.remove(m_entries.at(row).id);
        m_entries.remove(first, last - first + 1);
        endRemoveRows();
        end = start;
    }
}

void PageModel::deletePages(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : std::as_const(rows)) {
        if (row >= 0 && row < m_entries.size())
            deleteFiles(m_entries.at(row), m_copyFolder);
    }
    // Every selected entry leaves the list, also those whose file stayed.
    QSet<quint64> ids;
    for (int row : std::as_const(rows)) {
        if (row >= 0 && row < m_entries.size())
            ids.insert(m_entries.at(row).id);
    }
    removeIds(ids);
}

bool PageModel::changeOriginal(int row, int quarterTurns, double degrees, QString *error)
{
    const PageEntry &e = m_entries.at(row);
    QString copy;
    if (!PageImport::writeChangedCopy(e, m_copyFolder, quarterTurns, degrees, &copy, error))
        return false;
    noteWorkingCopy(copy);
    const QSize size = quarterTurns % 2 != 0 ? e.size.transposed() : e.size;
    PageEntry changed = e;
    changed.workingCopy = copy;
    setTurned(row, size, turnedCell(changed, size, cellPixels()), copy);
    return true;
}

bool PageModel::rotate(int row, int quarterTurns, QString *error)
{
    if (row >= 0 && row < m_entries.size() && WorkingCopies::isOriginal(m_entries.at(row)))
        return changeOriginal(row, quarterTurns, 0, error);
    return replaceFiles(
        row,
        [quarterTurns](const QStringList &files, QString *why) {
            return PageRotation::rotateFiles(files, quarterTurns, why);
        },
        quarterTurns % 2 != 0, error);
}

bool PageModel::straighten(int row, double degrees, QString *error)
{
    if (row >= 0 && row < m_entries.size() && WorkingCopies::isOriginal(m_entries.at(row)))
        return changeOriginal(row, 0, degrees, error);
    return replaceFiles(
        row,
        [degrees](const QStringList &files, QString *why) {
            return PageRotation::straightenFiles(files, degrees, why);
        },
        false, error);
}

bool PageModel::filesToReplace(const PageEntry &e, QStringList *files, QString *error)
{
    if (e.heldInMemory()) {
        if (error)
            *error = QCoreApplication::translate(
                "PageModel", "it is not saved yet. Save it to a folder first.", "turnNotSaved");
        return false;
    }
    if (e.added && samePath(e.workingCopy) == samePath(e.pageFile)) {
        if (error)
            *error = QCoreApplication::translate(
                "PageModel", "it is an added file and has no copy of its own to turn.",
                "rotateAddedOriginal");
        return false;
    }
    files->clear();
    // A page file never written has only its working copy to turn.
    // An added original is never rewritten: the list and the PDF show the turned copy.
    if (e.pageFileWritten && !e.added)
        files->append(e.pageFile);
    if (samePath(e.workingCopy) != samePath(e.pageFile))
        files->append(e.workingCopy);
    return true;
}

QImage PageModel::turnedCell(const PageEntry &e, const QSize &size, const QSize &cellPixels)
{
    QString why;
    return Thumbnail::fromFile(e.workingCopy, size.width(), size.height(), &why, cellPixels);
}

void PageModel::setTurned(int row, const QSize &size, const QImage &cell, const QString &newCopy)
{
    if (row < 0 || row >= m_entries.size())
        return;
    PageEntry &e = m_entries[row];
    e.size = size;
    pictureChanged(e.id);
    if (!newCopy.isEmpty())
        e.workingCopy = newCopy;
    QImage shown = cell;
    shown.setDevicePixelRatio(m_pixelRatio);
    // A cell made for another zoom, or none, is made again like the others.
    e.thumbnail = !thumbnailFits(shown) ? QImage() : e.pageFileWritten ? shown : markMissing(shown);
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
    scheduleThumbnails();
}

void PageModel::setBusy(quint64 id, bool busy)
{
    setBusy(QList<quint64>{id}, busy);
}

void PageModel::setBusy(const QList<quint64> &ids, bool busy)
{
    const QSet<quint64> pages(ids.cbegin(), ids.cend());
    if (busy && m_busyPlaceholder.size() != cellPixels())
        m_busyPlaceholder = dimmed(QImage());
    int first = -1;
    int last = -1;
    for (int row = 0; row < m_entries.size(); ++row) {
        const PageEntry &e = m_entries.at(row);
        if (!pages.contains(e.id) || busy == m_busy.contains(e.id))
            continue;
        if (busy) {
            // Its dimmed picture is made when the row is first shown.
            m_busy.insert(e.id, QImage());
        } else {
            m_busy.remove(e.id);
        }
        if (first < 0)
            first = row;
        last = row;
    }
    if (first < 0)
        return;
    // Only the rows in and near view: the list measures every row it is told
    // of again, captions and all, and a thousand take it a long while. Rows out
    // of view are read afresh when they are shown.
    if (m_shownKnown) {
        const int margin = shownMargin();
        if (m_shownFirst < 0)
            return;
        first = qMax(first, m_shownFirst - margin);
        last = qMin(last, m_shownLast + margin);
        if (first > last)
            return;
    }
    emit dataChanged(index(first), index(last),
                     {Qt::DecorationRole, Qt::AccessibleTextRole, BusyRole});
}

QImage PageModel::dimmed(const QImage &thumbnail) const
{
    QImage dimmed = thumbnail.isNull() ? Thumbnail::cell(QImage(), cellPixels())
                                       : thumbnail.convertToFormat(QImage::Format_RGB32);
    dimmed.setDevicePixelRatio(thumbnail.isNull() ? m_pixelRatio : thumbnail.devicePixelRatio());
    // The veil is drawn once per size: a thousand pages made busy at once each
    // take only a copy of it.
    if (m_busyOverlay.size() != dimmed.size() ||
        !qFuzzyCompare(m_busyOverlay.devicePixelRatio(), dimmed.devicePixelRatio())) {
        // Dimmed, with an hourglass: the picture may be about to change.
        QImage overlay(dimmed.size(), QImage::Format_ARGB32_Premultiplied);
        overlay.setDevicePixelRatio(dimmed.devicePixelRatio());
        overlay.fill(Qt::transparent);
        QPainter p(&overlay);
        p.fillRect(QRectF(QPointF(0, 0), overlay.deviceIndependentSize()),
                   QColor(255, 255, 255, 150));
        const QSizeF size = overlay.deviceIndependentSize();
        const qreal side = qMin(size.width(), size.height()) / 3;
        const QRectF box(size.width() / 2 - side / 2, size.height() / 2 - side / 2, side, side);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(60, 60, 60), qMax<qreal>(1, side / 12)));
        p.setBrush(QColor(60, 60, 60, 90));
        QPolygonF glass;
        glass << box.topLeft() << box.topRight() << box.center() << box.bottomRight()
              << box.bottomLeft() << box.center();
        p.drawPolygon(glass);
        p.end();
        m_busyOverlay = overlay;
    }
    QPainter p(&dimmed);
    p.drawImage(QPointF(0, 0), m_busyOverlay);
    p.end();
    return dimmed;
}

bool PageModel::isBusy(int row) const
{
    return row >= 0 && row < m_entries.size() && m_busy.contains(m_entries.at(row).id);
}

bool PageModel::replaceFiles(int row,
                             const std::function<bool(const QStringList &, QString *)> &replace,
                             bool sidesSwap, QString *error)
{
    if (row < 0 || row >= m_entries.size())
        return false;
    const PageEntry &e = m_entries.at(row);
    QStringList files;
    if (!filesToReplace(e, &files, error) || !replace(files, error))
        return false;
    const QSize size = sidesSwap ? e.size.transposed() : e.size;
    setTurned(row, size, turnedCell(e, size, cellPixels()));
    return true;
}

int PageModel::heldCount() const
{
    return int(std::count_if(m_entries.cbegin(), m_entries.cend(),
                             [](const PageEntry &e) { return e.heldInMemory(); }));
}

bool PageModel::saveToFolder(int row, const QString &folder, const NameTaken &taken,
                             QString *written, QString *error)
{
    if (row < 0 || row >= m_entries.size())
        return false;
    PageEntry &e = m_entries[row];
    const QString target = QDir(folder).filePath(e.caption);
    // A clash gives "name_1.ext" and on: nothing in the folder is ever replaced.
    const PageImageWriter::NextName nextName = [&taken](const QString &clashed) {
        const QFileInfo info(clashed);
        const QString base = QFileInfo(clashed).completeBaseName();
        for (qint64 n = 1;; ++n) {
            const QString candidate = info.dir().filePath(
                base + QLatin1Char('_') + QString::number(n) + QLatin1Char('.') + info.suffix());
            if (!FileNaming::pathTaken(candidate) && !(taken && taken(candidate)))
                return candidate;
        }
    };
    QString path = target;
    if (FileNaming::pathTaken(path) || (taken && taken(path)))
        path = nextName(path);

    const bool pageFileThere =
        !e.heldInMemory() && e.pageFileWritten && QFileInfo::exists(e.pageFile);
    QString finalPath;
    QImage page; // what a page not saved before is written from
    if (pageFileThere) {
        // The page file itself, byte for byte.
        QFile source(e.pageFile);
        if (!source.open(QIODevice::ReadOnly)) {
            if (error)
                *error = source.errorString();
            return false;
        }
        AtomicFile copy(path);
        if (!copy.open() || copy.file().write(source.readAll()) < 0 ||
            source.error() != QFileDevice::NoError) {
            if (error)
                *error = source.error() != QFileDevice::NoError ? source.errorString()
                         : copy.errorString().isEmpty()         ? copy.file().errorString()
                                                                : copy.errorString();
            return false;
        }
        bool committed = copy.commitNew();
        while (!committed && copy.clashed())
            committed = copy.commitAs(nextName(copy.finalPath()));
        if (!committed) {
            if (error)
                *error = copy.errorString();
            return false;
        }
        finalPath = copy.finalPath();
    } else {
        if (e.heldInMemory()) {
            page = e.image;
        } else {
            // Any working copy, the compressed (TIFF) ones of added pages too.
            page = ImageFileReader::read(e.workingCopy, error);
            if (page.isNull())
                return false;
        }
        if (!PageImageWriter::saveNew(page, path, nextName, &finalPath, error))
            return false;
    }
    if (written)
        *written = finalPath;
    if (e.pageFileWritten || e.added)
        return true;
    // Saved now: an ordinary page whose page file is the one just written.
    const bool wasHeld = e.heldInMemory();
    m_pageFiles.insert(samePath(finalPath));
    e.pageFile = finalPath;
    e.caption = QFileInfo(finalPath).fileName();
    e.pageFileWritten = true;
    e.pageFileError.clear();
    if (wasHeld)
        e.workingCopy = finalPath;
    e.image = QImage();
    QImage cell = Thumbnail::fromImage(page, e.size.width(), e.size.height(), cellPixels());
    pictureChanged(e.id);
    if (!cell.isNull()) {
        cell.setDevicePixelRatio(m_pixelRatio);
        e.thumbnail = cell;
    }
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
    return true;
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
    // A page file is never a working copy, also one whose page left the list: an
    // added picture noted as a copy stays the user's.
    QSet<QString> keep = m_pageFiles;
    QStringList onlyCopies;
    for (const PageEntry &e : std::as_const(m_entries)) {
        keep.insert(samePath(e.pageFile));
        // A page file never written or removed from outside: the working copy is
        // all that is left of the page.
        const bool pageFileMissing = !e.pageFileWritten || !QFileInfo::exists(e.pageFile);
        if (pageFileMissing && samePath(e.workingCopy) != samePath(e.pageFile) &&
            QFileInfo::exists(e.workingCopy)) {
            keep.insert(samePath(e.workingCopy));
            onlyCopies.append(e.workingCopy);
        }
    }
    for (const QString &copy : std::as_const(m_workingCopies)) {
        if (!keep.contains(copy))
            WorkingCopies::remove(copy, QString(), m_copyFolder);
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
    // Drawn in the usual cell's units, so it grows with a zoomed list.
    QPainter p(&marked);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal unit = qMax<qreal>(1, qreal(thumbnail.deviceIndependentSize().height()) /
                                          GalleryRules::CellHeight);
    p.scale(unit, unit);
    const qreal width = marked.deviceIndependentSize().width() / unit;
    const qreal height = marked.deviceIndependentSize().height() / unit;
    const QRectF box(width - 22, height - 20, 20, 18);
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

QSize PageModel::cellPixels() const
{
    return Thumbnail::devicePixels(m_cell, m_pixelRatio);
}

bool PageModel::thumbnailFits(const QImage &thumbnail) const
{
    return thumbnail.size() == cellPixels() &&
           qFuzzyCompare(thumbnail.devicePixelRatio(), m_pixelRatio);
}

QImage PageModel::makeThumbnail(const PageEntry &e, const QSize &pixels, qreal pixelRatio)
{
    QImage cell =
        e.heldInMemory()
            ? Thumbnail::fromImage(e.image, e.size.width(), e.size.height(), pixels)
            : Thumbnail::fromFile(e.workingCopy, e.size.width(), e.size.height(), nullptr, pixels);
    if (cell.isNull()) {
        // The working copy is gone or damaged: the picture the list had, only larger.
        cell = e.thumbnail.isNull()
                   ? Thumbnail::cell(QImage(), pixels)
                   : e.thumbnail.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
        cell.setDevicePixelRatio(pixelRatio);
        return cell;
    }
    cell.setDevicePixelRatio(pixelRatio);
    return e.pageFileWritten ? cell : markMissing(cell);
}

void PageModel::setThumbnailCell(const QSize &cell, qreal pixelRatio)
{
    if (cell.isEmpty() || pixelRatio <= 0)
        return;
    if (cell == m_cell && qFuzzyCompare(pixelRatio, m_pixelRatio))
        return;
    m_cell = cell;
    m_pixelRatio = pixelRatio;
    m_placeholder = Thumbnail::cell(QImage(), cellPixels());
    m_placeholder.setDevicePixelRatio(pixelRatio);
    m_busyPlaceholder = m_busy.isEmpty() ? QImage() : dimmed(QImage());
    for (QImage &picture : m_busy)
        picture = QImage(); // dimmed again, at the new size, when shown
    // Cells of the old size are dropped: the rows shown get new ones at once,
    // the others when they are shown.
    for (PageEntry &e : m_entries) {
        if (!thumbnailFits(e.thumbnail))
            e.thumbnail = QImage();
    }
    m_announce = true;
    queueThumbnails();
    if (!m_entries.isEmpty())
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
    startThumbnails();
}

void PageModel::showRows(int first, int last)
{
    const int n = int(m_entries.size());
    if (first < 0 || last < first || first >= n) {
        first = -1;
        last = -1;
    } else {
        last = qMin(last, n - 1);
    }
    if (m_shownKnown && first == m_shownFirst && last == m_shownLast)
        return;
    m_shownKnown = true;
    m_shownFirst = first;
    m_shownLast = last;
    queueThumbnails();
    startThumbnails();
}

void PageModel::setThumbnailCapacity(int cells)
{
    m_capacity = qMax(0, cells);
    dropFarThumbnails();
}

int PageModel::thumbnailCapacity() const
{
    if (m_capacity > 0)
        return m_capacity;
    const QSize pixels = cellPixels();
    const qint64 cellBytes = qMax<qint64>(1, qint64(pixels.width()) * pixels.height() * 4);
    const int shown = m_shownFirst < 0 ? 0 : m_shownLast - m_shownFirst + 1;
    // Never fewer than three screenfuls, however large the cells.
    return qMax(3 * shown, int(qMin<qint64>(MaxHeldCells, HeldCellsBytes / cellBytes)));
}

int PageModel::thumbnailsHeld() const
{
    return int(std::count_if(m_entries.cbegin(), m_entries.cend(),
                             [](const PageEntry &e) { return !e.thumbnail.isNull(); }));
}

int PageModel::shownMargin() const
{
    const int shown = m_shownFirst < 0 ? 0 : m_shownLast - m_shownFirst + 1;
    return qMax(0, qMin(shown, (thumbnailCapacity() - shown) / 2));
}

QList<int> PageModel::wantedRows() const
{
    const int n = int(m_entries.size());
    int first = m_shownFirst;
    int last = m_shownLast;
    if (!m_shownKnown) {
        first = n > 0 ? 0 : -1;
        last = qMin(n, DefaultShownRows) - 1;
    }
    // Rows removed since the view last said what it shows.
    last = qMin(last, n - 1);
    QList<int> rows;
    if (first < 0 || first > last)
        return rows;
    for (int row = first; row <= last; ++row)
        rows.append(row);
    // Then a screenful either side, nearest first, the next rows down before
    // the ones above: what a scroll is likeliest to show next.
    const int margin = shownMargin();
    for (int d = 1; d <= margin; ++d) {
        if (last + d < n)
            rows.append(last + d);
        if (first - d >= 0)
            rows.append(first - d);
    }
    return rows;
}

void PageModel::scheduleThumbnails()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    // Pages listed one by one in a burst: one look at them all afterwards.
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        queueThumbnails();
        startThumbnails();
        dropFarThumbnails();
    });
}

void PageModel::queueThumbnails()
{
    // What scrolled away meanwhile is no longer wanted: the queue is the rows wanted now.
    m_thumbnailQueue.clear();
    for (int row : wantedRows()) {
        const PageEntry &e = m_entries.at(row);
        if (e.thumbnail.isNull() && !m_making.contains(e.id))
            m_thumbnailQueue.append(e.id);
    }
}

void PageModel::startThumbnails()
{
    while (m_making.size() < m_thumbnailPool.maxThreadCount() && !m_thumbnailQueue.isEmpty()) {
        const quint64 id = m_thumbnailQueue.takeFirst();
        const int row = rowOf(id);
        if (row < 0 || !m_entries.at(row).thumbnail.isNull())
            continue;
        m_making.insert(id);
        const PageEntry page = m_entries.at(row);
        const quint32 version = m_version.value(id);
        const QSize pixels = cellPixels();
        const qreal ratio = m_pixelRatio;
        m_thumbnailPool.start([this, page, version, pixels, ratio] {
            yieldToWindow();
            const QImage cell = makeThumbnail(page, pixels, ratio);
            QMetaObject::invokeMethod(
                this, [this, id = page.id, version, cell] { thumbnailMade(id, version, cell); },
                Qt::QueuedConnection);
        });
    }
    if (m_announce && m_making.isEmpty() && m_thumbnailQueue.isEmpty()) {
        m_announce = false;
        emit thumbnailsRemade();
    }
}

void PageModel::thumbnailMade(quint64 id, quint32 version, const QImage &cell)
{
    m_making.remove(id);
    const int row = rowOf(id);
    // Turned, saved or zoomed meanwhile: a newer cell is wanted, if any.
    if (row >= 0 && version == m_version.value(id) && thumbnailFits(cell) &&
        m_entries.at(row).thumbnail.isNull()) {
        m_entries[row].thumbnail = cell;
        if (m_busy.contains(id))
            m_busy.insert(id, QImage()); // dimmed again when shown
        const QModelIndex i = index(row);
        emit dataChanged(i, i, {Qt::DecorationRole});
    }
    queueThumbnails();
    startThumbnails();
    dropFarThumbnails();
}

void PageModel::dropFarThumbnails()
{
    const int capacity = thumbnailCapacity();
    int held = thumbnailsHeld();
    if (held <= capacity)
        return;
    int first = m_shownKnown ? m_shownFirst : 0;
    int last = m_shownKnown ? m_shownLast : qMin(int(m_entries.size()), DefaultShownRows) - 1;
    if (first < 0) {
        first = 0;
        last = -1;
    }
    const int margin = shownMargin();
    const auto distance = [first, last](int row) {
        return row < first ? first - row : row > last ? row - last : 0;
    };
    QList<int> far;
    for (int row = 0; row < m_entries.size(); ++row) {
        if (!m_entries.at(row).thumbnail.isNull() && distance(row) > margin)
            far.append(row);
    }
    std::sort(far.begin(), far.end(),
              [&distance](int a, int b) { return distance(a) > distance(b); });
    // Out of view: the view asks for these rows again only when it shows them.
    for (int row : std::as_const(far)) {
        if (held <= capacity)
            break;
        m_entries[row].thumbnail = QImage();
        --held;
    }
}
