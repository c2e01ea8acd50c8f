#include "mainwindow/ScanSettingsPane.h"

#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "pages/FileNaming.h"
#include "scanner/PageSizes.h"
#include "scanner/TTwainControl.h"
#include "settings/SettingsStore.h"
#include "widgets/AccessibleText.h"
#include "widgets/UserPrompts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString message(const char *id)
{
    return MessageTables::main().GetTextOrDefault(QLatin1String(id));
}

constexpr int LeftPaneWidth = 253;

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

ScanSettingsPane::ScanSettingsPane(TTwainControl *control, ScanSession *session, QWidget *parent)
    : QWidget(parent), m_control(control), m_session(session)
{
    setFixedWidth(LeftPaneWidth - 4);
    auto *layout = new QVBoxLayout(this);
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
    edt_DestinationButton =
        new QAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QString(), this);
    edt_DestinationButton->setObjectName(QStringLiteral("edt_DestinationButton"));
    // A button of its own beside the field, not one drawn inside it: Tab reaches
    // it and shows where the focus is.
    btn_DestinationBrowse = new QToolButton;
    btn_DestinationBrowse->setObjectName(QStringLiteral("btn_DestinationBrowse"));
    btn_DestinationBrowse->setDefaultAction(edt_DestinationButton);
    btn_DestinationBrowse->setFocusPolicy(Qt::StrongFocus);
    btn_DestinationBrowse->setIconSize(QSize(16, 16));
    Label4 = label("Label4", edt_FileName);
    Label5 = label("Label5", cmb_Format);
    Label6 = label("Label6", edt_Destination);
    auto *files = new QGridLayout(gb_FileSettings);
    files->addWidget(Label4, 0, 0);
    files->addWidget(edt_FileName, 0, 1);
    // The format names are long ("TIFF (Tag Image File Format)"): the box gets a
    // row of its own, as wide as the group, so none is cut in any language.
    files->addWidget(Label5, 1, 0, 1, 2);
    files->addWidget(cmb_Format, 2, 0, 1, 2);
    files->addWidget(Label6, 3, 0, 1, 2);
    auto *destinationRow = new QHBoxLayout;
    destinationRow->setSpacing(2);
    destinationRow->addWidget(edt_Destination, 1);
    destinationRow->addWidget(btn_DestinationBrowse);
    files->addLayout(destinationRow, 4, 0, 1, 2);
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
    // Its arrow opens the menu by mouse only; Alt+Down and the Menu key open it too.
    ToolButtonScan->installEventFilter(this);
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
            &ScanSettingsPane::cmb_SourcesChange);
    connect(cb_ADF, &QCheckBox::clicked, this, &ScanSettingsPane::cb_ADFClick);
    connect(edt_DestinationButton, &QAction::triggered, this,
            &ScanSettingsPane::edt_DestinationClick);
    connect(ToolButtonScan, &QToolButton::clicked, this, &ScanSettingsPane::ToolButtonScanClick);
    connect(Scan1, &QAction::triggered, this, &ScanSettingsPane::Scan1Click);
    connect(Copy1, &QAction::triggered, this, &ScanSettingsPane::Copy1Click);

    for (QLineEdit *field : {edt_FileName, edt_Destination})
        connect(field, &QLineEdit::textChanged, this, &ScanSettingsPane::syncNaming);
    connect(cmb_Format, &QComboBox::currentIndexChanged, this, &ScanSettingsPane::syncNaming);
    syncNaming();
}

