#include "about/Tfrm_About.h"

#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

Tfrm_About::Tfrm_About(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfrm_About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(375, 236);

    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setGeometry(8, 8, 128, 128);
    lbl_Name = new QLabel(QStringLiteral("Pagora Pro"), this); // never translated
    lbl_Name->setObjectName(QStringLiteral("lbl_Name"));
    lbl_Name->move(158, 8);
    lbl_Version = new QLabel(this);
    lbl_Version->setObjectName(QStringLiteral("lbl_Version"));
    lbl_Version->move(158, 60);
    lbl_Copyright = new QLabel(this);
    lbl_Copyright->setObjectName(QStringLiteral("lbl_Copyright"));
    lbl_Copyright->move(158, 87);
    Bevel = new QFrame(this);
    Bevel->setObjectName(QStringLiteral("Bevel"));
    Bevel->setFrameShape(QFrame::HLine);
    Bevel->setFrameShadow(QFrame::Sunken);
    Bevel->setGeometry(8, 184, 356, 2);
    btn_Update = new QPushButton(this);
    btn_Update->setObjectName(QStringLiteral("btn_Update"));
    btn_Update->setGeometry(8, 199, 105, 25);
    btn_OK = new QPushButton(this);
    btn_OK->setObjectName(QStringLiteral("btn_OK"));
    btn_OK->setGeometry(264, 199, 100, 25);
    btn_OK->setDefault(true);

    connect(btn_OK, &QPushButton::clicked, this, &Tfrm_About::btn_OKClick);
    connect(btn_Update, &QPushButton::clicked, this, &Tfrm_About::btn_UpdateClick);
    retranslateUi();
}

void Tfrm_About::retranslateUi()
{
    setWindowTitle(tr("About Pagora Pro", "Tfrm_About"));
    lbl_Version->setText(tr("Version 1.0 ", "lbl_Version"));
    lbl_Version->adjustSize();
    btn_Update->setText(tr("Check for updates", "btn_Update"));
    btn_OK->setText(tr("OK", "btn_OK"));
}

void Tfrm_About::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}

void Tfrm_About::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tfrm_About::FormShow()
{
    lbl_Version->setText(MessageTables::about().GetTextOrDefault(QStringLiteral("IDS_2")) +
                         QStringLiteral(PAGORA_VERSION));
    lbl_Version->adjustSize();
}

void Tfrm_About::btn_OKClick()
{
    accept();
}

void Tfrm_About::btn_UpdateClick() {}
