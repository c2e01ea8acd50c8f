#include "gallery/CaptionEditDelegate.h"

#include <QLineEdit>

CaptionEditDelegate::CaptionEditDelegate(EditedHandler handler, QObject *parent)
    : QStyledItemDelegate(parent), m_handler(std::move(handler))
{
}

void CaptionEditDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    QString text = line->text();
    // The handler may show a message box; the list may grow meanwhile.
    const QPersistentModelIndex entry(index);
    if (m_handler)
        m_handler(index, text);
    // Storing an unchanged text sends no change, as with an untouched caption.
    if (entry.isValid() && text != entry.data(Qt::EditRole).toString())
        model->setData(entry, text, Qt::EditRole);
}