bool ScanSettingsPane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ToolButtonScan && ToolButtonScan->isEnabled()) {
        bool open = false;
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            open = key->key() == Qt::Key_Menu ||
                   (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier));
        } else if (event->type() == QEvent::ContextMenu) {
            // Shift+F10, or the Menu key when the platform turns it into this event.
            open = static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard;
        }
        if (open) {
            ToolButtonScan->showMenu();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ScanSettingsPane::cmb_SourcesChange(int index)
{
    m_control->setSourceIndex(index);
}

void ScanSettingsPane::cb_ADFClick()
{
    cb_Duplex->setEnabled(cb_ADF->isChecked());
    if (!cb_ADF->isChecked())
        cb_Duplex->setChecked(false);
}

void ScanSettingsPane::Scan1Click()
{
    ToolButtonScanItem = Scan1;
    ToolButtonScan->setText(Scan1->text());
    ToolButtonScan->setIcon(Scan1->icon());
    emit scanChosen();
}

void ScanSettingsPane::Copy1Click()
{
    ToolButtonScanItem = Copy1;
    ToolButtonScan->setText(Copy1->text());
    ToolButtonScan->setIcon(Copy1->icon());
    emit copyChosen();
}

void ScanSettingsPane::ToolButtonScanClick()
{
    if (ToolButtonScanItem == Scan1)
        Scan1Click();
    else
        Copy1Click();
}

ScanSession::Request ScanSettingsPane::scanRequest(const QRectF &areaInches) const
{
    ScanSession::Request request;
    request.source = cmb_Sources->currentIndex();
    request.pixelType = cmb_Mode->currentIndex();
    request.resolution = cmb_Resolution->currentText().toInt();
    request.sizeIndex = cmb_Size->currentIndex();
    if (request.sizeIndex == 0)
        request.areaInches = areaInches;
    request.feeder = cb_ADF->isChecked();
    request.duplex = cb_Duplex->isChecked();
    return request;
}

// A prefix that would lose the page or put it outside the destination folder is
// refused before anything is scanned.
bool ScanSettingsPane::prefixAccepted()
{
    QString problem;
    switch (FileNaming::prefixProblem(edt_FileName->text())) {
    case FileNaming::PrefixProblem::None:
        return true;
    case FileNaming::PrefixProblem::Separator:
        problem = tr("The file name must not contain \"/\" or \"\\\".", "prefixSeparator");
        break;
    case FileNaming::PrefixProblem::DotName:
        problem = tr("The file name must not be \".\" or \"..\".", "prefixDots");
        break;
    case FileNaming::PrefixProblem::ControlCharacter:
        problem = tr("The file name must not contain control characters.", "prefixControl");
        break;
    case FileNaming::PrefixProblem::TooLong:
        problem = tr("The file name must not be longer than %1 characters.", "prefixTooLong")
                      .arg(FileNaming::kMaxPrefixLength);
        break;
    }
    emit statusMessage(problem, true);
    edt_FileName->setFocus();
    return false;
}

// Step 1 of the scan command. "~" is the home folder and a relative path is
// taken from there, never from wherever the program was started; the field then
// shows the folder the pages really go to.
bool ScanSettingsPane::destinationReady()
{
    const QString typed = edt_Destination->text().trimmed();
    const QString folder = FileNaming::resolveDestination(typed, QDir::homePath());
    if (!folder.isEmpty() && folder != QDir::fromNativeSeparators(typed))
        edt_Destination->setText(QDir::toNativeSeparators(folder));
    if (QFileInfo(folder).isDir())
        return true;
    const QString title = message("IDS_38");
    // The question names the folder it would create.
    QString question = message("IDS_37");
    if (!folder.isEmpty())
        question += QLatin1Char('\n') + QDir::toNativeSeparators(folder);
    if (UserPrompts::message(window(), QMessageBox::Question, title, question,
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    // One level only: a missing parent is the user's to fix, not ours to invent.
    if (folder.isEmpty() || !QDir().mkdir(folder)) {
        UserPrompts::message(window(), QMessageBox::Warning, title, message("IDS_39"),
                             QMessageBox::Ok);
        return false;
    }
    return true;
}

QString ScanSettingsPane::Check(const QString &str)
{
    syncNaming();
    return m_session->Check(str);
}

void ScanSettingsPane::syncNaming()
{
    ScanSession::Naming naming;
    naming.prefix = edt_FileName->text();
    naming.extension = FileNaming::extensionFromFormatItem(cmb_Format->currentText());
    naming.destination = FileNaming::resolveDestination(edt_Destination->text(), QDir::homePath());
    m_session->setNaming(naming);
}

void ScanSettingsPane::edt_DestinationClick()
{
    // Nothing preselected: the browser starts at its own root, as the menu command does.
    const QString folder = UserPrompts::existingFolder(
        window(), MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_97")));
    if (!folder.isEmpty())
        edt_Destination->setText(QDir::toNativeSeparators(folder));
}

void ScanSettingsPane::BrowseForFolder1Accept()
{
    const QString folder = UserPrompts::existingFolder(
        window(), tr("Select destination folder...", "BrowseForFolder1.DialogCaption"));
    if (!folder.isEmpty())
        edt_Destination->setText(QDir::toNativeSeparators(folder));
}

void ScanSettingsPane::retranslateUi()
{
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
    Scan1->setText(tr("Scan", "Scan1"));
    Copy1->setText(tr("Copy", "Copy1"));
    ToolButtonScan->setText(ToolButtonScanItem == Scan1 ? tr("Scan", "ToolButtonScan")
                                                        : Copy1->text());
    bool ok = false;
    const int margin = tr("35", "ToolBar_Main.Margins").toInt(&ok);
    ToolBar_Main->layout()->setContentsMargins(ok ? margin : 35, 2, ok ? margin : 35, 2);
}

void ScanSettingsPane::retranslateAccessible()
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
    // The Preview and Stop buttons are faces of the window's commands: named as they read.
    if (QAction *preview = ToolButtonPreview->defaultAction())
        set(ToolButtonPreview, preview->iconText());
    // Its name is its face, which shows Scan or Copy, whichever was chosen last.
    ToolButtonScan->setAccessibleDescription(
        tr("Scans; the arrow offers Scan and Copy", "ToolButtonScan.Description"));
    if (QAction *stop = ToolButtonStop->defaultAction())
        set(ToolButtonStop, stop->iconText());
}

QList<QWidget *> ScanSettingsPane::tabOrder() const
{
    return {
        cmb_Sources,       cb_ADF,         cb_Duplex,     cmb_Mode,        cmb_Resolution,
        cmb_Size,          edt_FileName,   cmb_Format,    edt_Destination, btn_DestinationBrowse,
        ToolButtonPreview, ToolButtonScan, ToolButtonStop};
}

void ScanSettingsPane::restoreFields(const SettingsStore &store)
{
    const auto restoreIndex = [&store](const char *name, QComboBox *list) {
        int index = 0;
        if (store.readIntegerInRange(QLatin1String(name), 0, list->count() - 1, index))
            list->setCurrentIndex(index);
    };
    restoreIndex(SettingsStore::Mode, cmb_Mode);
    restoreIndex(SettingsStore::Resolution, cmb_Resolution);
    restoreIndex(SettingsStore::Size, cmb_Size);
    restoreIndex(SettingsStore::Format, cmb_Format);
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

void ScanSettingsPane::saveFields(SettingsStore &store) const
{
    store.WriteInteger(SettingsStore::Mode, cmb_Mode->currentIndex());
    store.WriteInteger(SettingsStore::Resolution, cmb_Resolution->currentIndex());
    store.WriteInteger(SettingsStore::Size, cmb_Size->currentIndex());
    store.WriteInteger(SettingsStore::Format, cmb_Format->currentIndex());
    store.WriteString(SettingsStore::FileName, edt_FileName->text());
    store.WriteString(SettingsStore::Destination, edt_Destination->text());
    store.WriteBool(SettingsStore::ADF, cb_ADF->isChecked());
    store.WriteBool(SettingsStore::Duplex, cb_Duplex->isChecked());
}
