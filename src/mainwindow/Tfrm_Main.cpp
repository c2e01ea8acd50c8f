#include "mainwindow/Tfrm_Main.h"

#include "about/Tfrm_About.h"
#include "about/UpdateChecker.h"
#include "about/UpdateNotice.h"
#include "files/TempFolder.h"
#include "gallery/PdfSaveDialog.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangDispatcher.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/ImageListPane.h"
#include "mainwindow/PageAdder.h"
#include "mainwindow/PagePrinter.h"
#include "mainwindow/PageRecovery.h"
#include "mainwindow/PreviewPane.h"
#include "mainwindow/ScanAreaPane.h"
#include "mainwindow/ScanSettingsPane.h"
#include "mainwindow/SourceListLoader.h"
#include "mainwindow/StatusPanelBar.h"
#include "pages/FileNaming.h"
#include "pages/FreeSpace.h"
#include "pages/GalleryLog.h"
#include "pages/LeftoverSweep.h"
#include "pages/PageModel.h"
#include "pages/PageRecogniser.h"
#include "pages/PageStore.h"
#include "scanner/PageSizes.h"
#include "scanner/TTwainControl.h"
#include "scanner/TwainControlFactory.h"
#include "session/PreviewRules.h"
#include "settings/SettingsStore.h"
#include "settings/Tfrm_Settings.h"
#include "widgets/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

Q_LOGGING_CATEGORY(lcCommands, "pagora.mainwindow.commands", QtWarningMsg)

constexpr int DesignClientWidth = 790;
constexpr int DesignClientHeight = 552;
constexpr int MinimumWidth = 790;
constexpr int MinimumHeight = 570;

QString message(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

} // namespace

Tfrm_Main::Tfrm_Main(TTwainControl *control, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Tfrm_Main"));
    TwainControl = control ? control : createTwainControl(this);
    TwainControl->setParent(this);
    TwainControl->setObjectName(QStringLiteral("TwainControl"));
    m_store = new PageStore(this);
    // Before anything of this run is written: what ended sessions left goes.
    m_leftovers = new LeftoverSweep(TempFolder::path(), this);
    m_leftovers->start();
    m_session = new ScanSession(TwainControl, m_store, this);

    auto *central = new QWidget;
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *panes = new QHBoxLayout;
    panes->setContentsMargins(4, 4, 4, 4);
    panes->setSpacing(4);

    m_scanSettings = new ScanSettingsPane(TwainControl, m_session);
    m_scanArea = new ScanAreaPane(m_session);
    m_imageList = new ImageListPane(m_store, m_session);
    panes->addWidget(m_scanSettings);
    panes->addWidget(m_scanArea);
    panes->addWidget(m_imageList, 1);
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
    connectScanArea();
    setKeyboardOrder();
    retranslateUi();

    setMinimumSize(MinimumWidth, MinimumHeight);
    m_designSize = QSize(DesignClientWidth, DesignClientHeight + menuBar()->sizeHint().height());
    resize(m_designSize);
}

void Tfrm_Main::createMenus()
{
    menuFile = menuBar()->addMenu(QString());
    menuFile->setObjectName(QStringLiteral("menuFile"));
    Action2 = menuFile->addAction(QString(), this, &Tfrm_Main::ToolButtonPreviewClick);
    Action2->setObjectName(QStringLiteral("Action2"));
    Action2->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    BrowseForFolder1 =
        menuFile->addAction(QString(), m_scanSettings, &ScanSettingsPane::BrowseForFolder1Accept);
    BrowseForFolder1->setObjectName(QStringLiteral("BrowseForFolder1"));
    ActionAddFiles = menuFile->addAction(QString(), this, &Tfrm_Main::addFiles);
    ActionAddFiles->setObjectName(QStringLiteral("ActionAddFiles"));
    Action1 = menuFile->addAction(QString(), m_scanSettings, &ScanSettingsPane::Scan1Click);
    Action1->setObjectName(QStringLiteral("Action1"));
    Action3 = menuFile->addAction(QString(), m_scanSettings, &ScanSettingsPane::Copy1Click);
    Action3->setObjectName(QStringLiteral("Action3"));
    ActionStop = menuFile->addAction(QString(), this, &Tfrm_Main::StopScanningClick);
    ActionStop->setObjectName(QStringLiteral("ActionStop"));
    ActionStop->setShortcut(Qt::Key_Escape);
    ActionStop->setEnabled(false);
    ActionStop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    // One action per command: the tool buttons are its faces (they show its icon
    // text), so menu, button and shortcut are enabled and run together.
    m_scanSettings->ToolButtonPreview->setDefaultAction(Action2);
    m_scanSettings->ToolButtonStop->setDefaultAction(ActionStop);
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

    // F10 opens the first menu, as on the desktop; the arrow keys walk on from
    // there, whatever letters the language's mnemonics use.
    auto *menuBarKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuBarKey, &QShortcut::activated, this, [this] {
        if (menuBar()->isEnabled())
            menuBar()->setActiveAction(menuFile->menuAction());
    });
}

