// The image list and its commands.
#include "gallery/CaptionEditDelegate.h"
#include "gallery/GalleryLog.h"
#include "gallery/GalleryRules.h"
#include "gallery/ImageListRoles.h"
#include "gallery/PdfExportProgress.h"
#include "gallery/PdfSaveDialog.h"
#include "gallery/Tfrm_Preview.h"
#include "gallery/Thumbnail.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/StatusPanelBar.h"
#include "mainwindow/Tfrm_Main.h"
#include "mainwindow/UserPrompts.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>

namespace {

// The page file of an entry: the trimmed destination text, one separator, the
// caption - the same folder the scan wrote it to, so blanks typed around the
// folder name cannot make rename, delete and preview miss the file.
QString pageFilePath(const QLineEdit *destination, const QString &caption)
{
    return destination->text().trimmed() + QLatin1Char('/') + caption;
}

// The commands act on the first selected entry: the lowest index among them.
QListWidgetItem *firstSelected(const QListWidget *list)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            return list->item(i);
    }
    return nullptr;
}

QList<QListWidgetItem *> selectedInListOrder(const QListWidget *list)
{
    QList<QListWidgetItem *> items;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            items.append(list->item(i));
    }
    return items;
}

QString message(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

} // namespace

void Tfrm_Main::connectImageList()
{
    lv_Images->setItemDelegate(new CaptionEditDelegate(
        [this](const QModelIndex &index, QString &text) {
            if (QListWidgetItem *item = lv_Images->item(index.row()))
                lv_ImagesEdited(item, text);
        },
        lv_Images));

    // One select or deselect event per entry whose state changed, deselections
    // first: a click on another entry ends with a select event, a Ctrl+click
    // that only deselects ends with a deselect event.
    connect(lv_Images->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected, const QItemSelection &deselected) {
                for (const QModelIndex &index : deselected.indexes())
                    lv_ImagesSelectItem(lv_Images->item(index.row()), false);
                for (const QModelIndex &index : selected.indexes())
                    lv_ImagesSelectItem(lv_Images->item(index.row()), true);
            });
    connect(lv_Images, &QListWidget::itemChanged, this, [this] { lv_ImagesChange(); });
    // A double click on empty space selects nothing, so the preview does nothing.
    connect(lv_Images, &QListWidget::itemDoubleClicked, this, [this] { Action_PreviewExecute(); });

    new PdfSaveDialog(this);
}

bool Tfrm_Main::FillImageList(const QString &tempfilename, int w, int h,
                              const QString &ImageCaption)
{
    QString error;
    const QImage cell = Thumbnail::fromFile(tempfilename, w, h, &error);
    if (cell.isNull()) {
        qCDebug(lcGallery) << "no thumbnail for" << ImageCaption << ":" << error;
        return false;
    }

    const int index = int(il_Files.size());
    il_Files.append(QPixmap::fromImage(cell));
    auto *item = new QListWidgetItem;
    item->setText(ImageCaption);
    item->setIcon(QIcon(il_Files.at(index)));
    item->setData(ImageListRoles::WorkingCopy, tempfilename);
    item->setData(ImageListRoles::ImageIndex, index);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    lv_Images->addItem(item);
    // The new entry's caption and image count as a change of the list.
    lv_ImagesChange();
    return true;
}

void Tfrm_Main::lv_ImagesSelectItem(QListWidgetItem *, bool selected)
{
    Action_Preview->setEnabled(selected);
    Action_Rename->setEnabled(selected);
    Action_Delete->setEnabled(selected);
}

void Tfrm_Main::lv_ImagesChange()
{
    const int n = lv_Images->count();
    sb_Main->setPanelText(3, QString::number(n) + message(n == 1 ? "IDS_106" : "IDS_105"));
    Action_PDF->setEnabled(n > 0);
}

void Tfrm_Main::Action_PreviewExecute()
{
    QListWidgetItem *item = firstSelected(lv_Images);
    if (!item || !m_preview)
        return;
    m_preview->setFileName(item->text());
    QString error;
    if (!m_preview->LoadPicture(pageFilePath(edt_Destination, item->text()), &error)) {
        UserPrompts::showError(this, error);
        return;
    }
    m_preview->exec();
}

void Tfrm_Main::Action_RenameExecute()
{
    if (QListWidgetItem *item = firstSelected(lv_Images))
        lv_Images->editItem(item);
}

void Tfrm_Main::lv_ImagesEdited(QListWidgetItem *item, QString &S)
{
    // Exact comparison: a change of letter case is a rename.
    const QString oldCaption = item->text();
    if (S == oldCaption)
        return;
    // QFile::rename refuses an existing target, as the platform's rename does.
    if (GalleryRules::isPlainFileName(S) &&
        QFile::rename(pageFilePath(edt_Destination, oldCaption), pageFilePath(edt_Destination, S)))
        return; // the caption becomes S; the working copy keeps its name
    UserPrompts::message(this, QMessageBox::Warning, message("IDS_104"), message("IDS_103"),
                         QMessageBox::Ok);
    S = oldCaption;
}

void Tfrm_Main::Action_DeleteExecute()
{
    const QList<QListWidgetItem *> selected = selectedInListOrder(lv_Images);
    if (selected.isEmpty())
        return;
    if (UserPrompts::message(this, QMessageBox::Warning, message("IDS_101"), message("IDS_100"),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    for (QListWidgetItem *item : selected) {
        // The working copy goes only with its page file, so a page that stays
        // on disk keeps its copy too.
        if (QFile::remove(pageFilePath(edt_Destination, item->text())))
            QFile::remove(item->data(ImageListRoles::WorkingCopy).toString());
    }
    // Every selected entry leaves the list, also those whose file stayed.
    qDeleteAll(selected);
    lv_ImagesChange();
}

void Tfrm_Main::Action_PDFExecute()
{
    if (lv_Images->count() == 0)
        return;
    auto *SaveDialog1 = findChild<PdfSaveDialog *>(QStringLiteral("SaveDialog1"));
    if (!SaveDialog1 || !SaveDialog1->Execute(this))
        return;
    // Pages come from the working copies, in list order.
    QStringList files;
    for (int i = 0; i < lv_Images->count(); ++i)
        files.append(lv_Images->item(i)->data(ImageListRoles::WorkingCopy).toString());
    QString error;
    if (PdfExportProgress::run(this, files, SaveDialog1->FileName(), &error) ==
        PdfExportProgress::Outcome::Failed)
        UserPrompts::showError(this, error);
}

void Tfrm_Main::deleteWorkingCopies()
{
    for (int i = 0; i < lv_Images->count(); ++i)
        QFile::remove(lv_Images->item(i)->data(ImageListRoles::WorkingCopy).toString());
}
