#pragma once

#include "gallery/PageEntry.h"

#include <QAbstractListModel>
#include <QList>
#include <QSet>
#include <QStringList>

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
        PageFileWrittenRole
    };

    explicit PageModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Only the caption is editable, and only to its current text: a rename goes
    // through rename(), which changes the file first.
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void append(const PageEntry &entry);
    const PageEntry &entry(int row) const { return m_entries.at(row); }
    // The entries as values: what an export works on while the list changes.
    QList<PageEntry> snapshot() const { return m_entries; }

    enum class RenameResult
    {
        Renamed,
        Unchanged,
        Refused
    };
    // Renames the entry's page file inside its own folder; the platform's rename
    // refuses an existing target. Empty names, separators, "." and ".." are refused.
    RenameResult rename(int row, const QString &newCaption);

    // Deletes the page files of the rows (and each working copy whose page file
    // went), then removes every one of those rows from the list.
    void deletePages(QList<int> rows);

    // Keeps words recognised in the background with every entry of that working
    // copy; an entry deleted meanwhile is no longer there to take them.
    void setText(const QString &workingCopy, const PageText &text);

    // A working copy this run wrote into the temporary folder.
    void noteWorkingCopy(const QString &path);
    // At close: removes every noted working copy that is not a page file of an
    // entry and does not belong to a page whose page file is missing. Returns
    // the working copies kept because they are the only copy of their page.
    QStringList cleanUp();

    // The page file of an entry is the pixel data the user keeps; a working
    // copy that is also the page file (destination = temporary folder, BMP)
    // must never be removed as a working copy.
    bool isPageFile(const QString &path) const;

private:
    static QImage markMissing(const QImage &thumbnail);

    QList<PageEntry> m_entries;
    QSet<QString> m_workingCopies;
};