void Tfrm_Main::retranslateUi()
{
    setWindowTitle(tr("Pagora Pro", "Tfrm_Main"));
    Action2->setIconText(tr("Preview   ", "ToolButtonPreview"));
    ActionStop->setIconText(tr("Stop", "ToolButtonStop"));
    m_scanSettings->retranslateUi();
    m_scanArea->retranslateUi();
    m_imageList->retranslateUi();

    menuFile->setTitle(tr("&File", "ActionMainMenuBar.Items[0]"));
    menuSettings->setTitle(tr("&Settings", "ActionMainMenuBar.Items[1]"));
    menuHelp->setTitle(tr("&Help", "ActionMainMenuBar.Items[2]"));
    ActionBacksFirstFirst->setText(
        tr("Second pass feeds the &backs from the first sheet", "ActionBacksFirstFirst"));
    ActionBacksFirstFirst->setStatusTip(
        tr("Two-pass duplex: the feeder gives the turned stack's backs first sheet first, "
           "not last sheet first",
           "ActionBacksFirstFirst.Hint"));
    Action2->setText(tr("&Preview", "Action2"));
    BrowseForFolder1->setText(tr("&Select destination folder...", "BrowseForFolder1"));
    ActionAddFiles->setText(tr("&Add files...", "ActionAddFiles"));
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
        m_imageList->lv_ImagesChange();
}

void Tfrm_Main::setKeyboardOrder()
{
    // The image commands are reachable by Tab too, not only by mouse: a toolbar
    // keeps its buttons out of the focus chain unless told otherwise.
    const QList<QWidget *> imageTools = m_imageList->toolWidgets();
    for (QWidget *tool : imageTools)
        tool->setFocusPolicy(Qt::TabFocus);
    // Left to right, top to bottom, as the panes are laid out.
    QList<QWidget *> order = m_scanSettings->tabOrder();
    order << m_scanArea->I32_Preview;
    order << imageTools << m_imageList->lv_Images;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

void Tfrm_Main::retranslateAccessible()
{
    m_scanSettings->retranslateAccessible();
    m_scanArea->retranslateAccessible();
    m_imageList->retranslateAccessible();
}

Tfrm_Main::~Tfrm_Main() = default;

void Tfrm_Main::setWindows(Tfrm_About *about, Tfrm_Settings *settings, Tfrm_Preview *preview)
{
    m_about = about;
    m_settings = settings;
    m_imageList->setPreviewWindow(preview);
    if (m_settings)
        connect(m_settings, &Tfrm_Settings::preferencesApplied, this,
                [this](int unitsCode, bool skipBlank) {
                    m_scanArea->UnitsCode = unitsCode;
                    m_session->setSkipBlank(skipBlank);
                    applyPageCorrection();
                    m_imageList->Recogniser->setLanguages(PdfSaveDialog::preferredRecognition(),
                                                          PdfSaveDialog::preferredTimeLimit());
                });
}

void Tfrm_Main::connectControl()
{
    connect(m_session, &ScanSession::stateChanged, this, &Tfrm_Main::updateCommands);
    connect(m_session, &ScanSession::status, this, &Tfrm_Main::Mess);
    connect(m_session, &ScanSession::progress, pb_ScanProgress, &QProgressBar::setValue);
    connect(m_session, &ScanSession::pageListed, m_imageList,
            qOverload<const PageEntry &>(&ImageListPane::FillImageList));
    // Asked once the session's own call has returned: the question runs its own loop.
    connect(m_session, &ScanSession::backsWanted, this, &Tfrm_Main::askForBacks,
            Qt::QueuedConnection);
    connect(m_session, &ScanSession::previewSaved, m_scanArea,
            [this](const QString &path) { m_scanArea->LoadPreview(path); });
    // A close that waited for the running batch goes on once it has ended.
    connect(
        m_session, &ScanSession::closed, this,
        [this] {
            if (m_closeWaiting)
                close();
        },
        Qt::QueuedConnection);
    connect(m_scanSettings, &ScanSettingsPane::statusMessage, this, &Tfrm_Main::Mess);
    connect(m_scanSettings, &ScanSettingsPane::scanChosen, this, &Tfrm_Main::TwainScan);
    connect(m_scanSettings, &ScanSettingsPane::copyChosen, this, &Tfrm_Main::TwainCopy);
    m_sourceList = new SourceListLoader(TwainControl, m_scanSettings->cmb_Sources, this);
    connect(m_sourceList, &SourceListLoader::finished, this, &Tfrm_Main::sourcesListed);
}

void Tfrm_Main::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QMainWindow::changeEvent(event);
}

