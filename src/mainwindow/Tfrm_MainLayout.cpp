// Building the window: panes, controls, menus, and their texts per language.
#include "gallery/PageListView.h"
#include "gallery/PdfSaveDialog.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangDispatcher.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/PageAdder.h"
#include "mainwindow/PreviewPane.h"
#include "mainwindow/RulerWidget.h"
#include "mainwindow/SourceListLoader.h"
#include "mainwindow/StatusPanelBar.h"
#include "mainwindow/Tfrm_Main.h"
#include "pages/PageModel.h"
#include "pages/PagePipeline.h"
#include "pages/PageRecogniser.h"
#include "pages/PageStore.h"
#include "scanner/PageSizes.h"
#include "scanner/TTwainControl.h"
#include "scanner/TwainControlFactory.h"
#include "session/PreviewRules.h"
#include "settings/SettingsStore.h"
#include "settings/Tfrm_Settings.h"
#include "widgets/AccessibleText.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressBar>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int LeftPaneWidth = 253;
constexpr int MiddlePaneWidth = 344;
constexpr int DesignClientWidth = 790;
constexpr int DesignClientHeight = 552;
constexpr int MinimumWidth = 790;
constexpr int MinimumHeight = 570;

const char *const Resolutions[] = {"75",  "100", "150", "200",  "300",
                                   "400", "600", "800", "1200", "2400"};
const char *const Formats[] = {"BMP (Windows Bitmap)", "JPG (JPEG)",
                               "TIFF (Tag Image File Format)"};

QString defaultDestination()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return pictures.isEmpty() ? QDir::homePath() : QDir::toNativeSeparators(pictures);
}

QLabel *label(const char *name, QWidget *buddy)
{
    auto *l = new QLabel;
    l->setObjectName(QLatin1String(name));
    l->setBuddy(buddy);
    return l;
}

} // namespace

Tfrm_Main::Tfrm_Main(TTwainControl *control, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Tfrm_Main"));
    TwainControl = control ? control : createTwainControl(this);
    TwainControl->setParent(this);
    TwainControl->setObjectName(QStringLiteral("TwainControl"));
    m_store = new PageStore(this);
    Pages = m_store->model();
    Recogniser = new PageRecogniser(Pages, this);
    Recogniser->setLanguages(PdfSaveDialog::preferredRecognition(),
                             PdfSaveDialog::preferredTimeLimit());

    auto *central = new QWidget;
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *panes = new QHBoxLayout;
    panes->setContentsMargins(4, 4, 4, 4);
    panes->setSpacing(4);

    auto *left = new QWidget;
    left->setFixedWidth(LeftPaneWidth - 4);
    createLeftPane(left);
    auto *middle = new QWidget;
    middle->setFixedWidth(MiddlePaneWidth - 4);
    createPreviewPane(middle);
    auto *right = new QWidget;
    createImagePane(right);
    panes->addWidget(left);
    panes->addWidget(middle);
    panes->addWidget(right, 1);
    outer->addLayout(panes, 1);

    pb_ScanProgress = new QProgressBar(this);
    pb_ScanProgress->setObjectName(QStringLiteral("pb_ScanProgress"));
    pb_ScanProgress->setRange(0, 100);
    pb_ScanProgress->setValue(0);
    pb_ScanProgress->hide(); // painted by the status bar, never shown as a window
    sb_Main = new StatusPanelBar(pb_ScanProgress);
    outer->addWidget(sb_Main);
    setCentralWidget(central);

    createMenus();
    connectControl();
    connectImageList();
    setKeyboardOrder();
    retranslateUi();

    setMinimumSize(MinimumWidth, MinimumHeight);
    m_designSize = QSize(DesignClientWidth, DesignClientHeight + menuBar()->sizeHint().height());
    resize(m_designSize);
}

