#pragma once

#include "session/ScanSession.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QMenu;
class QPrinter;
class QProgressBar;

class TTwainControl;
class Tfrm_About;
class Tfrm_Settings;
class Tfrm_Preview;
class ImageListPane;
class ScanAreaPane;
class ScanSettingsPane;
class SourceListLoader;
class StatusPanelBar;
class PageStore;
class LeftoverSweep;

// The main window: the scan settings pane on the left, the preview with its
// rulers in the middle, the list of scanned pages on the right, the status bar
// below. It assembles the panes, owns the menus' commands and the scanner
// control, and wires them to the scan session and the page store: the session
// runs the commands, the store keeps the pages.
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
    // The list of scanned pages and its commands.
    ImageListPane *imageList() const { return m_imageList; }
    // The preview with its rulers and the scan area.
    ScanAreaPane *scanArea() const { return m_scanArea; }
    // The scanner, image and file settings and the command buttons.
    ScanSettingsPane *scanSettings() const { return m_scanSettings; }

    QString StatusText;
    bool StatusIsError = false;

    // --- start, stop, status ---
    void FormShow();
    void FormClose();
    void Mess(const QString &Message, bool Error = false);
    void RestoreParams();
    void SaveParams();
    // File, "Refresh scanner list": searches for scanners again (not during a command).
    void RefreshSourcesClick();

    // --- scan and copy commands ---
    // The command's choices as the window shows them now.
    ScanSession::Request scanRequest() const;
    // Stops the running preview, scan or copy: the scanner is cancelled, the sheet
    // being read is dropped, pages already delivered are saved and listed.
    void StopScanningClick();
    void TwainScan();
    void TwainCopy();
    // The current printer's printable size in its device pixels.
    QSize GetPrinterInfo();

    // --- preview ---
    void ToolButtonPreviewClick();

    // Whether a preview, scan or copy is running.
    bool busy() const { return m_session->busy(); }

    TTwainControl *TwainControl = nullptr;

    // --- components, named as the rest of the program refers to them ---
    StatusPanelBar *sb_Main = nullptr;
    QProgressBar *pb_ScanProgress = nullptr;

    // Menu bar
    QMenu *menuFile = nullptr;
    QMenu *menuSettings = nullptr;
    QMenu *menuHelp = nullptr;
    QAction *Action2 = nullptr;          // &Preview
    QAction *BrowseForFolder1 = nullptr; // &Select destination folder...
    QAction *ActionAddFiles = nullptr;   // &Add files...
    QAction *Action1 = nullptr;          // S&can
    QAction *Action3 = nullptr;          // C&opy to printer
    QAction *FilePrintSetup1 = nullptr;  // Print Set&up...
    QAction *FileExit1 = nullptr;        // E&xit
    QAction *Action4 = nullptr;          // &Preferences...
    // Settings, "Second pass feeds the backs from the first sheet": the feeder
    // reverses a turned stack itself.
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
    void createMenus();
    void connectControl();
    // The image list's count and journal reports, and its destination.
    void connectImageList();
    // The size item sets the scan area; a drawn area shows its size and turns the item to "Custom".
    void connectScanArea();
    // The stored preferences for cropping, turning and straightening scanned pages,
    // to the session.
    void applyPageCorrection();
    // Sizes the preview pane and its rulers to the window, refits the preview
    // image and keeps the scan area in inches.
    void growPreview();
    // The commands follow the session's state: none while a command runs or
    // the scanners are searched for, Stop only while a command runs.
    void updateCommands();
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
    // Pages held in memory only are lost with the window: save them to a folder,
    // discard them, or (when cancellable) keep the window open. True: close.
    bool settleUnsavedPages(bool cancellable);
    // Room on the disks for the first pages of the command (a few of a feeder
    // batch); otherwise said at once, and false.
    bool roomForPages(const ScanSession::Request &request, bool copy);
    // Removes the working copies this run made, except the only copies of pages
    // whose page file is missing; those are named to the user.
    void cleanUpWorkingCopies();
    // Offers back the pages of sessions that ended without closing (after the
    // window is shown).
    void offerRecovery();
    // Reported once per run; the pages are listed all the same.
    void journalFailed(const QString &path, const QString &reason);

    // The current printer: the default one until File, "Print Set&up..." picks another.
    QPrinter *currentPrinter();

    std::unique_ptr<QPrinter> m_printer;
    Tfrm_About *m_about = nullptr;
    Tfrm_Settings *m_settings = nullptr;
    SourceListLoader *m_sourceList = nullptr;
    bool m_scannerChoicePending = false; // the first list after start applies "Scanner"
    ScanSession *m_session = nullptr;
    bool m_shown = false;
    ImageListPane *m_imageList = nullptr;
    ScanAreaPane *m_scanArea = nullptr;
    ScanSettingsPane *m_scanSettings = nullptr;
    QSize m_designSize;          // the window at which the preview pane has its design size
    bool m_closing = false;      // FormClose ran: settings saved, the session told to close
    bool m_closed = false;       // the working copies are handled
    bool m_closeWaiting = false; // a close waits for the running batch to end
    // The pages, their journal, the clean-up at close and recovery.
    PageStore *m_store = nullptr;
    LeftoverSweep *m_leftovers = nullptr; // holds the temporary folder while the window lives
};
