#pragma once

#include "pages/PageEntry.h"
#include "pages/PageOrder.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <functional>

// The pages listed since the program started, in list order. Every file
// operation on a page goes through here and acts on the entry's own paths.
// It also keeps track of the working copies this run created, so the clean-up
// at close removes exactly those and never a page file.
class PageModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageModel)

public:
    enum Role
    {
        PageFileRole = Qt::UserRole,
        WorkingCopyRole,
        PageFileWrittenRole,
        BusyRole // a job of the store works on the page's files
    };

    explicit PageModel(QObject *parent = nullptr);
    // Waits for the thumbnail being made.
    ~PageModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Only the caption is editable, and only to its current text: a rename goes
    // through rename(), which changes the file first.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Reordering: the list order is the order of the PDF. File names stay.
    bool moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                  const QModelIndex &destinationParent, int destinationChild) override;
    // Moves each row one place up (step -1) or down (+1) as far as the list's end
    // and the other moving rows allow; returns the rows' new places.
    QList<int> shiftRows(QList<int> rows, int step);
    // Puts the rows (all rows when fewer than two are given) in the arrangement,
    // inside the places they hold now; returns those places, or nothing when
    // the order stays as it is.
    QList<int> arrange(QList<int> rows, PageOrder::Arrangement arrangement);
    // Drag and drop within this model only: the rows travel as numbers.
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    // Puts the dragged rows, in their order, before row (or before the entry
    // dropped on, or at the end).
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    // Gives the entry its id when it has none yet.
    void append(const PageEntry &entry);
    // The same for many pages at once: one insertion for the view, however many.
    void append(const QList<PageEntry> &entries);
    // The row of the page with that id now; -1 when it is not listed.
    int rowOf(quint64 id) const;
    const PageEntry &entry(int row) const { return m_entries.at(row); }
    // The entries as values: what an export works on while the list changes.
    QList<PageEntry> snapshot() const { return m_entries; }

    enum class RenameResult
    {
        Renamed,
        Unchanged,
        Refused
    };
    // Why a rename was refused.
    enum class Refusal
    {
        None,
        Blank,     // empty or nothing but blanks
        Taken,     // a file (or a page still being written) has the name
        Separator, // the name holds a folder separator
        Gone,      // the page file is not there any more
        Added,     // an added file: the user's original keeps its name
        Hidden,    // begins with a dot: a hidden file, with no name before its extension
        System     // the system's reason says why
    };
    // Renames the entry's page file inside its own folder; never over an existing
    // file. *why and *systemReason say why it was refused.
    RenameResult rename(int row, const QString &newCaption, Refusal *why = nullptr,
                        QString *systemReason = nullptr);
    // The refusals a rename can tell without touching a file; Renamed when the
    // file may be tried.
    static RenameResult checkRename(const PageEntry &e, const QString &newCaption,
                                    Refusal *why = nullptr);
    // The file part of a rename, on any thread: the page file moved (never over
    // a file) and e's paths and caption with it.
    static RenameResult renameFile(PageEntry &e, const QString &newCaption, Refusal *why = nullptr,
                                   QString *systemReason = nullptr);

    // Deletes the page files of the rows (and each working copy whose page file
    // went), then removes every one of those rows from the list.
    void deletePages(QList<int> rows);
    // The files deletePages removes for one entry, on any thread; working copies
    // only from copyFolder (see WorkingCopies).
    static void deleteFiles(const PageEntry &e, const QString &copyFolder);
    // The entry leaves the list, its files untouched.
    void removeRow(int row);
    // The pages with these ids leave the list, one removal per run of
    // neighbouring rows, their files untouched.
    void removeIds(const QSet<quint64> &ids);

    // Turns the page file and the working copy clockwise by quarter turns (both or
    // neither) and the entry's size and thumbnail with them. False, with the
    // reason in *error, when the files stay as they were.
    bool rotate(int row, int quarterTurns, QString *error = nullptr);
    // Turns the page's files clockwise by degrees about their centres, both or neither.
    bool straighten(int row, double degrees, QString *error = nullptr);
    // The files a turn or straightening of e rewrites; false, with the reason,
    // when it has none it may rewrite.
    static bool filesToReplace(const PageEntry &e, QStringList *files, QString *error);
    // A thumbnail of the working copy as a turn left it, for the list's cell, on any thread.
    static QImage turnedCell(const PageEntry &e, const QSize &size, const QSize &cellPixels);
    // A turn done off this thread: the row's new size and thumbnail, and its new
    // working copy when the turn was the first change of an added file.
    void setTurned(int row, const QSize &size, const QImage &cell, const QString &newCopy = {});
    // A rename done off this thread: the row's new paths and caption.
    void setRenamed(int row, const PageEntry &renamed);
    // The page shows busy (dimmed, and says so to a screen reader) while a job
    // works on its files.
    void setBusy(quint64 id, bool busy);
    // The same for many pages: one change for the view.
    void setBusy(const QList<quint64> &ids, bool busy);
    bool isBusy(int row) const;
    // Keeps words recognised in the background with every entry of that working
    // copy; an entry deleted meanwhile is no longer there to take them.
    void setText(const QString &workingCopy, const PageText &text);

    // Writes the row's page into folder under its caption (the next free
    // "name_N.ext" when taken says the name is held): a copy of the page file, or
    // the page in its caption's format from the working copy or the image held in
    // memory. A page not saved before becomes an ordinary saved page there. False,
    // with the reason in *error; *written gets the file written.
    using NameTaken = std::function<bool(const QString &path)>;
    bool saveToFolder(int row, const QString &folder, const NameTaken &taken,
                      QString *written = nullptr, QString *error = nullptr);
    // Pages held in memory only: lost at close unless saved.
    int heldCount() const;

    // A working copy this run wrote into the temporary folder.
    void noteWorkingCopy(const QString &path);
    // The folder of working copies: none is ever removed from anywhere else.
    // The temporary folder unless set.
    void setWorkingCopyFolder(const QString &folder) { m_copyFolder = folder; }
    QString workingCopyFolder() const { return m_copyFolder; }
    // At close: removes every noted working copy that is not a page file of an
    // entry and does not belong to a page whose page file is missing (never
    // written, or removed from outside). Returns the working copies kept because
    // they are the only copy of their page.
    QStringList cleanUp();

    // The page file of an entry is the pixel data the user keeps; a working
    // copy that is also the page file (destination = temporary folder, BMP)
    // must never be removed as a working copy.
    bool isPageFile(const QString &path) const;

    // The thumbnails' cell as the list shows it and the screen's pixel ratio;
    // every thumbnail not made for them is dropped and made again when shown.
    // thumbnailsRemade() follows the first round for the new cell.
    void setThumbnailCell(const QSize &cell, qreal pixelRatio);
    QSize thumbnailCell() const { return m_cell; }
    QSize cellPixels() const;

    // Thumbnails are made for the rows the view shows (and a screenful either
    // side), from the working copy or held image, off this thread; meanwhile a
    // row shows a blank cell. At most thumbnailCapacity() cells are kept: those
    // farthest from the rows shown go first and are made again when shown.
    // first..last are the rows shown now (-1, -1: none).
    void showRows(int first, int last);
    // Cells kept at most; 0 goes back to the usual bound, which follows the cell's size.
    void setThumbnailCapacity(int cells);
    int thumbnailCapacity() const;
    // The rows that hold a cell now.
    int thumbnailsHeld() const;
    // Cells are being made for the rows shown.
    bool remakingThumbnails() const { return !m_making.isEmpty() || !m_thumbnailQueue.isEmpty(); }

