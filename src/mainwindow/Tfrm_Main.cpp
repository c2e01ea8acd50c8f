#include "mainwindow/Tfrm_Main.h"

#include "gallery/PdfExportJob.h"
#include "gallery/PdfSaveDialog.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangDispatcher.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/PreviewPane.h"
#include "mainwindow/RulerWidget.h"
#include "mainwindow/SourceListLoader.h"
#include "mainwindow/StatusPanelBar.h"
#include "pages/PageModel.h"
#include "pages/PagePipeline.h"
#include "pages/PageRecogniser.h"
#include "pages/PageStore.h"
#include "scanner/PageSizes.h"
#include "scanner/TTwainControl.h"
#include "scanner/TwainControlFactory.h"
#include "settings/SettingsStore.h"
#include "settings/Tfrm_Settings.h"

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

// A window gone without closing (tests do this) leaves no session to recover:
// the store removes its journal as it goes.
Tfrm_Main::~Tfrm_Main() = default;

void Tfrm_Main::setWindows(Tfrm_About *about, Tfrm_Settings *settings, Tfrm_Preview *preview)
{
    m_about = about;
    m_settings = settings;
    m_preview = preview;
    if (m_settings)
        connect(m_settings, &Tfrm_Settings::preferencesApplied, this,
                [this](int unitsCode, bool skipBlank) {
                    UnitsCode = unitsCode;
                    m_session->setSkipBlank(skipBlank);
                    applyPageCorrection();
                    Recogniser->setLanguages(PdfSaveDialog::preferredRecognition(),
                                             PdfSaveDialog::preferredTimeLimit());
                });
}

void Tfrm_Main::connectControl()
{
    m_session = new ScanSession(TwainControl, m_store, this);
    connect(m_session, &ScanSession::stateChanged, this, &Tfrm_Main::updateCommands);
    connect(m_session, &ScanSession::status, this, &Tfrm_Main::Mess);
    connect(m_session, &ScanSession::progress, pb_ScanProgress, &QProgressBar::setValue);
    connect(m_session, &ScanSession::pageListed, this,
            qOverload<const PageEntry &>(&Tfrm_Main::FillImageList));
    // Asked once the session's own call has returned: the question runs its own loop.
    connect(m_session, &ScanSession::backsWanted, this, &Tfrm_Main::askForBacks,
            Qt::QueuedConnection);
    connect(m_session, &ScanSession::previewSaved, this,
            [this](const QString &path) { LoadPreview(path); });
    // A close that waited for the running batch goes on once it has ended.
    connect(
        m_session, &ScanSession::closed, this,
        [this] {
            if (m_closeWaiting)
                close();
        },
        Qt::QueuedConnection);
    for (QLineEdit *field : {edt_FileName, edt_Destination})
        connect(field, &QLineEdit::textChanged, this, &Tfrm_Main::syncNaming);
    connect(cmb_Format, &QComboBox::currentIndexChanged, this, &Tfrm_Main::syncNaming);
    syncNaming();
    m_sourceList = new SourceListLoader(TwainControl, cmb_Sources, this);
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
    PreviewResolution = 20.78f;

    // Asking every scanner backend for its devices takes seconds: the window does
    // not wait for it. The scanner used last time is opened by its name first; when
    // it does not open, the stored choice is applied when the list comes.
    m_scannerChoicePending = true;
    startSourceSearch(rememberedDevice());

    RestoreParams();
    growPreview(); // a stored larger window brings its larger preview back

    I32_Preview->createLayers();
    DrawRuler(20.78f);
    Mess(m_sourceList->isSearching()
             ? ScanSession::searchingText()
             : MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_6")));

    // After the window is up, so a slow network never delays the start.
    QTimer::singleShot(0, this, &Tfrm_Main::CheckForUpdatesAtStartup);
    QTimer::singleShot(0, this, &Tfrm_Main::offerRecovery);
}

void Tfrm_Main::closeEvent(QCloseEvent *event)
{
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
        if (m_pdfExport)
            m_pdfExport->cancelAndWait();
        m_session->close();
    }
    if (!m_session->busy())
        finishClose();
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
    int index = 0;
    if (store.readIntegerInRange(SettingsStore::Mode, 0, cmb_Mode->count() - 1, index))
        cmb_Mode->setCurrentIndex(index);
    if (store.readIntegerInRange(SettingsStore::Resolution, 0, cmb_Resolution->count() - 1, index))
        cmb_Resolution->setCurrentIndex(index);
    if (store.readIntegerInRange(SettingsStore::Size, 0, cmb_Size->count() - 1, index))
        cmb_Size->setCurrentIndex(index);
    if (store.readIntegerInRange(SettingsStore::Format, 0, cmb_Format->count() - 1, index))
        cmb_Format->setCurrentIndex(index);
    QString text;
    if (store.readString(SettingsStore::FileName, text))
        edt_FileName->setText(text);
    if (store.readString(SettingsStore::Destination, text))
        edt_Destination->setText(text);
    bool checked = false;
    // A change of the feeder box acts like a click, so it comes before Duplex.
    if (store.readBool(SettingsStore::ADF, checked) && checked != cb_ADF->isChecked()) {
        cb_ADF->setChecked(checked);
        cb_ADFClick();
    }
    // Duplex means nothing without the feeder; a hand-edited file may say otherwise.
    if (store.readBool(SettingsStore::Duplex, checked))
        cb_Duplex->setChecked(checked && cb_ADF->isChecked());
}

