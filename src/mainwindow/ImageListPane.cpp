#include "mainwindow/ImageListPane.h"

#include "gallery/CaptionEditDelegate.h"
#include "gallery/PageListView.h"
#include "gallery/PdfExportJob.h"
#include "gallery/PdfSaveDialog.h"
#include "gallery/PreviewImage.h"
#include "gallery/Tfrm_Preview.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "imaging/ImageFileReader.h"
#include "mainwindow/PageAdder.h"
#include "pages/FileNaming.h"
#include "pages/GalleryLog.h"
#include "pages/PageModel.h"
#include "pages/PageRecogniser.h"
#include "pages/PageRotation.h"
#include "pages/PageStore.h"
#include "pages/Thumbnail.h"
#include "session/ScanSession.h"
#include "widgets/AccessibleText.h"
#include "widgets/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QListView>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The rows of the selection in list order; the commands act on the first.
QList<int> selectedRows(const QListView *list)
{
    QList<int> rows;
    for (const QModelIndex &index : list->selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString message(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

} // namespace

ImageListPane::ImageListPane(PageStore *store, ScanSession *session, QWidget *parent)
    : QWidget(parent), m_store(store), m_session(session)
{
    Pages = m_store->model();
    Recogniser = new PageRecogniser(Pages, this);
    Recogniser->setLanguages(PdfSaveDialog::preferredRecognition(),
                             PdfSaveDialog::preferredTimeLimit());
    createToolBar();
    connectList();
    // A batch's end may make the pages exportable.
    connect(m_session, &ScanSession::stateChanged, this, &ImageListPane::updateExportCommand);
    // A page being turned or renamed would go into the PDF as it was or half renamed.
    connect(m_store, &PageStore::pageJobsChanged, this, &ImageListPane::updateExportCommand);
}

void ImageListPane::createToolBar()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    ActionToolBar1 = new QToolBar;
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Action_Preview = ActionToolBar1->addAction(
        style()->standardIcon(QStyle::SP_FileDialogContentsView), QString());
    Action_Preview->setObjectName(QStringLiteral("Action_Preview"));
    Action_Rename = ActionToolBar1->addAction(
        style()->standardIcon(QStyle::SP_FileDialogDetailedView), QString());
    Action_Rename->setObjectName(QStringLiteral("Action_Rename"));
    Action_Delete =
        ActionToolBar1->addAction(style()->standardIcon(QStyle::SP_TrashIcon), QString());
    Action_Delete->setObjectName(QStringLiteral("Action_Delete"));
    Action_Delete->setShortcut(QKeySequence::Delete);
    Action_Delete->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ActionToolBar1->addSeparator();
    Action_PDF =
        ActionToolBar1->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QString());
    Action_PDF->setObjectName(QStringLiteral("Action_PDF"));
    // Not translated: reads the same in every language.
    Action_PDF->setText(QStringLiteral("Save all to PDF"));
    Action_PDF->setIconText(QStringLiteral("&Save all to PDF"));
    Action_PDF->setToolTip(QStringLiteral("Save all images as PDF"));
    for (QAction *a : {Action_Preview, Action_Rename, Action_Delete, Action_PDF})
        a->setEnabled(false);

    auto *pageList = new PageListView;
    // Files dropped from a file manager take the way of "Add files...".
    connect(pageList, &PageListView::filesDropped, this,
            [this](const QStringList &files) { (new PageAdder(window(), m_store))->add(files); });
    lv_Images = pageList;
    lv_Images->setObjectName(QStringLiteral("lv_Images"));
    lv_Images->setViewMode(QListView::IconMode);
    lv_Images->setIconSize(QSize(100, 75));
    lv_Images->setResizeMode(QListView::Adjust);
    lv_Images->setMovement(QListView::Static);
    lv_Images->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv_Images->setEditTriggers(QAbstractItemView::EditKeyPressed);
    lv_Images->setWordWrap(true);
    lv_Images->addAction(Action_Delete);
    layout->addWidget(ActionToolBar1);
    layout->addWidget(lv_Images, 1);

    connect(Action_Preview, &QAction::triggered, this, &ImageListPane::Action_PreviewExecute);
    connect(Action_Rename, &QAction::triggered, this, &ImageListPane::Action_RenameExecute);
    connect(Action_Delete, &QAction::triggered, this, &ImageListPane::Action_DeleteExecute);
    connect(Action_PDF, &QAction::triggered, this, &ImageListPane::Action_PDFExecute);
}

