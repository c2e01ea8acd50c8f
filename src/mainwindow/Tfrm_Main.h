#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QRectF>
#include <QVector>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
class QMenu;
class QPrinter;
class QProgressBar;
class QToolBar;
class QToolButton;
class QWidget;

class TTwainControl;
class Tfrm_About;
class Tfrm_Settings;
class Tfrm_Preview;
class PreviewPane;
class RulerWidget;
class SourceListLoader;
class StatusPanelBar;
class PageModel;
class PageJournal;
class PageRecovery;
class PagePipeline;
class PdfSaveDialog;
class PageRecogniser;
class PdfExportJob;
struct PageEntry;
struct PageResult;

// What the running command does with the pages the control delivers.
enum class ScanMode
{
    None = 0,
    Preview = 1,
    Scan = 2,
    Copy = 3
};

// The main window: scanner source and settings on the left, the preview with its
// rulers in the middle, the list of scanned pages on the right, the status bar
// below. It owns the scanner control and the state the commands share.
//
// The implementation is split by concern: Tfrm_MainLayout.cpp (panes, menus,
// texts), Tfrm_Main.cpp (start, stop, settings, status line),
// Tfrm_MainScanSettings.cpp (control settings from the window's choices), Tfrm_MainCommands.cpp
// (scan, copy, the page pipeline and printing), Tfrm_MainNaming.cpp (page names, destination
// folder), Tfrm_MainPreview.cpp (preview, rulers, scan area), Tfrm_MainGallery.cpp (the image list
// and its commands) and Tfrm_MainDialogs.cpp (Settings and Help).
class Tfrm_Main : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfrm_Main)