void Tfrm_Main::SaveParams()
{
    SettingsStore store;
    // The searching item is no choice: closed before the first list came, the stored
    // choice stands; during a later search, the one from before it. Nor is the
    // remembered device's position in its list of one: what is stored stays.
    if (!m_scannerChoicePending && !m_sourceList->isCompleting()) {
        const int source = m_sourceList->isSearching() ? m_sourceList->previousIndex()
                                                       : cmb_Sources->currentIndex();
        store.WriteInteger(SettingsStore::Scanner, source);
        bool save = false;
        store.readBool(SettingsStore::Save, save);
        const QString device = TwainControl->GetSourceDeviceName(source);
        if (save && !device.isEmpty())
            store.WriteString(SettingsStore::ScannerDevice, device);
    }
    store.WriteInteger(SettingsStore::Mode, cmb_Mode->currentIndex());
    store.WriteInteger(SettingsStore::Resolution, cmb_Resolution->currentIndex());
    store.WriteInteger(SettingsStore::Size, cmb_Size->currentIndex());
    store.WriteInteger(SettingsStore::Format, cmb_Format->currentIndex());
    store.WriteString(SettingsStore::FileName, edt_FileName->text());
    store.WriteString(SettingsStore::Destination, edt_Destination->text());
    store.WriteBool(SettingsStore::ADF, cb_ADF->isChecked());
    store.WriteBool(SettingsStore::Duplex, cb_Duplex->isChecked());
    store.WriteInteger(SettingsStore::WWidth, width());
    store.WriteInteger(SettingsStore::WHeight, height());
}

void Tfrm_Main::cmb_SourcesChange(int index)
{
    TwainControl->setSourceIndex(index);
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
    if (restore &&
        store.readIntegerInRange(SettingsStore::Scanner, 0, cmb_Sources->count() - 1, index))
        cmb_Sources->setCurrentIndex(index);
}

void Tfrm_Main::cb_ADFClick()
{
    cb_Duplex->setEnabled(cb_ADF->isChecked());
    if (!cb_ADF->isChecked())
        cb_Duplex->setChecked(false);
}

void Tfrm_Main::updateCommands()
{
    const ScanSession::State state = m_session->state();
    const bool idle = state == ScanSession::State::Idle;
    const bool running = m_session->busy();
    for (QAction *command : {Action2, Action1, Action3, ActionRefreshSources})
        command->setEnabled(idle);
    ToolButtonScan->setEnabled(idle);
    // The Scan button turns into Stop while a command runs (a swap in place: the
    // Scan button keeps its menu and its face for the next command).
    ToolButtonScan->setVisible(!running);
    ToolButtonStop->setVisible(running);
    const bool stoppable = state == ScanSession::State::Acquiring;
    ActionStop->setEnabled(stoppable);
    // No export while a batch runs: it would miss the pages still coming.
    Action_PDF->setEnabled(!running && Pages->rowCount() > 0);
}