void ImageListPane::connectList()
{
    lv_Images->setModel(Pages);
    lv_Images->setItemDelegate(new CaptionEditDelegate(
        [this](const QModelIndex &index, QString &text) { lv_ImagesEdited(index, text); },
        lv_Images));

    // One select or deselect event per entry whose state changed, deselections
    // first: a click on another entry ends with a select event, a Ctrl+click
    // that only deselects ends with a deselect event.
    connect(lv_Images->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected, const QItemSelection &deselected) {
                for (const QModelIndex &index : deselected.indexes())
                    lv_ImagesSelectItem(index, false);
                for (const QModelIndex &index : selected.indexes())
                    lv_ImagesSelectItem(index, true);
            });
    connect(Pages, &QAbstractItemModel::dataChanged, this, [this] { lv_ImagesChange(); });
    connect(Pages, &QAbstractItemModel::rowsInserted, this, [this] { lv_ImagesChange(); });
    connect(Pages, &QAbstractItemModel::rowsRemoved, this, [this] { lv_ImagesChange(); });
    // A double click on empty space selects nothing, so the preview does nothing.
    connect(lv_Images, &QListView::doubleClicked, this, [this] { Action_PreviewExecute(); });
    // Thumbnails are made for what the list shows; every scroll, resize or
    // change that shows other rows paints the viewport.
    lv_Images->viewport()->installEventFilter(this);

    SaveDialog1 = new PdfSaveDialog(this);
    createListActions();
}

