#include "about/Tfrm_About.h"

#include "about/AboutLog.h"
#include "about/UpdateNotice.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "widgets/AccessibleText.h"
#include "widgets/UserPrompts.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QSvgRenderer>

namespace {

// The maker's notice; like the product name it reads the same in every language.
const char *const MakersNotice = "Copyright (c) 2026 Veldmark. All rights reserved.";
constexpr int UpdateButtonWidth = 105;

} // namespace

Tfrm_About::Tfrm_About(QWidget *parent) : QDialog(parent), m_checker(new UpdateChecker(this))
{
    setObjectName(QStringLiteral("Tfrm_About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(375, 236);
    // The designed positions assume this small font; where it is missing a
    // sans-serif of the same size stands in.
    QFont designFont(QStringLiteral("MS Sans Serif"));
    designFont.setStyleHint(QFont::SansSerif);
    designFont.setPointSize(8);
    setFont(designFont);

    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setGeometry(8, 8, 128, 128);
    drawLogo();

    lbl_Name = new QLabel(QStringLiteral("Pagora Pro"), this); // never translated
    lbl_Name->setObjectName(QStringLiteral("lbl_Name"));
    QFont nameFont(QStringLiteral("Arial Black"));
    // Where that face is missing the heaviest sans-serif stands in for it.
    nameFont.setStyleHint(QFont::SansSerif);
    nameFont.setWeight(QFont::Black);
    nameFont.setPixelSize(24);
    lbl_Name->setFont(nameFont);
    QPalette namePalette = lbl_Name->palette();
    namePalette.setColor(QPalette::WindowText, Qt::black);
    lbl_Name->setPalette(namePalette);
    lbl_Name->move(158, 8);
    lbl_Name->adjustSize();

    lbl_Version = new QLabel(this);
    lbl_Version->setObjectName(QStringLiteral("lbl_Version"));
    QFont versionFont = lbl_Version->font();
    versionFont.setBold(true);
    lbl_Version->setFont(versionFont);
    lbl_Version->move(158, 60);

    lbl_Copyright = new QLabel(QString::fromLatin1(MakersNotice), this);
    lbl_Copyright->setObjectName(QStringLiteral("lbl_Copyright"));
    lbl_Copyright->setWordWrap(true);
    lbl_Copyright->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbl_Copyright->setGeometry(158, 87, 113, lbl_Copyright->heightForWidth(113));

    Bevel = new QFrame(this);
    Bevel->setObjectName(QStringLiteral("Bevel"));
    Bevel->setFrameShape(QFrame::HLine);
    Bevel->setFrameShadow(QFrame::Sunken);
    Bevel->setGeometry(8, 184, 356, 2);
    btn_Update = new QPushButton(this);
    btn_Update->setObjectName(QStringLiteral("btn_Update"));
    btn_Update->setGeometry(8, 199, UpdateButtonWidth, 25);
    btn_OK = new QPushButton(this);
    btn_OK->setObjectName(QStringLiteral("btn_OK"));
    btn_OK->setGeometry(264, 199, 100, 25);
    btn_OK->setDefault(true);

    connect(btn_OK, &QPushButton::clicked, this, &Tfrm_About::btn_OKClick);
    connect(btn_Update, &QPushButton::clicked, this, &Tfrm_About::btn_UpdateClick);
    connect(m_checker, &UpdateChecker::finished, this, &Tfrm_About::checkFinished);
    retranslateUi();
}

Tfrm_About::~Tfrm_About() = default;

void Tfrm_About::retranslateUi()
{
    setWindowTitle(tr("About Pagora Pro", "Tfrm_About"));
    // The designed caption "Version 1.0" would be wrong for every release: the
    // label is always composed from the running version.
    composeVersion();
    btn_Update->setText(tr("Check for updates", "btn_Update"));
    btn_OK->setText(tr("OK", "btn_OK"));
    // A wider platform font must not cut the caption; the button grows to the right.
    btn_Update->resize(qMax(UpdateButtonWidth, btn_Update->sizeHint().width()),
                       btn_Update->height());
    AccessibleText::set(
        btn_Update, btn_Update->text(),
        tr("Asks the maker's web server for a newer version", "btn_Update.Description"));
    AccessibleText::set(btn_OK, btn_OK->text());
    AccessibleText::set(Image, tr("Pagora Pro logo", "Image.AccessibleName"));
}

void Tfrm_About::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}

void Tfrm_About::showEvent(QShowEvent *event)
{
    // Restoring a minimised box is no new showing.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void Tfrm_About::FormShow()
{
    drawLogo(); // the screen, and so its density, may have changed since
    composeVersion();
}

void Tfrm_About::drawLogo()
{
    // Drawn from the vector logo at the screen's density, so it stays sharp at
    // any scale; the bitmap stands in when the drawing cannot be read.
    const qreal ratio = devicePixelRatioF();
    if (!Image->pixmap().isNull() && Image->pixmap().devicePixelRatio() == ratio)
        return;
    QSvgRenderer drawing(QStringLiteral(":/icons/com.veldmark.PagoraPro.svg"));
    if (!drawing.isValid()) {
        Image->setPixmap(QPixmap(QStringLiteral(":/icons/pagora-pro-128.png")));
        return;
    }
    QPixmap logo(Image->size() * ratio);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    drawing.render(&painter);
    painter.end();
    logo.setDevicePixelRatio(ratio);
    Image->setPixmap(logo);
}

void Tfrm_About::composeVersion()
{
    lbl_Version->setText(MessageTables::about().GetTextOrDefault(QStringLiteral("IDS_2")) +
                         m_checker->localVersion());
    lbl_Version->adjustSize();
}

void Tfrm_About::btn_OKClick()
{
    accept();
}

void Tfrm_About::btn_UpdateClick()
{
    if (m_checker->isRunning())
        return;
    if (!m_checker->start()) {
        UserPrompts::showError(this,
                               tr("Cannot create the file \"%1\".\n%2", "UpdateFileError")
                                   .arg(UpdateChecker::localFilePath(), m_checker->errorString()));
        return;
    }
    setChecking(true);
}

void Tfrm_About::setChecking(bool checking)
{
    btn_Update->setEnabled(!checking);
    if (checking)
        setCursor(Qt::BusyCursor); // OK still works: it ends the check
    else
        unsetCursor();
}

void Tfrm_About::checkFinished(UpdateChecker::Outcome outcome)
{
    setChecking(false);
    switch (outcome) {
    case UpdateChecker::Outcome::Newer:
        UpdateNotice::askToDownload(this);
        break;
    case UpdateChecker::Outcome::NotNewer:
        UpdateNotice::tellNewest(this);
        break;
    case UpdateChecker::Outcome::WriteFailed:
        UserPrompts::showError(this,
                               tr("Cannot write the file \"%1\".\n%2", "UpdateWriteError")
                                   .arg(UpdateChecker::localFilePath(), m_checker->errorString()));
        break;
    default:
        // Network and content failures end the check without a message.
        qCDebug(lcAbout) << "check ended silently";
        break;
    }
}

void Tfrm_About::done(int result)
{
    if (m_checker->isRunning()) {
        m_checker->cancel();
        setChecking(false);
    }
    QDialog::done(result);
}