signals:
    void thumbnailsRemade();

private:
    bool thumbnailFits(const QImage &thumbnail) const;
    // From the held image, or else from the working copy (the page as it is
    // listed now); the old thumbnail scaled when neither can be read.
    static QImage makeThumbnail(const PageEntry &e, const QSize &pixels, qreal pixelRatio);
    // The rows whose cells are wanted, the rows shown first.
    QList<int> wantedRows() const;
    // The margin of rows either side of those shown that keep their cells.
    int shownMargin() const;
    // After any change of what is shown or listed: queued, once per turn of the event loop.
    void scheduleThumbnails();
    void queueThumbnails();
    void startThumbnails();
    void thumbnailMade(quint64 id, quint32 version, const QImage &cell);
    void dropFarThumbnails();
    // The page's picture changed: cells being made for it are out of date.
    void pictureChanged(quint64 id) { ++m_version[id]; }
    QImage dimmed(const QImage &thumbnail) const;
    // Every row in its new place: order[new row] is the old row.
    void permute(const QList<int> &order);

    static QImage markMissing(const QImage &thumbnail);
    // Both files of the row replaced by replace (all or none), then its size
    // (swapped when sidesSwap) and thumbnail.
    bool replaceFiles(int row, const std::function<bool(const QStringList &, QString *)> &replace,
                      bool sidesSwap, QString *error);
    // The first change of an added file listed as it is: a working copy of its own.
    bool changeOriginal(int row, int quarterTurns, double degrees, QString *error);
    QList<int> draggedRows(const QMimeData *data) const;

    QList<PageEntry> m_entries;
    QSet<QString> m_workingCopies;
    // The busy pages' dimmed thumbnails, by id; null until shown.
    mutable QHash<quint64, QImage> m_busy;
    QSet<QString> m_pageFiles; // of every page listed in this run
    QString m_copyFolder;
    quint64 m_nextId = 1;
    QSize m_cell;
    qreal m_pixelRatio = 1;
    QImage m_placeholder;         // what a row shows until its cell is made
    QImage m_busyPlaceholder;     // the same, busy
    mutable QImage m_busyOverlay; // the veil and hourglass of a busy page

    QThreadPool m_thumbnailPool;
    QList<quint64> m_thumbnailQueue; // pages whose cells are wanted, in order
    QSet<quint64> m_making;
    QHash<quint64, quint32> m_version; // by page: a cell of an older one is stale
    int m_shownFirst = -1;
    int m_shownLast = -1;
    bool m_shownKnown = false; // no view said yet: the first rows count as shown
    int m_capacity = 0;        // set by hand; 0: the usual bound
    bool m_scheduled = false;
    bool m_announce = false; // thumbnailsRemade() after this round
};