void ImageListPane::createListActions()
{
    // Pages are put in order by dragging them; the model moves the rows.
    lv_Images->setDragEnabled(true);
    lv_Images->setAcceptDrops(true);
    lv_Images->setDropIndicatorShown(true);
    lv_Images->setDragDropMode(QAbstractItemView::InternalMove);
    lv_Images->setDefaultDropAction(Qt::MoveAction);
    // Drags arrive at the viewport, and the view passes by those sent to itself;
    // the drag-and-drop mode leaves the viewport closed to them.
    lv_Images->viewport()->setAcceptDrops(true);

    const auto listAction = [this](const char *name, const QKeySequence &keys) {
        auto *a = new QAction(this);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        return a;
    };
    const auto separator = [this] {
        auto *a = new QAction(this);
        a->setSeparator(true);
        return a;
    };
    Action_MoveUp = listAction("Action_MoveUp", QKeySequence(Qt::CTRL | Qt::Key_Up));
    Action_MoveDown = listAction("Action_MoveDown", QKeySequence(Qt::CTRL | Qt::Key_Down));
    Action_SelectAll = listAction("Action_SelectAll", QKeySequence::SelectAll);
    Action_RotateLeft = listAction("Action_RotateLeft", QKeySequence(Qt::CTRL | Qt::Key_L));
    Action_RotateRight = listAction("Action_RotateRight", QKeySequence(Qt::CTRL | Qt::Key_R));
    Action_Rotate180 = listAction("Action_Rotate180", QKeySequence());
    Action_TurnUpright = listAction("Action_TurnUpright", QKeySequence());
    Action_Straighten = listAction("Action_Straighten", QKeySequence());
    Action_Interleave = listAction("Action_Interleave", QKeySequence());
    Action_InterleaveReversed = listAction("Action_InterleaveReversed", QKeySequence());
    Action_Reverse = listAction("Action_Reverse", QKeySequence());
    Action_SaveToFolder = listAction("Action_SaveToFolder", QKeySequence());
    Action_RotateLeft->setIcon(QIcon::fromTheme(QStringLiteral("object-rotate-left"),
                                                style()->standardIcon(QStyle::SP_ArrowBack)));
    Action_RotateRight->setIcon(QIcon::fromTheme(QStringLiteral("object-rotate-right"),
                                                 style()->standardIcon(QStyle::SP_ArrowForward)));
    Action_Rotate180->setIcon(QIcon::fromTheme(QStringLiteral("object-flip-vertical"),
                                               style()->standardIcon(QStyle::SP_BrowserReload)));
    for (QAction *a :
         {Action_MoveUp, Action_MoveDown, Action_RotateLeft, Action_RotateRight, Action_Rotate180,
          Action_TurnUpright, Action_Straighten, Action_SaveToFolder})
        a->setEnabled(false);
    connect(Action_SaveToFolder, &QAction::triggered, this,
            &ImageListPane::Action_SaveToFolderExecute);
    connect(Action_TurnUpright, &QAction::triggered, this, [this] { Action_CorrectExecute(true); });
    connect(Action_Straighten, &QAction::triggered, this, [this] { Action_CorrectExecute(false); });
    connect(Action_RotateLeft, &QAction::triggered, this,
            [this] { Action_RotateExecute(PageRotation::Left); });
    connect(Action_RotateRight, &QAction::triggered, this,
            [this] { Action_RotateExecute(PageRotation::Right); });
    connect(Action_Rotate180, &QAction::triggered, this,
            [this] { Action_RotateExecute(PageRotation::HalfTurn); });
    // On the toolbar, between Delete and "Save all to PDF": one button with the
    // three turns, so the narrow toolbar never folds "Save all to PDF" away.
    ToolButtonRotate = new QToolButton;
    ToolButtonRotate->setObjectName(QStringLiteral("ToolButtonRotate"));
    ToolButtonRotate->setPopupMode(QToolButton::InstantPopup);
    ToolButtonRotate->setIcon(Action_RotateRight->icon());
    auto *rotateMenu = new QMenu(ToolButtonRotate);
    rotateMenu->addActions({Action_RotateLeft, Action_RotateRight, Action_Rotate180});
    ToolButtonRotate->setMenu(rotateMenu);
    ToolButtonRotate->setEnabled(false);
    const QList<QAction *> tools = ActionToolBar1->actions();
    ActionToolBar1->insertWidget(tools.at(tools.indexOf(Action_PDF) - 1), ToolButtonRotate);
    connect(Action_MoveUp, &QAction::triggered, this, [this] { Action_MoveExecute(-1); });
    connect(Action_MoveDown, &QAction::triggered, this, [this] { Action_MoveExecute(1); });
    connect(Action_SelectAll, &QAction::triggered, lv_Images, &QListView::selectAll);
    connect(Action_Interleave, &QAction::triggered, this,
            [this] { Action_ArrangeExecute(PageOrder::Arrangement::Interleave); });
    connect(Action_InterleaveReversed, &QAction::triggered, this,
            [this] { Action_ArrangeExecute(PageOrder::Arrangement::InterleaveSecondReversed); });
    connect(Action_Reverse, &QAction::triggered, this,
            [this] { Action_ArrangeExecute(PageOrder::Arrangement::Reverse); });
    for (QAction *a : {Action_Interleave, Action_InterleaveReversed, Action_Reverse})
        a->setEnabled(false);

    // The context menu is the list's actions; Delete is already one of them.
    lv_Images->setContextMenuPolicy(Qt::ActionsContextMenu);
    lv_Images->removeAction(Action_Delete);
    lv_Images->addActions({Action_Preview, Action_Rename, Action_Delete, Action_SaveToFolder,
                           separator(), Action_RotateLeft, Action_RotateRight, Action_Rotate180,
                           Action_TurnUpright, Action_Straighten, separator(), Action_MoveUp,
                           Action_MoveDown, separator(), Action_Interleave,
                           Action_InterleaveReversed, Action_Reverse, separator(),
                           Action_SelectAll});
    lv_Images->addActions(
        {separator(), static_cast<PageListView *>(lv_Images)->thumbnailSizeMenu()});
}

