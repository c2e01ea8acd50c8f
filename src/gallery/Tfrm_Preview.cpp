#include "gallery/Tfrm_Preview.h"

#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"

#include <QEvent>

Tfrm_Preview::Tfrm_Preview(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfrm_Preview"));
    setModal(true);
    resize(435, 551);
    retranslateUi();
}

void Tfrm_Preview::retranslateUi()
{
    setWindowTitle(tr("Previewing", "Tfrm_Preview"));
}

void Tfrm_Preview::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}

void Tfrm_Preview::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void Tfrm_Preview::FormShow()
{
    setWindowTitle(MessageTables::preview().GetTextOrDefault(QStringLiteral("IDS_0")) + m_fileName);
}