void Tfrm_Main::createLeftPane(QWidget *pane)
{
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);

    gb_Source = new QGroupBox;
    gb_Source->setObjectName(QStringLiteral("gb_Source"));
    cmb_Sources = new QComboBox;
    cmb_Sources->setObjectName(QStringLiteral("cmb_Sources"));
    cb_ADF = new QCheckBox;
    cb_ADF->setObjectName(QStringLiteral("cb_ADF"));
    cb_Duplex = new QCheckBox;
    cb_Duplex->setObjectName(QStringLiteral("cb_Duplex"));
    cb_Duplex->setEnabled(false);
    auto *sourceLayout = new QGridLayout(gb_Source);
    sourceLayout->addWidget(cmb_Sources, 0, 0, 1, 2);
    sourceLayout->addWidget(cb_ADF, 1, 0);
    sourceLayout->addWidget(cb_Duplex, 1, 1);
    layout->addWidget(gb_Source);

    gb_Params = new QGroupBox;
    gb_Params->setObjectName(QStringLiteral("gb_Params"));
    cmb_Mode = new QComboBox;
    cmb_Mode->setObjectName(QStringLiteral("cmb_Mode"));
    cmb_Mode->addItems({QString(), QString(), QString()});
    cmb_Mode->setCurrentIndex(2);
    cmb_Resolution = new QComboBox;
    cmb_Resolution->setObjectName(QStringLiteral("cmb_Resolution"));
    for (const char *r : Resolutions)
        cmb_Resolution->addItem(QLatin1String(r));
    cmb_Resolution->setCurrentIndex(4);
    cmb_Size = new QComboBox;
    cmb_Size->setObjectName(QStringLiteral("cmb_Size"));
    for (int i = 0; i < PageSizes::Count; ++i)
        cmb_Size->addItem(QLatin1String(PageSizes::at(i).name));
    cmb_Size->setCurrentIndex(1);
    Label1 = label("Label1", cmb_Mode);
    Label2 = label("Label2", cmb_Resolution);
    Label3 = label("Label3", cmb_Size);
    auto *params = new QGridLayout(gb_Params);
    params->addWidget(Label1, 0, 0);
    params->addWidget(cmb_Mode, 0, 1);
    params->addWidget(Label2, 1, 0);
    params->addWidget(cmb_Resolution, 1, 1);
    params->addWidget(Label3, 2, 0);
    params->addWidget(cmb_Size, 2, 1);
    params->setColumnStretch(1, 1);
    layout->addWidget(gb_Params);

    gb_FileSettings = new QGroupBox;
    gb_FileSettings->setObjectName(QStringLiteral("gb_FileSettings"));
    edt_FileName = new QLineEdit(QStringLiteral("Pagora"));
    edt_FileName->setObjectName(QStringLiteral("edt_FileName"));
    cmb_Format = new QComboBox;
    cmb_Format->setObjectName(QStringLiteral("cmb_Format"));
    for (const char *f : Formats)
        cmb_Format->addItem(QLatin1String(f));
    cmb_Format->setCurrentIndex(0);
    edt_Destination = new QLineEdit(defaultDestination());
    edt_Destination->setObjectName(QStringLiteral("edt_Destination"));
    edt_DestinationButton = edt_Destination->addAction(
        style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    edt_DestinationButton->setObjectName(QStringLiteral("edt_DestinationButton"));
    Label4 = label("Label4", edt_FileName);
    Label5 = label("Label5", cmb_Format);
    Label6 = label("Label6", edt_Destination);
    auto *files = new QGridLayout(gb_FileSettings);
    files->addWidget(Label4, 0, 0);
    files->addWidget(edt_FileName, 0, 1);
    files->addWidget(Label5, 1, 0);
    files->addWidget(cmb_Format, 1, 1);
    files->addWidget(Label6, 2, 0, 1, 2);
    files->addWidget(edt_Destination, 3, 0, 1, 2);
    files->setColumnStretch(1, 1);
    layout->addWidget(gb_FileSettings);

    ToolBar_Main = new QWidget;
    ToolBar_Main->setObjectName(QStringLiteral("ToolBar_Main"));
    auto *toolbarLayout = new QHBoxLayout(ToolBar_Main);
    toolbarLayout->setSpacing(4);
    ToolButtonPreview = new QToolButton;
    ToolButtonPreview->setObjectName(QStringLiteral("ToolButtonPreview"));
    ToolButtonPreview->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    PopupMenu_ScanCopy = new QMenu(this);
    PopupMenu_ScanCopy->setObjectName(QStringLiteral("PopupMenu_ScanCopy"));
    Scan1 = PopupMenu_ScanCopy->addAction(QString());
    Scan1->setObjectName(QStringLiteral("Scan1"));
    Scan1->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    Copy1 = PopupMenu_ScanCopy->addAction(QString());
    Copy1->setObjectName(QStringLiteral("Copy1"));
    Copy1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ToolButtonScan = new QToolButton;
    ToolButtonScan->setObjectName(QStringLiteral("ToolButtonScan"));
    ToolButtonScan->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolButtonScan->setPopupMode(QToolButton::MenuButtonPopup);
    ToolButtonScan->setMenu(PopupMenu_ScanCopy);
    ToolButtonScan->setIcon(Scan1->icon());
    ToolButtonScanItem = Scan1;
    ToolButtonStop = new QToolButton;
    ToolButtonStop->setObjectName(QStringLiteral("ToolButtonStop"));
    ToolButtonStop->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolButtonStop->hide();
    for (QToolButton *b : {ToolButtonPreview, ToolButtonScan, ToolButtonStop}) {
        b->setAutoRaise(true);
        b->setIconSize(QSize(16, 16));
        toolbarLayout->addWidget(b);
    }
    toolbarLayout->addStretch(1);
    layout->addWidget(ToolBar_Main);
    layout->addStretch(1);

    connect(cmb_Sources, qOverload<int>(&QComboBox::activated), this,
            &Tfrm_Main::cmb_SourcesChange);
    connect(cb_ADF, &QCheckBox::clicked, this, &Tfrm_Main::cb_ADFClick);
    connect(cmb_Size, qOverload<int>(&QComboBox::activated), this, &Tfrm_Main::cmb_SizeSelect);
    connect(edt_DestinationButton, &QAction::triggered, this, &Tfrm_Main::edt_DestinationClick);
    connect(ToolButtonScan, &QToolButton::clicked, this, &Tfrm_Main::ToolButtonScanClick);
    connect(Scan1, &QAction::triggered, this, &Tfrm_Main::Scan1Click);
    connect(Copy1, &QAction::triggered, this, &Tfrm_Main::Copy1Click);
}