void ImageListPane::retranslateUi()
{
    Action_Preview->setText(tr("Preview", "Action_Preview"));
    Action_Preview->setToolTip(tr("Preview selected image", "Action_Preview.Hint"));
    Action_Rename->setText(tr("Rename", "Action_Rename"));
    Action_Rename->setToolTip(tr("Rename selected file", "Action_Rename.Hint"));
    Action_Delete->setText(tr("Delete", "Action_Delete"));
    Action_Delete->setToolTip(tr("Physically delete file ", "Action_Delete.Hint"));
    Action_MoveUp->setText(tr("Move up", "Action_MoveUp"));
    Action_MoveDown->setText(tr("Move down", "Action_MoveDown"));
    Action_SelectAll->setText(tr("Select all", "Action_SelectAll"));
    Action_RotateLeft->setText(tr("Rotate left", "Action_RotateLeft"));
    Action_RotateRight->setText(tr("Rotate right", "Action_RotateRight"));
    Action_Rotate180->setText(tr("Rotate 180°", "Action_Rotate180"));
    Action_TurnUpright->setText(tr("Turn upright", "Action_TurnUpright"));
    Action_Straighten->setText(tr("Straighten", "Action_Straighten"));
    Action_Interleave->setText(tr("Interleave", "Action_Interleave"));
    Action_InterleaveReversed->setText(
        tr("Interleave, second half reversed", "Action_InterleaveReversed"));
    Action_Reverse->setText(tr("Reverse order", "Action_Reverse"));
    Action_SaveToFolder->setText(tr("Save to folder…", "Action_SaveToFolder"));
    ToolButtonRotate->setToolTip(tr("Rotate", "ToolButtonRotate"));
}

void ImageListPane::FillImageList(const PageEntry &page)
{
    m_store->add(page);
}

bool ImageListPane::FillImageList(const QString &tempfilename, int w, int h,
                                  const QString &ImageCaption)
{
    QString error;
    const QImage cell = Thumbnail::fromFile(tempfilename, w, h, &error);
    if (cell.isNull()) {
        qCDebug(lcGallery) << "no thumbnail for" << ImageCaption << ":" << error;
        return false;
    }
    PageEntry page;
    page.pageFile = QDir(FileNaming::resolveDestination(m_destination, QDir::homePath()))
                        .filePath(ImageCaption);
    page.workingCopy = tempfilename;
    page.caption = ImageCaption;
    page.size = QSize(w, h);
    page.thumbnail = cell;
    if (QDir::cleanPath(page.workingCopy) != QDir::cleanPath(page.pageFile))
        m_store->noteWorkingCopy(page.workingCopy);
    return m_store->add(page);
}

void ImageListPane::lv_ImagesSelectItem(const QModelIndex &, bool selected)
{
    Action_Preview->setEnabled(selected);
    Action_Rename->setEnabled(selected);
    Action_Delete->setEnabled(selected);
    // The order commands act on the whole selection, so they follow it rather than the event.
    const bool any = lv_Images->selectionModel()->hasSelection();
    for (QAction *a :
         {Action_MoveUp, Action_MoveDown, Action_RotateLeft, Action_RotateRight, Action_Rotate180,
          Action_TurnUpright, Action_Straighten, Action_SaveToFolder})
        a->setEnabled(any);
    ToolButtonRotate->setEnabled(any);
}

void ImageListPane::lv_ImagesChange()
{
    const int n = Pages->rowCount();
    emit countChanged(MessageTables::fileCount(n));
    updateExportCommand();
    for (QAction *a : {Action_Interleave, Action_InterleaveReversed, Action_Reverse})
        a->setEnabled(n > 1);
}