void Tfrm_Main::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown)
        FormShow();
}

void Tfrm_Main::FormShow()
{
    // Once: a window prepared by a direct call must not search again when shown.
    m_shown = true;
    m_scanArea->PreviewResolution = 20.78f;

    // Asking every scanner backend for its devices takes seconds: the window does
    // not wait for it. The scanner used last time is opened by its name first; when
    // it does not open, the stored choice is applied when the list comes.
    m_scannerChoicePending = true;
    startSourceSearch(rememberedDevice());

    RestoreParams();
    growPreview(); // a stored larger window brings its larger preview back

    m_scanArea->I32_Preview->createLayers();
    m_scanArea->DrawRuler(20.78f);
    Mess(m_sourceList->isSearching()
             ? ScanSession::searchingText()
             : MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_6")));

    // After the window is up, so a slow network never delays the start.
    QTimer::singleShot(0, this, &Tfrm_Main::CheckForUpdatesAtStartup);
    QTimer::singleShot(0, this, &Tfrm_Main::offerRecovery);
}

void Tfrm_Main::closeEvent(QCloseEvent *event)
{
    // Asked while the close can still be taken back; a batch the close stops
    // may hold more pages, asked about once it has ended (the scanner is closed
    // then: no Cancel).
    if (!(m_closing && m_session->busy()) && !settleUnsavedPages(!m_closing)) {
        event->ignore();
        return;
    }
    FormClose();
    // A running batch is stopped first; its pages already read are written and
    // listed, and the window closes once the session says it has ended.
    if (m_session->busy()) {
        m_closeWaiting = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void Tfrm_Main::FormClose()
{
    if (!m_closing) {
        m_closing = true;
        SaveParams();
        // An export still reading working copies ends first (the progress dialog
        // keeps the user from closing, a signal to quit does not).
        m_imageList->cancelPdfExport();
        m_session->close();
    }
    if (!m_session->busy())
        finishClose();
}

bool Tfrm_Main::settleUnsavedPages(bool cancellable)
{
    for (;;) {
        QList<int> rows;
        const PageModel *pages = m_store->model();
        for (int row = 0; row < pages->rowCount(); ++row) {
            if (pages->entry(row).heldInMemory())
                rows.append(row);
        }
        if (rows.isEmpty())
            return true;
        QMessageBox::StandardButtons buttons = QMessageBox::Save | QMessageBox::Discard;
        if (cancellable)
            buttons |= QMessageBox::Cancel;
        const QMessageBox::StandardButton answer = UserPrompts::message(
            this, QMessageBox::Warning, QApplication::applicationDisplayName(),
            tr("Pages not saved: %1. They could not be written to the disk and exist only in "
               "memory: closing the window loses them.",
               "unsavedPagesQuestion")
                .arg(rows.size()),
            buttons,
            {{QMessageBox::Save, tr("Save to folder…", "unsavedPagesSave")},
             {QMessageBox::Discard, tr("Discard", "unsavedPagesDiscard")},
             {QMessageBox::Cancel, tr("Cancel", "unsavedPagesCancel")}});
        if (answer == QMessageBox::Cancel)
            return false;
        // Discard, or nobody there to answer (a close on a signal): the window goes.
        if (answer != QMessageBox::Save)
            return true;
        const QString folder = UserPrompts::existingFolder(
            this, tr("Save the pages not saved to folder", "unsavedPagesFolder"));
        if (folder.isEmpty() && cancellable)
            return false;
        // A page that could not be written is named, and the question comes again.
        if (!folder.isEmpty() && m_imageList->saveToFolder(rows, folder))
            return true;
    }
}

void Tfrm_Main::finishClose()
{
    if (m_closed)
        return;
    m_closed = true;
    // The working copies go, the journal with them; the store lists nothing more.
    cleanUpWorkingCopies();
}

void Tfrm_Main::Mess(const QString &Message, bool Error)
{
    StatusText = Message;
    StatusIsError = Error;
    sb_Main->setStatus(Message, Error);
}

void Tfrm_Main::applyPageCorrection()
{
    SettingsStore store;
    bool upright = false, straighten = false;
    store.readBool(SettingsStore::TurnUpright, upright);
    store.readBool(SettingsStore::Straighten, straighten);
    m_session->setPageCorrection(upright, straighten);
    bool crop = false;
    store.readBool(SettingsStore::CropToPage, crop);
    m_session->setCropToPage(crop);
}

void Tfrm_Main::RestoreParams()
{
    SettingsStore store;
    int &UnitsCode = m_scanArea->UnitsCode;
    UnitsCode = 1;
    bool restore = false;
    store.readBool(SettingsStore::Save, restore);
    int units = 0;
    // Only 0 (inches) and 1 (millimetres) have rulers; anything else counts as absent.
    if (store.readIntegerInRange(SettingsStore::Units, 0, 1, units))
        UnitsCode = units + 1;
    bool skipBlank = false;
    store.readBool(SettingsStore::SkipBlank, skipBlank);
    m_session->setSkipBlank(skipBlank);
    applyPageCorrection();
    // What the feeder does is no scan setting: kept whether or not those are restored.
    bool backsFirstFirst = false;
    store.readBool(SettingsStore::BacksFirstFirst, backsFirstFirst);
    ActionBacksFirstFirst->setChecked(backsFirstFirst);
    m_session->setBacksFirstFirst(backsFirstFirst);

    // Sizes beyond any screen are treated as absent; the minimum size still applies.
    constexpr int MaxWindowSide = 32767;
    int w = width();
    int h = height();
    store.readIntegerInRange(SettingsStore::WWidth, 1, MaxWindowSide, w);
    store.readIntegerInRange(SettingsStore::WHeight, 1, MaxWindowSide, h);
    resize(w, h);

    QString lang;
    if (store.readString(SettingsStore::Lang, lang))
        TLangDispatcher::instance().setLanguage(lang); // an unknown name keeps English

    if (!restore)
        return;

    // The scanner choice waits for the source list (restoreScannerChoice).
    m_scanSettings->restoreFields(store);
}

void Tfrm_Main::SaveParams()
{
    SettingsStore store;
    // The searching item is no choice: closed before the first list came, the stored
    // choice stands; during a later search, the one from before it. Nor is the
    // remembered device's position in its list of one: what is stored stays.
    if (!m_scannerChoicePending && !m_sourceList->isCompleting()) {
        const int source = m_sourceList->isSearching()
                               ? m_sourceList->previousIndex()
                               : m_scanSettings->cmb_Sources->currentIndex();
        store.WriteInteger(SettingsStore::Scanner, source);
        bool save = false;
        store.readBool(SettingsStore::Save, save);
        const QString device = TwainControl->GetSourceDeviceName(source);
        if (save && !device.isEmpty())
            store.WriteString(SettingsStore::ScannerDevice, device);
    }
    m_scanSettings->saveFields(store);
    store.WriteInteger(SettingsStore::WWidth, width());
    store.WriteInteger(SettingsStore::WHeight, height());
}

void Tfrm_Main::RefreshSourcesClick()
{
    // Disabled during a command or a search; the menu's shortcut may still come here.
    if (m_session->state() != ScanSession::State::Idle)
        return;
    Mess(ScanSession::searchingText());
    startSourceSearch();
}

void Tfrm_Main::startSourceSearch(const QString &rememberedDevice)
{
    m_session->beginSearch();
    m_sourceList->start(rememberedDevice);
}

QString Tfrm_Main::rememberedDevice() const
{
    SettingsStore store;
    bool restore = false;
    QString device;
    store.readBool(SettingsStore::Save, restore);
    if (restore)
        store.readString(SettingsStore::ScannerDevice, device);
    return device;
}

void Tfrm_Main::sourcesListed()
{
    if (m_scannerChoicePending) {
        m_scannerChoicePending = false;
        // The remembered device is the stored choice itself.
        if (!m_sourceList->openedRemembered())
            restoreScannerChoice();
    }
    m_session->endSearch();
    Mess(MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_6")));
}

void Tfrm_Main::restoreScannerChoice()
{
    SettingsStore store;
    bool restore = false;
    store.readBool(SettingsStore::Save, restore);
    // Setting a position runs no change handler: the control's source index
    // stays as the control reported it.
    int index = 0;
    if (restore && store.readIntegerInRange(SettingsStore::Scanner, 0,
                                            m_scanSettings->cmb_Sources->count() - 1, index))
        m_scanSettings->cmb_Sources->setCurrentIndex(index);
}

void Tfrm_Main::updateCommands()
{
    const ScanSession::State state = m_session->state();
    const bool idle = state == ScanSession::State::Idle;
    const bool running = m_session->busy();
    for (QAction *command : {Action2, Action1, Action3, ActionRefreshSources})
        command->setEnabled(idle);
    m_scanSettings->ToolButtonScan->setEnabled(idle);
    // The Scan button turns into Stop while a command runs (a swap in place: the
    // Scan button keeps its menu and its face for the next command).
    m_scanSettings->ToolButtonScan->setVisible(!running);
    m_scanSettings->ToolButtonStop->setVisible(running);
    const bool stoppable = state == ScanSession::State::Acquiring;
    ActionStop->setEnabled(stoppable);
}

void Tfrm_Main::connectImageList()
{
    connect(m_store, &PageStore::journalFailed, this, &Tfrm_Main::journalFailed);
    connect(m_imageList, &ImageListPane::countChanged, this,
            [this](const QString &text) { sb_Main->setPanelText(3, text); });
    // Pages listed by file name are taken from the folder the field names now.
    m_imageList->setDestination(m_scanSettings->edt_Destination->text());
    connect(m_scanSettings->edt_Destination, &QLineEdit::textChanged, m_imageList,
            &ImageListPane::setDestination);
    // Some desktops also bind Refresh to Ctrl+R; two actions on one key would
    // both stay silent.
    QList<QKeySequence> refreshKeys = ActionRefreshSources->shortcuts();
    refreshKeys.removeAll(m_imageList->Action_RotateRight->shortcut());
    ActionRefreshSources->setShortcuts(refreshKeys);
}

void Tfrm_Main::journalFailed(const QString &path, const QString &reason)
{
    const QString text = tr("The page journal %1 could not be written: %2", "journalNotWritten")
                             .arg(QDir::toNativeSeparators(path), reason);
    qCWarning(lcGallery) << text;
    Mess(text, true);
}

void Tfrm_Main::offerRecovery()
{
    if (!m_closed)
        (new PageRecovery(this, m_store, m_leftovers))->offer();
}

void Tfrm_Main::cleanUpWorkingCopies()
{
    const QStringList kept = m_store->close();
    if (kept.isEmpty())
        return;
    QStringList lines;
    for (const QString &path : kept)
        lines.append(QDir::toNativeSeparators(path));
    UserPrompts::message(
        this, QMessageBox::Warning, QApplication::applicationDisplayName(),
        tr("The page files of these pages could not be written or were removed. Their only "
           "copies stay here:\n\n%1",
           "pagesOnlyInTemp")
            .arg(lines.join(QLatin1Char('\n'))),
        QMessageBox::Ok);
}

void Tfrm_Main::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    growPreview();
}

void Tfrm_Main::growPreview()
{
    m_scanArea->growPreview(PreviewRules::grownPane(size(), m_designSize));
}

void Tfrm_Main::connectScanArea()
{
    connect(m_scanSettings->cmb_Size, qOverload<int>(&QComboBox::activated), m_scanArea,
            &ScanAreaPane::cmb_SizeSelect);
    connect(m_scanArea, &ScanAreaPane::areaResized, this,
            [this](const QString &sizeText, bool customSize) {
                sb_Main->setPanelText(2, sizeText);
                if (customSize)
                    m_scanSettings->cmb_Size->setCurrentIndex(0);
            });
}

void Tfrm_Main::ToolButtonPreviewClick()
{
    m_session->preview(m_scanSettings->cmb_Sources->currentIndex());
}
void Tfrm_Main::StopScanningClick()
{
    m_session->stop();
}

ScanSession::Request Tfrm_Main::scanRequest() const
{
    return m_scanSettings->scanRequest(m_scanArea->areaInInches());
}

void Tfrm_Main::TwainScan()
{
    // The menu's shortcut may still come here while a command runs or the
    // scanners are being searched for.
    if (m_session->state() != ScanSession::State::Idle || !m_scanSettings->prefixAccepted() ||
        !m_scanSettings->destinationReady())
        return;
    m_scanSettings->syncNaming();
    const ScanSession::Request request = scanRequest();
    if (!roomForPages(request, false))
        return;
    m_session->TwainScan(request);
}

bool Tfrm_Main::roomForPages(const ScanSession::Request &request, bool copy)
{
    QSizeF inches = request.areaInches.size();
    if (request.sizeIndex > 0)
        inches =
            QSizeF(PageSizes::at(request.sizeIndex).width, PageSizes::at(request.sizeIndex).height);
    const QSize pixels = FreeSpace::pixelsOf(inches.width(), inches.height(), request.resolution);
    const ScanSession::Naming &naming = m_session->naming();
    // A feeder batch should get a few sheets in before the disk is full; a
    // flatbed page is one page.
    const QString shortage = FreeSpace::shortfall(
        naming.destination,
        copy ? 0 : FreeSpace::pageFileBytes(pixels, request.pixelType, naming.extension),
        TempFolder::path(), FreeSpace::workingCopyBytes(pixels, request.pixelType),
        request.feeder ? 3 : 1);
    if (shortage.isEmpty())
        return true;
    Mess(shortage, true);
    return false;
}

void Tfrm_Main::TwainCopy()
{
    if (m_session->state() != ScanSession::State::Idle || !m_scanSettings->prefixAccepted())
        return;
    m_scanSettings->syncNaming();
    ScanSession::Request request = scanRequest();
    if (!roomForPages(request, true))
        return;
    const QSize printable = GetPrinterInfo();
    request.printableWidth = printable.width();
    request.printableHeight = printable.height();
    // A copy of the printer's settings: the job runs on the pipeline's thread.
    const PagePrinter printer(*currentPrinter());
    const QString title = message("IDS_98");
    request.print = [printer, printable, title](const QImage &image, int width, int height) {
        return printer.print(image, width, height, printable.width(), printable.height(), title);
    };
    m_session->TwainCopy(request);
}

QPrinter *Tfrm_Main::currentPrinter()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

void Tfrm_Main::printSetup()
{
    QPrintDialog dialog(currentPrinter(), this);
    dialog.exec();
}

QSize Tfrm_Main::GetPrinterInfo()
{
    QPrinter *printer = currentPrinter();
    // The painter's origin is the top-left of this rectangle (not full page).
    const QRect printable = printer->pageLayout().paintRectPixels(printer->resolution());
    qCDebug(lcCommands) << "printer" << printer->printerName() << printer->resolution() << "dpi"
                        << printable.size();
    return printable.size();
}

void Tfrm_Main::addFiles()
{
    (new PageAdder(this, m_store))
        ->run(FileNaming::resolveDestination(m_scanSettings->edt_Destination->text(),
                                             QDir::homePath()));
}

void Tfrm_Main::askForBacks(int fronts)
{
    const QString text =
        tr("The fronts of %1 sheets are scanned.\nTurn the stack over and put it back in the "
           "feeder, without changing its order.",
           "backsQuestion")
            .arg(fronts);
    const QMessageBox::StandardButton answer =
        UserPrompts::message(this, QMessageBox::Question, QApplication::applicationDisplayName(),
                             text, QMessageBox::Yes | QMessageBox::No,
                             {{QMessageBox::Yes, tr("Scan the backs", "backsScan")},
                              {QMessageBox::No, tr("Skip", "backsSkip")}});
    if (answer == QMessageBox::Yes)
        m_session->scanBacks();
    else
        m_session->skipBacks();
}

void Tfrm_Main::showPreferences()
{
    if (m_settings)
        m_settings->exec();
}

void Tfrm_Main::showAbout()
{
    if (m_about)
        m_about->exec();
}

void Tfrm_Main::openHomepage()
{
    // A browser that fails to start is not reported.
    QDesktopServices::openUrl(
        QUrl(MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_89"))));
}

void Tfrm_Main::CheckForUpdatesAtStartup()
{
    bool wanted = false;
    if (!SettingsStore().readBool(SettingsStore::Update, wanted) || !wanted)
        return;

    // Nobody asked for this check, so it speaks only when there is news: every
    // failure, even a local file that cannot be written, passes in silence.
    auto *checker = new UpdateChecker(this);
    checker->setObjectName(QStringLiteral("startupUpdateCheck"));
    connect(checker, &UpdateChecker::finished, this,
            [this, checker](UpdateChecker::Outcome outcome) {
                checker->deleteLater();
                if (outcome == UpdateChecker::Outcome::Newer)
                    UpdateNotice::askToDownload(this);
            });
    if (!checker->start())
        checker->deleteLater();
}