void Tfrm_Main::createPreviewPane(QWidget *pane)
{
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    gb_Preview = new QGroupBox;
    gb_Preview->setObjectName(QStringLiteral("gb_Preview"));
    auto *grid = new QGridLayout(gb_Preview);
    grid->setSpacing(0);
    pnl_Spacer = new QLabel;
    pnl_Spacer->setObjectName(QStringLiteral("pnl_Spacer"));
    pnl_Spacer->setFixedSize(17, 17);
    pnl_Spacer->setAlignment(Qt::AlignCenter);
    QFont small = pnl_Spacer->font();
    small.setPixelSize(9);
    pnl_Spacer->setFont(small);
    img_TopRuler = new RulerWidget(Qt::Horizontal);
    img_TopRuler->setObjectName(QStringLiteral("img_TopRuler"));
    img_LeftRuler = new RulerWidget(Qt::Vertical);
    img_LeftRuler->setObjectName(QStringLiteral("img_LeftRuler"));
    I32_Preview = new PreviewPane;
    // The design size: the example fit of a preview (279 x 422) relies on it. A
    // larger window makes it larger (growPreview).
    I32_Preview->setFixedSize(PreviewRules::PaneWidth, PreviewRules::PaneHeight);
    img_TopRuler->setFixedWidth(PreviewRules::PaneWidth);
    img_LeftRuler->setFixedHeight(PreviewRules::PaneHeight);
    grid->addWidget(pnl_Spacer, 0, 0, Qt::AlignBottom | Qt::AlignRight);
    grid->addWidget(img_TopRuler, 0, 1, Qt::AlignBottom);
    grid->addWidget(img_LeftRuler, 1, 0, Qt::AlignTop | Qt::AlignRight);
    grid->addWidget(I32_Preview, 1, 1, Qt::AlignTop | Qt::AlignLeft);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(2, 1);
    layout->addWidget(gb_Preview);

    I32_Preview->setResizeHook(
        [this](const QRectF &oldRect, QRectF &newRect, int dragState, bool shift) {
            RBResize(oldRect, newRect, dragState, shift);
        });
}