void ImageListPane::Action_PreviewExecute()
{
    const QList<int> rows = selectedRows(lv_Images);
    if (rows.isEmpty() || !m_preview)
        return;
    const PageEntry &page = Pages->entry(rows.first());
    m_preview->setFileName(page.caption);
    QString error;
    if (page.heldInMemory()) {
        m_preview->Image->setPicture(page.image);
        m_preview->exec();
        return;
    }
    // An added page's original may be a PDF or a TIFF of many frames: its working
    // copy is the page, as turned in the list, read by its contents (a PNG, or
    // the compressed TIFF copy of a PDF page), whatever its name or caption says.
    if (page.added) {
        const QImage picture = ImageFileReader::read(page.workingCopy, &error);
        if (picture.isNull()) {
            UserPrompts::showError(window(), error);
            return;
        }
        m_preview->Image->setPicture(picture);
        m_preview->exec();
        return;
    }
    // So it is for a page file never written.
    if (!m_preview->LoadPicture(!page.pageFileWritten ? page.workingCopy : page.pageFile, &error)) {
        UserPrompts::showError(window(), error);
        return;
    }
    m_preview->exec();
}

void ImageListPane::Action_RenameExecute()
{
    const QList<int> rows = selectedRows(lv_Images);
    if (!rows.isEmpty())
        lv_Images->edit(Pages->index(rows.first()));
}

void ImageListPane::lv_ImagesEdited(const QModelIndex &item, QString &S)
{
    const QString oldCaption = item.data(Qt::EditRole).toString();
    PageModel::Refusal why = PageModel::Refusal::None;
    // The file is renamed off this thread; the caption follows when it is done.
    const auto done = [this](const QList<PageStore::JobFailure> &failures) {
        for (const PageStore::JobFailure &f : failures)
            showRenameRefusal(renameRefusal(int(f.refusal), f.newCaption, f.reason, f.pageFile));
    };
    if (m_store->renameLater(item.row(), S, &why, this, done) != PageModel::RenameResult::Refused)
        return;
    showRenameRefusal(renameRefusal(int(why), S, QString(), Pages->entry(item.row()).pageFile));
    S = oldCaption;
}

QString ImageListPane::renameRefusal(int why, const QString &newCaption,
                                     const QString &systemReason, const QString &pageFile) const
{
    switch (PageModel::Refusal(why)) {
    case PageModel::Refusal::Blank:
        return tr("It is impossible to rename file. The new name is empty.", "renameBlank");
    case PageModel::Refusal::Taken:
        return tr("It is impossible to rename file. A file named %1 already exists.", "renameTaken")
            .arg(newCaption);
    case PageModel::Refusal::Separator:
        return tr("It is impossible to rename file. A file name cannot contain \"%1\".",
                  "renameSeparator")
            .arg(QDir::separator());
    case PageModel::Refusal::System:
        return tr("It is impossible to rename file: %1", "renameSystem").arg(systemReason);
    case PageModel::Refusal::Added:
        return tr("It is impossible to rename file. %1 was added from outside the program and "
                  "keeps its name.",
                  "renameAdded")
            .arg(QDir::toNativeSeparators(pageFile));
    case PageModel::Refusal::Hidden:
        return tr("It is impossible to rename file. A name beginning with a dot would hide the "
                  "file and leave it without a name.",
                  "renameHidden");
    case PageModel::Refusal::Gone:
    case PageModel::Refusal::None:
        break;
    }
    return message("IDS_103");
}

void ImageListPane::showRenameRefusal(const QString &text)
{
    UserPrompts::message(window(), QMessageBox::Warning, message("IDS_104"), text, QMessageBox::Ok);
}

