#include "mainwindow/Tfrm_Main.h"

#include "pages/PageJournal.h"
#include "pages/PageModel.h"
#include "pages/PageRecogniser.h"
#include "gallery/PdfExportJob.h"
#include "gallery/PdfSaveDialog.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangDispatcher.h"
#include "i18n/TLangTranslator.h"
#include "pages/PagePipeline.h"
#include "mainwindow/PreviewPane.h"
#include "mainwindow/RulerWidget.h"
#include "mainwindow/SourceListLoader.h"
#include "mainwindow/StatusPanelBar.h"
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

Tfrm_Main::~Tfrm_Main()
{
    // A window gone without closing (tests do this) leaves no session to recover.
    m_journal->remove();
}

void Tfrm_Main::setWindows(Tfrm_About *about, Tfrm_Settings *settings, Tfrm_Preview *preview)
{
    m_about = about;
    m_settings = settings;
    m_preview = preview;
    if (m_settings)
        connect(m_settings, &Tfrm_Settings::preferencesApplied, this,
                [this](int unitsCode, bool skipBlank) {
                    UnitsCode = unitsCode;
                    gSkipBlank = skipBlank;
                    Recogniser->setLanguages(PdfSaveDialog::preferredRecognition());
                });
}

void Tfrm_Main::connectControl()
{
    connect(TwainControl, &TTwainControl::OnPostScan, this, &Tfrm_Main::TwainControlPostScan);
    connect(TwainControl, &TTwainControl::OnProgress, this, &Tfrm_Main::TwainControlProgress);
    connect(TwainControl, &TTwainControl::OnStopped, this, &Tfrm_Main::scannerStopped);
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
    // not wait for it, and the stored scanner choice is applied when the list comes.
    m_scannerChoicePending = true;
    startSourceSearch();

    RestoreParams();
    growPreview(); // a stored larger window brings its larger preview back

    I32_Preview->createLayers();
    DrawRuler(20.78f);
    Mess(m_sourceList->isSearching()
             ? searchingText()
             : MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_6")));

    // After the window is up, so a slow network never delays the start.
    QTimer::singleShot(0, this, &Tfrm_Main::CheckForUpdatesAtStartup);
    QTimer::singleShot(0, this, &Tfrm_Main::offerRecovery);
}

void Tfrm_Main::closeEvent(QCloseEvent *event)
{
    // A running batch is stopped first and the close comes back once the scanner has
    // stopped: sheets it had read completely arrive before that and are listed. A
    // scanner that does not answer in time does not keep the program open.
    constexpr int StopWaitMs = 1000;
    if (!m_closed && !m_closeAfterStop && TwainControl->dataSourceState() != 0) {
        m_closeAfterStop = true;
        event->ignore();
        const auto closeAgain = [this] { QTimer::singleShot(0, this, &QWidget::close); };
        connect(TwainControl, &TTwainControl::OnStopped, this, closeAgain,
                Qt::SingleShotConnection);
        QTimer::singleShot(StopWaitMs, this, closeAgain);
        StopScanningClick();
        if (!m_stopRequested)
            TwainControl->StopDevice();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
}

void Tfrm_Main::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    // A batch still running ends here: later sheets would arrive after the clean-up.
    if (m_busy && (ScanMode == ScanMode::Scan || ScanMode == ScanMode::Copy))
        TwainControl->StopDevice();
    SaveParams();
    // A running batch is stopped as the user would stop it; its delivered pages
    // are then finished below like any others.
    StopScanningClick();
    // An export still reading working copies ends first (the progress dialog
    // keeps the user from closing, a signal to quit does not).
    if (m_pdfExport)
        m_pdfExport->cancelAndWait();
    // Pages already delivered are written and listed before anything is removed.
    Pipeline->finishAll();
    cleanUpWorkingCopies();
    // A normal close: nothing to offer back at the next start.
    m_journal->remove();
}

void Tfrm_Main::Mess(const QString &Message, bool Error)
{
    StatusText = Message;
    StatusIsError = Error;
    sb_Main->setStatus(Message, Error);
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
    store.readBool(SettingsStore::SkipBlank, gSkipBlank);

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
    // choice stands; during a later search, the one from before it.
    if (!m_scannerChoicePending)
        store.WriteInteger(SettingsStore::Scanner, m_sourceList->isSearching()
                                                       ? m_sourceList->previousIndex()
                                                       : cmb_Sources->currentIndex());
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
    if (!ToolButtonScan->isEnabled() || m_sourceList->isSearching())
        return;
    Mess(searchingText());
    startSourceSearch();
}

void Tfrm_Main::startSourceSearch()
{
    setSourceCommandsEnabled(false);
    m_sourceList->start();
}

void Tfrm_Main::sourcesListed()
{
    if (m_scannerChoicePending) {
        m_scannerChoicePending = false;
        restoreScannerChoice();
    }
    setSourceCommandsEnabled(true);
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

void Tfrm_Main::setSourceCommandsEnabled(bool enabled)
{
    setCommandButtonsEnabled(enabled);
    for (QAction *command : {Action2, Action1, Action3})
        command->setEnabled(enabled);
}

QString Tfrm_Main::searchingText() const
{
    return tr("Searching for scanners…", "cmb_Sources.Searching");
}

void Tfrm_Main::cb_ADFClick()
{
    cb_Duplex->setEnabled(cb_ADF->isChecked());
    if (!cb_ADF->isChecked())
        cb_Duplex->setChecked(false);
}

void Tfrm_Main::setCommandButtonsEnabled(bool enabled)
{
    m_busy = !enabled;
    if (enabled)
        m_commandRunning = false;
    ToolButtonPreview->setEnabled(enabled);
    ToolButtonScan->setEnabled(enabled);
    // The Scan button turns into Stop while a command runs (a swap in place: the
    // Scan button keeps its menu and its face for the next command).
    ToolButtonScan->setVisible(!m_commandRunning);
    ToolButtonStop->setVisible(m_commandRunning);
    const bool stoppable = m_commandRunning && !m_stopRequested;
    ToolButtonStop->setEnabled(stoppable);
    ActionStop->setEnabled(stoppable);
    // No export while a batch runs: it would miss the pages still coming.
    Action_PDF->setEnabled(enabled && Pages->rowCount() > 0);
    ActionRefreshSources->setEnabled(enabled);
}