void Tfrm_Main::createImagePane(QWidget *pane)
{
    auto *layout = new QVBoxLayout(pane);
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
            [this](const QStringList &files) { (new PageAdder(this, m_store))->add(files); });
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

    connect(Action_Preview, &QAction::triggered, this, &Tfrm_Main::Action_PreviewExecute);
    connect(Action_Rename, &QAction::triggered, this, &Tfrm_Main::Action_RenameExecute);
    connect(Action_Delete, &QAction::triggered, this, &Tfrm_Main::Action_DeleteExecute);
    connect(Action_PDF, &QAction::triggered, this, &Tfrm_Main::Action_PDFExecute);
}

void Tfrm_Main::createMenus()
{
    menuFile = menuBar()->addMenu(QString());
    menuFile->setObjectName(QStringLiteral("menuFile"));
    Action2 = menuFile->addAction(QString(), this, &Tfrm_Main::ToolButtonPreviewClick);
    Action2->setObjectName(QStringLiteral("Action2"));
    Action2->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    BrowseForFolder1 = menuFile->addAction(QString(), this, &Tfrm_Main::BrowseForFolder1Accept);
    BrowseForFolder1->setObjectName(QStringLiteral("BrowseForFolder1"));
    ActionAddFiles = menuFile->addAction(QString(), this, &Tfrm_Main::addFiles);
    ActionAddFiles->setObjectName(QStringLiteral("ActionAddFiles"));
    Action1 = menuFile->addAction(QString(), this, &Tfrm_Main::Scan1Click);
    Action1->setObjectName(QStringLiteral("Action1"));
    Action3 = menuFile->addAction(QString(), this, &Tfrm_Main::Copy1Click);
    Action3->setObjectName(QStringLiteral("Action3"));
    ActionStop = menuFile->addAction(QString(), this, &Tfrm_Main::StopScanningClick);
    ActionStop->setObjectName(QStringLiteral("ActionStop"));
    ActionStop->setShortcut(Qt::Key_Escape);
    ActionStop->setEnabled(false);
    ActionStop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    // One action per command: the tool buttons are its faces (they show its icon
    // text), so menu, button and shortcut are enabled and run together.
    ToolButtonPreview->setDefaultAction(Action2);
    ToolButtonStop->setDefaultAction(ActionStop);
    ActionRefreshSources = menuFile->addAction(QString(), this, &Tfrm_Main::RefreshSourcesClick);
    ActionRefreshSources->setObjectName(QStringLiteral("ActionRefreshSources"));
    ActionRefreshSources->setShortcut(QKeySequence::Refresh);
    menuFile->addSeparator();
    FilePrintSetup1 = menuFile->addAction(QString(), this, &Tfrm_Main::printSetup);
    FilePrintSetup1->setObjectName(QStringLiteral("FilePrintSetup1"));
    menuFile->addSeparator();
    FileExit1 = menuFile->addAction(QString(), this, &QWidget::close);
    FileExit1->setObjectName(QStringLiteral("FileExit1"));

    menuSettings = menuBar()->addMenu(QString());
    menuSettings->setObjectName(QStringLiteral("menuSettings"));
    Action4 = menuSettings->addAction(QString(), this, &Tfrm_Main::showPreferences);
    Action4->setObjectName(QStringLiteral("Action4"));
    ActionBacksFirstFirst = menuSettings->addAction(QString());
    ActionBacksFirstFirst->setObjectName(QStringLiteral("ActionBacksFirstFirst"));
    ActionBacksFirstFirst->setCheckable(true);
    connect(ActionBacksFirstFirst, &QAction::toggled, this, [this](bool on) {
        m_session->setBacksFirstFirst(on);
        SettingsStore().WriteBool(SettingsStore::BacksFirstFirst, on);
    });

    menuHelp = menuBar()->addMenu(QString());
    menuHelp->setObjectName(QStringLiteral("menuHelp"));
    Action5 = menuHelp->addAction(QString(), this, &Tfrm_Main::openHomepage);
    Action5->setObjectName(QStringLiteral("Action5"));
    Action8 = menuHelp->addAction(QString(), this, &Tfrm_Main::showAbout);
    Action8->setObjectName(QStringLiteral("Action8"));
}