void ImageListPane::Action_DeleteExecute()
{
    const QList<int> rows = selectedRows(lv_Images);
    if (rows.isEmpty())
        return;
    // Pages added from the user's own files: the question says those files stay.
    QStringList originals;
    for (int row : rows) {
        const PageEntry &page = Pages->entry(row);
        if (page.added && !originals.contains(page.pageFile))
            originals.append(page.pageFile);
    }
    QString question = message("IDS_100");
    if (originals.size() == 1)
        question += QLatin1Char('\n') +
                    tr("The original file %1 stays untouched: only the list entry and this "
                       "program's own copy are deleted.",
                       "deleteAddedOne")
                        .arg(QDir::toNativeSeparators(originals.first()));
    else if (originals.size() > 1)
        question += QLatin1Char('\n') + tr("The original files of the added pages stay untouched: "
                                           "only the list entries and this program's own copies "
                                           "are deleted.",
                                           "deleteAddedMany");
    if (UserPrompts::message(window(), QMessageBox::Warning, message("IDS_101"), question,
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    // The rows leave the list as their files go, off this thread.
    m_store->removeLater(rows);
}

void ImageListPane::Action_MoveExecute(int step)
{
    const QList<int> rows = selectedRows(lv_Images);
    if (rows.isEmpty())
        return;
    // The selection moves with its rows; the current entry stays in view.
    m_store->move(rows, step);
    lv_Images->scrollTo(lv_Images->currentIndex());
}

void ImageListPane::Action_ArrangeExecute(PageOrder::Arrangement arrangement)
{
    // The selection and the current entry follow their pages to their new places.
    m_store->arrange(selectedRows(lv_Images), arrangement);
    lv_Images->scrollTo(lv_Images->currentIndex());
}

void ImageListPane::Action_RotateExecute(int quarterTurns)
{
    const QList<int> rows = selectedRows(lv_Images);
    if (rows.isEmpty())
        return;
    // Decoding, turning and syncing a large page takes seconds: the store's
    // workers do it and the list shows the pages busy meanwhile.
    m_store->rotateLater(
        rows, quarterTurns, this,
        [this](const QList<PageStore::JobFailure> &failures) { showTurnFailures(failures); });
}

void ImageListPane::showTurnFailures(const QList<PageStore::JobFailure> &failures)
{
    if (failures.isEmpty())
        return;
    QStringList texts;
    for (const PageStore::JobFailure &f : failures)
        texts.append(
            tr("The page %1 could not be turned: %2", "rotateFailed").arg(f.caption, f.reason));
    UserPrompts::showError(window(), texts.join(QLatin1String("\n\n")));
}

void ImageListPane::Action_CorrectExecute(bool upright)
{
    const QList<int> rows = selectedRows(lv_Images);
    if (rows.isEmpty())
        return;
    m_store->correctLater(
        rows, upright, this,
        [this](const QList<PageStore::JobFailure> &failures) { showTurnFailures(failures); });
}

void ImageListPane::Action_SaveToFolderExecute()
{
    const QList<int> rows = selectedRows(lv_Images);
    if (rows.isEmpty())
        return;
    const QString folder =
        UserPrompts::existingFolder(window(), tr("Save to folder", "saveToFolderTitle"));
    if (!folder.isEmpty())
        saveToFolder(rows, folder);
}

bool ImageListPane::saveToFolder(const QList<int> &rows, const QString &folder)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QStringList failures = m_store->saveToFolder(rows, folder);
    QApplication::restoreOverrideCursor();
    if (failures.isEmpty())
        return true;
    UserPrompts::showError(
        window(), tr("These pages could not be saved in the folder %1:", "saveToFolderFailed")
                          .arg(QDir::toNativeSeparators(folder)) +
                      QLatin1String("\n\n") + failures.join(QLatin1Char('\n')));
    return false;
}

void ImageListPane::Action_PDFExecute()
{
    if (Pages->rowCount() == 0 || m_session->busy() || m_pdfExport || m_store->hasPageJobs())
        return;
    // The pages as they are now, in list order: the export works on these values.
    const QList<PageEntry> pages = Pages->snapshot();
    const QString folder = FileNaming::resolveDestination(m_destination, QDir::homePath());
    if (!SaveDialog1->Execute(window(), QFileInfo(folder).isDir() ? folder : QDir::homePath()))
        return;
    const QString languages = SaveDialog1->RecognitionLanguages();
    QStringList files;
    QHash<QString, PdfWords> known; // recognised in the background, still current
    QHash<QString, QImage> held;    // pages with no file: read from memory
    for (const PageEntry &page : pages) {
        files.append(page.workingCopy);
        if (page.heldInMemory())
            held.insert(page.workingCopy, page.image);
        if (page.text.holdsFor(page.workingCopy, languages))
            known.insert(page.workingCopy, page.text.words);
    }
    m_pdfExport = PdfExportJob::start(window(), files, SaveDialog1->FileName(), languages, known,
                                      SaveDialog1->Archival(), PdfSaveDialog::preferredTimeLimit(),
                                      held, SaveDialog1->Compact());
    connect(m_pdfExport, &PdfExportJob::finished, this,
            [this, pages](PdfExportJob::Outcome outcome, const QString &error) {
                if (outcome == PdfExportJob::Outcome::Written && !error.isEmpty()) {
                    UserPrompts::showError(window(), tr("The PDF document was written, but these "
                                                        "pages have no searchable text:") +
                                                         QLatin1String("\n\n") + error);
                    return;
                }
                if (outcome != PdfExportJob::Outcome::Failed)
                    return;
                // Name the page as the list shows it, not only its working copy.
                QString text = error;
                for (const PageEntry &page : pages) {
                    if (error.contains(page.workingCopy)) {
                        text += QLatin1String("\n\n") + page.caption;
                        break;
                    }
                }
                UserPrompts::showError(window(), text);
            });
}

bool ImageListPane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched == lv_Images->viewport() &&
        !m_shownReportQueued) {
        // After the paint: the rows are laid out by then.
        m_shownReportQueued = true;
        QMetaObject::invokeMethod(this, &ImageListPane::reportShownRows, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void ImageListPane::reportShownRows()
{
    m_shownReportQueued = false;
    const int n = Pages->rowCount();
    const QRect area = lv_Images->viewport()->rect();
    if (n == 0 || !lv_Images->isVisible() || area.isEmpty()) {
        Pages->showRows(-1, -1);
        return;
    }
    // The rows follow each other left to right and wrap, so their tops never
    // go up: the first row whose cell reaches into view, and the last that
    // begins above its bottom, by halving.
    const auto cellOf = [this](int row) { return lv_Images->visualRect(Pages->index(row)); };
    int low = 0;
    int high = n;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (cellOf(mid).bottom() < area.top())
            low = mid + 1;
        else
            high = mid;
    }
    const int first = low;
    high = n;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (cellOf(mid).top() <= area.bottom())
            low = mid + 1;
        else
            high = mid;
    }
    const int last = low - 1;
    if (first > last)
        Pages->showRows(-1, -1);
    else
        Pages->showRows(first, last);
}

