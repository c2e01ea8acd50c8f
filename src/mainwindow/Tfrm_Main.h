#pragma once

#include "pages/PageOrder.h"
#include "session/ScanSession.h"

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
class PageStore;
class PdfSaveDialog;
class PageRecogniser;
class PdfExportJob;
class PageCorrectionJob;
struct PageEntry;

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

    // The scanner, the command state and the page pipeline.
    ScanSession *session() const { return m_session; }

    int UnitsCode = 1; // 1 inches, 2 millimetres
    QString StatusText;
    bool StatusIsError = false;
    float PreviewResolution = 20.78f;

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

    // --- scan and copy commands ---
    // The command's choices as the window shows them now.
    ScanSession::Request scanRequest() const;
    void Scan1Click();
    void Copy1Click();
    void ToolButtonScanClick();
    // Stops the running preview, scan or copy: the scanner is cancelled, the sheet
    // being read is dropped, pages already delivered are saved and listed.
    void StopScanningClick();
    void TwainScan();
    void TwainCopy();
    // The current printer's printable size in its device pixels.
    QSize GetPrinterInfo();

    // --- preview, rulers, scan area ---
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
    void Action_ArrangeExecute(PageOrder::Arrangement arrangement);
    // Turns the selected pages' files clockwise by quarter turns (3: left).
    void Action_RotateExecute(int quarterTurns);
    // Measures the selected pages off this thread, then turns them upright
    // (upright) or straightens them, both files or neither.
    void Action_CorrectExecute(bool upright);
    // Starts the export and returns; it runs on behind its progress dialog.
    void Action_PDFExecute();
    bool pdfExportRunning() const;
    // Removes the working copies this run made, except the only copies of pages
    // whose page file is missing; those are named to the user.
    void cleanUpWorkingCopies();
    // Offers back the pages of sessions that ended without closing (after the
    // window is shown).
    void offerRecovery();
    // Whether a preview, scan or copy is running.
    bool busy() const { return m_session->busy(); }

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
    QAction *Action_TurnUpright = nullptr;
    QAction *Action_Straighten = nullptr;
    QAction *Action_MoveUp = nullptr;    // Ctrl+Up
    QAction *Action_MoveDown = nullptr;  // Ctrl+Down
    QAction *Action_SelectAll = nullptr; // Ctrl+A
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

    StatusPanelBar *sb_Main = nullptr;
    QProgressBar *pb_ScanProgress = nullptr;

    // Menu bar
    QMenu *menuFile = nullptr;
    QMenu *menuSettings = nullptr;
    QMenu *menuHelp = nullptr;
    QAction *Action2 = nullptr;          // &Preview
    QAction *BrowseForFolder1 = nullptr; // &Select destination folder...
    QAction *ActionAddFiles = nullptr;   // Add files...
    QAction *Action1 = nullptr;          // S&can
    QAction *Action3 = nullptr;          // C&opy to printer
    QAction *FilePrintSetup1 = nullptr;  // Print Set&up...
    QAction *FileExit1 = nullptr;        // E&xit
    QAction *Action4 = nullptr;          // &Preferences...
    // Settings, "Backs come first-first": the feeder reverses a turned stack itself.
    QAction *ActionBacksFirstFirst = nullptr;
    QAction *Action5 = nullptr; // &Pagora Pro homepage
    QAction *Action8 = nullptr; // Ab&out...

    QAction *ActionRefreshSources = nullptr; // File, &Refresh scanner list
    QAction *ActionStop = nullptr;           // File, S&top scanning (Escape)

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
    // The stored preferences for cropping, turning and straightening scanned pages,
    // to the session.
    void applyPageCorrection();
    // Sizes the preview pane and its rulers to the window, refits the preview
    // image and keeps the scan area in inches.
    void growPreview();
    // The list's own commands (order, selection) and its context menu.
    void createPageListActions();
    void retranslatePageList();
    // A prefix that would lose the page or put it outside the destination folder
    // is refused before anything is scanned.
    bool prefixAccepted();
    // The destination folder exists, or the user had it created.
    bool destinationReady();
    // The commands follow the session's state: none while a command runs or
    // the scanners are searched for, Stop only while a command runs.
    void updateCommands();
    // The page name choices as the fields show them, for the next page.
    void syncNaming();
    void retranslateUi();
    // Names and descriptions for screen readers, in the current language.
    void retranslateAccessible();
    // Tab follows the layout and reaches every button, the image toolbar's too.
    void setKeyboardOrder();
    void showAbout();
    void showPreferences();
    // File, "Add files...": existing images join the list; the originals stay untouched.
    void addFiles();
    // Two-pass duplex: the fronts are in; turn the stack over, or list them alone.
    void askForBacks(int fronts);
    void openHomepage();
    // With "Check for updates at startup" on: one quiet check in the background.
    void CheckForUpdatesAtStartup();
    void printSetup();
    // The device search: commands wait for it, the stored choice follows it.
    void startSourceSearch(const QString &rememberedDevice = QString());
    // The device name stored with the scanner choice, when choices are restored.
    QString rememberedDevice() const;
    void sourcesListed();
    void restoreScannerChoice();
    // The close's last step, once no page can come any more.
    void finishClose();
    // Reported once per run; the pages are listed all the same.
    void journalFailed(const QString &path, const QString &reason);

    // The current printer: the default one until File, "Print Set&up..." picks another.
    QPrinter *currentPrinter();

    std::unique_ptr<QPrinter> m_printer;
    Tfrm_About *m_about = nullptr;
    Tfrm_Settings *m_settings = nullptr;
    Tfrm_Preview *m_preview = nullptr;
    SourceListLoader *m_sourceList = nullptr;
    bool m_scannerChoicePending = false; // the first list after start applies "Scanner"
    ScanSession *m_session = nullptr;
    bool m_shown = false;
    QPointer<PdfExportJob> m_pdfExport;
    QPointer<PageCorrectionJob> m_correction; // "Turn upright" or "Straighten" measuring
    QSize m_designSize;          // the window at which the preview pane has its design size
    QImage m_previewImage;       // the last preview as read, refitted when the pane grows
    int m_previewResolution = 0; // the resolution it was scanned at
    bool m_closing = false;      // FormClose ran: settings saved, the session told to close
    bool m_closed = false;       // the working copies are handled
    bool m_closeWaiting = false; // a close waits for the running batch to end
    // The pages, their journal, the clean-up at close and recovery.
    PageStore *m_store = nullptr;
};
