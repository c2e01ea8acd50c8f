#pragma once

#include "session/ScanSession.h"

#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;

class SettingsStore;
class TTwainControl;

// The left-hand pane: the scanner and feeder choices, the image settings, the
// page file settings and the row of command buttons. It turns its fields into
// a scan request and the session's page naming, and refuses a file name or a
// destination that would lose the pages.
class ScanSettingsPane final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanSettingsPane)

public:
    ScanSettingsPane(TTwainControl *control, ScanSession *session, QWidget *parent = nullptr);

    void cmb_SourcesChange(int index);
    void cb_ADFClick();
    // The Scan button's menu: the face shows the choice, then the command runs.
    void Scan1Click();
    void Copy1Click();
    void ToolButtonScanClick();
    void edt_DestinationClick();
    void BrowseForFolder1Accept();

    // The command's choices as the fields show them now; areaInches is the
    // scan area, used with the size "Custom".
    ScanSession::Request scanRequest(const QRectF &areaInches) const;
    // A prefix that would lose the page or put it outside the destination folder
    // is refused before anything is scanned.
    bool prefixAccepted();
    // The destination folder exists, or the user had it created.
    bool destinationReady();
    // The page name choices as the fields show them, for the next page.
    void syncNaming();
    QString Check(const QString &str);

    // The stored scan and file settings shown in the fields (the scanner waits
    // for the source list); values out of range count as absent.
    void restoreFields(const SettingsStore &store);
    void saveFields(SettingsStore &store) const;

    void retranslateUi();
    void retranslateAccessible();
    // The fields and buttons in the order Tab visits them.
    QList<QWidget *> tabOrder() const;

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
    QToolButton *btn_DestinationBrowse = nullptr; // the face of edt_DestinationButton
    QWidget *ToolBar_Main = nullptr;              // a plain row: it must never fold buttons away
    QToolButton *ToolButtonPreview = nullptr;
    QToolButton *ToolButtonScan = nullptr;
    QAction *ToolButtonScanItem = nullptr; // Scan1 or Copy1: what the face shows and runs
    QMenu *PopupMenu_ScanCopy = nullptr;
    QAction *Scan1 = nullptr;
    QAction *Copy1 = nullptr;
    QToolButton *ToolButtonStop = nullptr; // stands in for ToolButtonScan while a command runs

signals:
    void scanChosen();
    void copyChosen();
    // A refusal for the status line.
    void statusMessage(const QString &text, bool error);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TTwainControl *m_control;
    ScanSession *m_session;
};