void Tfrm_Main::retranslateUi()
{
    setWindowTitle(tr("Pagora Pro", "Tfrm_Main"));
    gb_Source->setTitle(tr("Source", "gb_Source"));
    cb_ADF->setText(tr("Autofeeder", "cb_ADF"));
    cb_Duplex->setText(tr("Duplex", "cb_Duplex"));
    gb_Params->setTitle(tr("Image settings", "gb_Params"));
    Label1->setText(tr("Mode:", "Label1"));
    Label2->setText(tr("Resolution:", "Label2"));
    Label3->setText(tr("Size:", "Label3"));
    // Replacing item texts in place keeps the selected position.
    cmb_Mode->setItemText(0, tr("Black & White", "cmb_Mode.Items[0]"));
    cmb_Mode->setItemText(1, tr("Gray", "cmb_Mode.Items[1]"));
    cmb_Mode->setItemText(2, tr("Color", "cmb_Mode.Items[2]"));
    gb_FileSettings->setTitle(tr("File settings", "gb_FileSettings"));
    Label4->setText(tr("File name:", "Label4"));
    Label5->setText(tr("File format:", "Label5"));
    Label6->setText(tr("Destination:", "Label6"));
    Action2->setIconText(tr("Preview   ", "ToolButtonPreview"));
    Scan1->setText(tr("Scan", "Scan1"));
    Copy1->setText(tr("Copy", "Copy1"));
    ToolButtonScan->setText(ToolButtonScanItem == Scan1 ? tr("Scan", "ToolButtonScan")
                                                        : Copy1->text());
    ActionStop->setIconText(tr("Stop", "ToolButtonStop"));
    bool ok = false;
    const int margin = tr("35", "ToolBar_Main.Margins").toInt(&ok);
    ToolBar_Main->layout()->setContentsMargins(ok ? margin : 35, 2, ok ? margin : 35, 2);
    gb_Preview->setTitle(tr("Preview", "gb_Preview"));

    Action_Preview->setText(tr("Preview", "Action_Preview"));
    Action_Preview->setToolTip(tr("Preview selected image", "Action_Preview.Hint"));
    Action_Rename->setText(tr("Rename", "Action_Rename"));
    Action_Rename->setToolTip(tr("Rename selected file", "Action_Rename.Hint"));
    Action_Delete->setText(tr("Delete", "Action_Delete"));
    Action_Delete->setToolTip(tr("Physically delete file ", "Action_Delete.Hint"));
    retranslatePageList();

    menuFile->setTitle(tr("&File", "ActionMainMenuBar.Items[0]"));
    menuSettings->setTitle(tr("&Settings", "ActionMainMenuBar.Items[1]"));
    menuHelp->setTitle(tr("&Help", "ActionMainMenuBar.Items[2]"));
    ActionBacksFirstFirst->setText(tr("Backs come first-first", "ActionBacksFirstFirst"));
    Action2->setText(tr("&Preview", "Action2"));
    BrowseForFolder1->setText(tr("&Select destination folder...", "BrowseForFolder1"));
    ActionAddFiles->setText(tr("Add files...", "ActionAddFiles"));
    Action1->setText(tr("S&can", "Action1"));
    Action3->setText(tr("C&opy to printer", "Action3"));
    ActionRefreshSources->setText(tr("&Refresh scanner list", "ActionRefreshSources"));
    ActionStop->setText(tr("S&top scanning", "ActionStop"));
    m_sourceList->setSearchingText(ScanSession::searchingText());
    FilePrintSetup1->setText(tr("Print Set&up...", "FilePrintSetup1"));
    FilePrintSetup1->setToolTip(tr("Print Setup", "FilePrintSetup1.Hint"));
    FileExit1->setText(tr("E&xit", "FileExit1"));
    // "Short|long" hint: the short part is the tool tip, the long one the status tip.
    const QString exitHint = tr("Exit|Quits the application", "FileExit1.Hint");
    FileExit1->setToolTip(exitHint.section(QLatin1Char('|'), 0, 0));
    FileExit1->setStatusTip(exitHint.section(QLatin1Char('|'), -1));
    Action4->setText(tr("&Preferences...", "Action4"));
    Action5->setText(tr("&Pagora Pro homepage", "Action5"));
    Action8->setText(tr("Ab&out...", "Action8"));

    retranslateAccessible();

    // The file count is composed in the current language; refresh it once shown.
    if (!sb_Main->panelText(3).isEmpty())
        lv_ImagesChange();
}

