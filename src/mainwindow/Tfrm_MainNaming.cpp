// Page names and the destination folder.
#include "pages/FileNaming.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/Tfrm_Main.h"
#include "widgets/UserPrompts.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>

QString Tfrm_Main::Check(const QString &str)
{
    syncNaming();
    return m_session->Check(str);
}

void Tfrm_Main::syncNaming()
{
    ScanSession::Naming naming;
    naming.prefix = edt_FileName->text();
    naming.extension = FileNaming::extensionFromFormatItem(cmb_Format->currentText());
    naming.destination =
        FileNaming::resolveDestination(edt_Destination->text(), QDir::homePath());
    m_session->setNaming(naming);
}

void Tfrm_Main::edt_DestinationClick()
{
    // Nothing preselected: the browser starts at its own root, as the menu command does.
    const QString folder = UserPrompts::existingFolder(
        this, MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_97")));
    if (!folder.isEmpty())
        edt_Destination->setText(QDir::toNativeSeparators(folder));
}

void Tfrm_Main::BrowseForFolder1Accept()
{
    const QString folder = UserPrompts::existingFolder(
        this, tr("Select destination folder...", "BrowseForFolder1.DialogCaption"));
    if (!folder.isEmpty())
        edt_Destination->setText(QDir::toNativeSeparators(folder));
}