public:
    // Takes ownership of control; null makes the platform's control.
    explicit Tfrm_Main(TTwainControl *control = nullptr, QWidget *parent = nullptr);
    ~Tfrm_Main() override;

    // The windows this one opens; created after it, as the program starts.
    void setWindows(Tfrm_About *about, Tfrm_Settings *settings, Tfrm_Preview *preview);

    // --- command state shared with the control's event handlers ---
    ::ScanMode ScanMode = ::ScanMode::None;
    bool gADF = false;
    bool gSkipBlank = false;
    int UnitsCode = 1; // 1 inches, 2 millimetres
    QString StatusText;
    bool StatusIsError = false;
    int ScanResolution = 0;
    float PreviewResolution = 20.78f;
    int PrintableWidth = 0;
    int PrintableHeight = 0;
    // The last page error of the running batch, shown again once the batch ends:
    // an error on an early sheet must not vanish under the later progress texts.
    QString BatchError;

    // --- start, stop, status ---
    void FormShow();
    void FormClose();
    void Mess(const QString &Message, bool Error = false);
    void RestoreParams();
    void SaveParams();
    void cmb_SourcesChange(int index);
    // File, "Refresh scanner list": searches for scanners again (not during a command).
    void RefreshSourcesClick();
    void cb_ADFClick();

    // --- scan and copy commands, page pipeline ---
    // Writes pixel type, resolution (read back into ScanResolution), page size,
    // for a scan the custom area, and the feeder decision with gADF. A copy reads
    // the printer's printable size right after the pixel type. Returns false when
    // the command must end here (an empty feeder, already reported).
    bool ApplyScanSettings(bool forScan);
    void Scan1Click();
    void Copy1Click();
    void ToolButtonScanClick();
    // Stops the running preview, scan or copy: the scanner is cancelled, the sheet
    // being read is dropped, pages already delivered are saved and listed.
    void StopScanningClick();
    void TwainScan();
    void TwainCopy();
    void TwainControlPostScan(int flag);
    void TwainControlProgress(int action, int percentComplete, bool canInterrupt);
    void GetPrinterInfo();

    // --- preview, rulers, scan area ---
    // The preview branch of the page pipeline: saves the page as the preview
    // image in the temporary folder and shows it.
    void PostScanPreview();
    void ToolButtonPreviewClick();
    bool LoadPreview(const QString &fname);
    void DrawRuler(float OurResolution = 20.78f);
    void cmb_SizeSelect(int index);
    // Corrects a proposed scan area before it is applied; DragState 0..9.
    void RBResize(const QRectF &OldLocation, QRectF &NewLocation, int DragState, bool Shift);

    // --- naming and destination ---
    QString Check(const QString &str);
    void edt_DestinationClick();
    void BrowseForFolder1Accept();

    // --- the image list ---
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
    // Turns the selected pages' files clockwise by quarter turns (3: left).
    void Action_RotateExecute(int quarterTurns);
    // Starts the export and returns; it runs on behind its progress dialog.
    void Action_PDFExecute();
    bool pdfExportRunning() const;
    // Removes the working copies this run made, except the only copies of pages
    // whose page file is missing; those are named to the user.
    void cleanUpWorkingCopies();
    // Offers back the pages of sessions that ended without closing (after the
    // window is shown).
    void offerRecovery();
    // The pages of an earlier session, listed as pages of this one.
    void listRecoveredPages(const QList<PageEntry> &pages);
    // Whether a preview, scan or copy is running.
    bool busy() const { return m_busy; }

    TTwainControl *TwainControl = nullptr;

    // --- components, named as the rest of the program refers to them ---
    QGroupBox *gb_Source = nullptr;
    QComboBox *cmb_Sources = nullptr;
    QCheckBox *cb_ADF = nullptr;
    QCheckBox *cb_Duplex = nullptr;
    QGroupBox *gb_Params = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cmb_Mode = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cmb_Resolution = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *cmb_Size = nullptr;
    QGroupBox *gb_FileSettings = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *edt_FileName = nullptr;
    QLabel *Label5 = nullptr;
    QComboBox *cmb_Format = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *edt_Destination = nullptr;
    QAction *edt_DestinationButton = nullptr;
    QWidget *ToolBar_Main = nullptr; // a plain row: it must never fold buttons away
    QToolButton *ToolButtonPreview = nullptr;
    QToolButton *ToolButtonScan = nullptr;
    QAction *ToolButtonScanItem = nullptr; // Scan1 or Copy1: what the face shows and runs
    QMenu *PopupMenu_ScanCopy = nullptr;
    QAction *Scan1 = nullptr;
    QAction *Copy1 = nullptr;
    QToolButton *ToolButtonStop = nullptr; // stands in for ToolButtonScan while a command runs

    QGroupBox *gb_Preview = nullptr;
    PreviewPane *I32_Preview = nullptr;
    RulerWidget *img_TopRuler = nullptr;
    RulerWidget *img_LeftRuler = nullptr;
    QLabel *pnl_Spacer = nullptr;

    QToolBar *ActionToolBar1 = nullptr;
    QAction *Action_Preview = nullptr;
    QAction *Action_Rename = nullptr;
    QAction *Action_Delete = nullptr;
    QAction *Action_PDF = nullptr;
    QAction *Action_RotateLeft = nullptr;  // Ctrl+L
    QAction *Action_RotateRight = nullptr; // Ctrl+R
    QAction *Action_Rotate180 = nullptr;
    QAction *Action_MoveUp = nullptr;    // Ctrl+Up
    QAction *Action_MoveDown = nullptr;  // Ctrl+Down
    QAction *Action_SelectAll = nullptr; // Ctrl+A
    // The three turns on one toolbar button.
    QToolButton *ToolButtonRotate = nullptr;
    QListView *lv_Images = nullptr;
    PageModel *Pages = nullptr;           // what lv_Images shows
    PageRecogniser *Recogniser = nullptr; // its pages' text, when the preferences ask
    PagePipeline *Pipeline = nullptr;
    PdfSaveDialog *SaveDialog1 = nullptr;

    StatusPanelBar *sb_Main = nullptr;
    QProgressBar *pb_ScanProgress = nullptr;

    // Menu bar
    QMenu *menuFile = nullptr;
    QMenu *menuSettings = nullptr;
    QMenu *menuHelp = nullptr;
    QAction *Action2 = nullptr;          // &Preview
    QAction *BrowseForFolder1 = nullptr; // &Select destination folder...
    QAction *Action1 = nullptr;          // S&can
    QAction *Action3 = nullptr;          // C&opy to printer
    QAction *FilePrintSetup1 = nullptr;  // Print Set&up...
    QAction *FileExit1 = nullptr;        // E&xit
    QAction *Action4 = nullptr;          // &Preferences...
    QAction *Action5 = nullptr;          // &Pagora Pro homepage
    QAction *Action8 = nullptr;          // Ab&out...

    QAction *ActionRefreshSources = nullptr; // File, &Refresh scanner list
    QAction *ActionStop = nullptr;           // File, S&top scanning (Escape)

    // Enables or disables the two command buttons together.
    void setCommandButtonsEnabled(bool enabled);
    // A preview, scan or copy starts: the buttons go, Stop takes the Scan button's place.
    void beginCommand(::ScanMode mode);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createLeftPane(QWidget *pane);
    void createPreviewPane(QWidget *pane);
    void createImagePane(QWidget *pane);
    void createMenus();
    void connectControl();
    void connectImageList();
    // Sizes the preview pane and its rulers to the window, refits the preview
    // image and keeps the scan area in inches.
    void growPreview();
    // The list's own commands (order, selection) and its context menu.
    void createPageListActions();
    void retranslatePageList();
    void pageDone(const PageResult &result);
    // The end of a scan or copy once its last page is handled: "Ready", buttons.
    void finishBatch();
    // Hands the newest page of a scan or copy to the pipeline.
    void submitPage();
    void endOfBatchTest();
    // OnStopped: a stop the user asked for ends the command once the scanner says so.
    void scannerStopped();
    QString stoppedText() const;
    void retranslateUi();
    void showAbout();
    void showPreferences();
    void openHomepage();
    // With "Check for updates at startup" on: one quiet check in the background.
    void CheckForUpdatesAtStartup();
    void printSetup();
    // The device search: commands wait for it, the stored choice follows it.
    void startSourceSearch();
    void sourcesListed();
    void restoreScannerChoice();
    void setSourceCommandsEnabled(bool enabled);
    QString searchingText() const;
    // The journal rewritten after a delete or a rename.
    void journalPages();
    // Reported once per run; the pages are listed all the same.
    void journalFailed();

    // The current printer: the default one until File, "Print Set&up..." picks another.
    QPrinter *currentPrinter();

    std::unique_ptr<QPrinter> m_printer;
    Tfrm_About *m_about = nullptr;
    Tfrm_Settings *m_settings = nullptr;
    Tfrm_Preview *m_preview = nullptr;
    SourceListLoader *m_sourceList = nullptr;
    bool m_scannerChoicePending = false; // the first list after start applies "Scanner"
    bool m_shown = false;
    bool m_busy = false;
    bool m_batchEnding = false; // the control finished; pages may still be in the pipeline
    int m_owedReleases = 0;     // pages the scanner waits to hear were taken
    // A preview, scan or copy runs (the device search also disables the buttons).
    bool m_commandRunning = false;
    bool m_stopRequested = false;
    bool m_awaitingStop = false;   // Stop was pressed; OnStopped has not come yet
    bool m_closeAfterStop = false; // the close waits for the scanner to stop first
    QPointer<PdfExportJob> m_pdfExport;
    QSize m_designSize;          // the window at which the preview pane has its design size
    QImage m_previewImage;       // the last preview as read, refitted when the pane grows
    int m_previewResolution = 0; // the resolution it was scanned at
    bool m_closed = false;
    // What the list holds, on the disk, for the next start after a crash.
    std::unique_ptr<PageJournal> m_journal;
    bool m_journalFailed = false; // reported once per run
    PageRecovery *m_recovery = nullptr;
};
