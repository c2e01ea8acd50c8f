#pragma once

#include <QStyledItemDelegate>
#include <functional>

// Draws list entries as usual and hands every accepted in-place edit of a
// caption to a handler before it is stored, so the handler can rename the file
// behind it and, when that fails, put the old caption back into the text.
class CaptionEditDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CaptionEditDelegate)

public:
    using EditedHandler = std::function<void(const QModelIndex &index, QString &text)>;

    CaptionEditDelegate(EditedHandler handler, QObject *parent = nullptr);

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    EditedHandler m_handler;
};
