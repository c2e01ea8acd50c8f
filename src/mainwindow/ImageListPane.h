#pragma once

#include "pages/PageOrder.h"
#include "pages/PageStore.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QListView;
class QModelIndex;
class QToolBar;
class QToolButton;

class PageModel;
class PageRecogniser;
class PdfExportJob;
class PdfSaveDialog;
class ScanSession;
class Tfrm_Preview;
struct PageEntry;

// The right-hand pane: the list of scanned pages as thumbnails, the toolbar of
// its commands and the commands themselves (preview, rename, delete, order,
// turns, PDF export). The pages live in the store; the pane shows and edits them.
class ImageListPane final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageListPane)

public:
    // No command runs while the session is busy; the pages come from the store.
    ImageListPane(PageStore *store, ScanSession *session, QWidget *parent = nullptr);

    // The window that Action_PreviewExecute shows a page in.
    void setPreviewWindow(Tfrm_Preview *preview) { m_preview = preview; }
    // The destination field's text: pages listed by file name are taken from there.
    void setDestination(const QString &text) { m_destination = text; }

    // Lists a page whose files are written (the pipeline's entry point).
    void FillImageList(const PageEntry &page);
    // The same for a page file in the destination folder the field names now.
    bool FillImageList(const QString &tempfilename, int w, int h, const QString &ImageCaption);
    void lv_ImagesSelectItem(const QModelIndex &item, bool selected);
    void lv_ImagesChange();
    void Action_PreviewExecute();
    void Action_RenameExecute();
    void lv_ImagesEdited(const QModelIndex &item, QString &S);
    void Action_DeleteExecute();
    // Moves the selected pages one place up (-1) or down (+1) in the list.
    void Action_MoveExecute(int step);
    void Action_ArrangeExecute(PageOrder::Arrangement arrangement);
    // Turns the selected pages' files clockwise by quarter turns (3: left).
    void Action_RotateExecute(int quarterTurns);
    // Measures the selected pages off this thread, then turns them upright
    // (upright) or straightens them, both files or neither. Like the turns, it
    // returns at once: the pages show busy until their files are done.
    void Action_CorrectExecute(bool upright);
    // Writes the selected pages' files into a folder the user picks; pages not
    // saved before become ordinary saved pages there.
    void Action_SaveToFolderExecute();
    // The same for the given rows and folder; failures are shown. False when a
    // page could not be written.
    bool saveToFolder(const QList<int> &rows, const QString &folder);
    // Starts the export and returns; it runs on behind its progress dialog.
    void Action_PDFExecute();
    bool pdfExportRunning() const;
    // An export still reading working copies ends before they are removed.
    void cancelPdfExport();

    // Texts and names for screen readers, in the current language.
    void retranslateUi();
    void retranslateAccessible();
    // The toolbar's buttons, in order, for the window's Tab order.
    QList<QWidget *> toolWidgets() const;

    // --- components, named as the rest of the program refers to them ---
    QToolBar *ActionToolBar1 = nullptr;
    QAction *Action_Preview = nullptr;
    QAction *Action_Rename = nullptr;
    QAction *Action_Delete = nullptr;
    QAction *Action_PDF = nullptr;
    QAction *Action_RotateLeft = nullptr;  // Ctrl+L
    QAction *Action_RotateRight = nullptr; // Ctrl+R
    QAction *Action_Rotate180 = nullptr;
    QAction *Action_TurnUpright = nullptr;
    QAction *Action_Straighten = nullptr;
    QAction *Action_MoveUp = nullptr;    // Ctrl+Up
    QAction *Action_MoveDown = nullptr;  // Ctrl+Down
    QAction *Action_SelectAll = nullptr; // Ctrl+A
    QAction *Action_SaveToFolder = nullptr;
    // Order of a two-sided stack scanned in two passes; on the selection, or all.
    QAction *Action_Interleave = nullptr;
    QAction *Action_InterleaveReversed = nullptr;
    QAction *Action_Reverse = nullptr;
    // The three turns on one toolbar button.
    QToolButton *ToolButtonRotate = nullptr;
    QListView *lv_Images = nullptr;
    PageModel *Pages = nullptr;           // what lv_Images shows (the store's model)
    PageRecogniser *Recogniser = nullptr; // its pages' text, when the preferences ask
    PdfSaveDialog *SaveDialog1 = nullptr;

protected:
    // The list's paints say which rows it shows: their thumbnails are made.
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // The file count for the status bar, in the current language.
    void countChanged(const QString &text);

private:
    void createToolBar();
    void createListActions();
    void connectList();
    // Action_PDF: no export while a batch runs, it would miss the pages still coming.
    void updateExportCommand();
    // Why a rename was refused, in the words of the message box.
    QString renameRefusal(int why, const QString &newCaption, const QString &systemReason,
                          const QString &pageFile) const;
    void showRenameRefusal(const QString &text);
    void showTurnFailures(const QList<PageStore::JobFailure> &failures);
    // Tells the model the rows the list shows now.
    void reportShownRows();

    PageStore *m_store;
    ScanSession *m_session;
    Tfrm_Preview *m_preview = nullptr;
    QString m_destination;
    QPointer<PdfExportJob> m_pdfExport;
    bool m_shownReportQueued = false;
};