bool ImageListPane::pdfExportRunning() const
{
    return !m_pdfExport.isNull();
}

void ImageListPane::updateExportCommand()
{
    // Pages handled while an export runs must not slip into it: no export
    // starts during a batch.
    Action_PDF->setEnabled(Pages->rowCount() > 0 && !m_session->busy() && !m_store->hasPageJobs());
}

void ImageListPane::cancelPdfExport()
{
    if (m_pdfExport)
        m_pdfExport->cancelAndWait();
}

QList<QWidget *> ImageListPane::toolWidgets() const
{
    QList<QWidget *> tools;
    for (QAction *a : ActionToolBar1->actions()) {
        QWidget *tool = ActionToolBar1->widgetForAction(a);
        if (tool && !a->isSeparator())
            tools << tool;
    }
    return tools;
}

void ImageListPane::retranslateAccessible()
{
    // On Linux screen readers name a list box by its label and ignore the name
    // set here; other platforms use it.
    using AccessibleText::set;
    set(ActionToolBar1, tr("Image commands", "ActionToolBar1.AccessibleName"));
    for (QAction *a : ActionToolBar1->actions()) {
        if (QWidget *tool = ActionToolBar1->widgetForAction(a); tool && !a->isSeparator())
            set(tool, a->text(), a->toolTip() == a->text() ? QString() : a->toolTip());
    }
    set(ToolButtonRotate, ToolButtonRotate->toolTip());
    // The tool bar's own button for the commands a narrow window has no room for.
    if (auto *more =
            ActionToolBar1->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        set(more, tr("More image commands", "ActionToolBar1.Extension"));
    set(lv_Images, tr("Scanned images", "lv_Images.AccessibleName"),
        tr("The menu key opens the image commands", "lv_Images.Description"));
}