void Tfrm_Main::setKeyboardOrder()
{
    // The image commands are reachable by Tab too, not only by mouse: a toolbar
    // keeps its buttons out of the focus chain unless told otherwise.
    QList<QWidget *> imageTools;
    for (QAction *a : ActionToolBar1->actions()) {
        QWidget *tool = ActionToolBar1->widgetForAction(a);
        if (tool && !a->isSeparator()) {
            tool->setFocusPolicy(Qt::TabFocus);
            imageTools << tool;
        }
    }
    // Left to right, top to bottom, as the panes are laid out.
    QList<QWidget *> order = {
        cmb_Sources,    cb_ADF,         cb_Duplex,  cmb_Mode,        cmb_Resolution,
        cmb_Size,       edt_FileName,   cmb_Format, edt_Destination, ToolButtonPreview,
        ToolButtonScan, ToolButtonStop, I32_Preview};
    order << imageTools << lv_Images;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

void Tfrm_Main::retranslateAccessible()
{
    // On Linux screen readers name a list box by its label (its buddy, or the
    // group around it) and ignore the name set here; other platforms use it.
    using AccessibleText::set;
    set(cmb_Sources, gb_Source->title(),
        tr("The scanner that previews, scans and copies", "cmb_Sources.Description"));
    set(cb_ADF, cb_ADF->text(),
        tr("Take the pages from the automatic document feeder", "cb_ADF.Description"));
    set(cb_Duplex, cb_Duplex->text(), tr("Scan both sides of each sheet", "cb_Duplex.Description"));
    set(cmb_Mode, Label1->text());
    set(cmb_Resolution, Label2->text(), tr("Dots per inch", "cmb_Resolution.Description"));
    set(cmb_Size, Label3->text());
    set(edt_FileName, Label4->text(),
        tr("The first part of each page file's name", "edt_FileName.Description"));
    set(cmb_Format, Label5->text());
    set(edt_Destination, Label6->text(),
        tr("The folder the page files are written to", "edt_Destination.Description"));
    edt_DestinationButton->setText(tr("Select destination folder", "edt_DestinationButton"));
    edt_DestinationButton->setToolTip(edt_DestinationButton->text());
    set(ToolButtonPreview, Action2->iconText());
    // Its name is its face, which shows Scan or Copy, whichever was chosen last.
    ToolButtonScan->setAccessibleDescription(
        tr("Scans; the arrow offers Scan and Copy", "ToolButtonScan.Description"));
    set(ToolButtonStop, ActionStop->iconText());
    set(I32_Preview, tr("Scan area", "I32_Preview.AccessibleName"),
        tr("Arrow keys move the scan area, Shift+arrow keys resize it.",
           "I32_Preview.Description"));
    set(ActionToolBar1, tr("Image commands", "ActionToolBar1.AccessibleName"));
    for (QAction *a : ActionToolBar1->actions()) {
        if (QWidget *tool = ActionToolBar1->widgetForAction(a); tool && !a->isSeparator())
            set(tool, a->text(), a->toolTip() == a->text() ? QString() : a->toolTip());
    }
    set(ToolButtonRotate, ToolButtonRotate->toolTip());
    set(lv_Images, tr("Scanned images", "lv_Images.AccessibleName"),
        tr("The menu key opens the image commands", "lv_Images.Description"));
}
