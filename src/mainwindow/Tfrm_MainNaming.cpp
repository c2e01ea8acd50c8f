// Page names and the destination folder.
#include "gallery/FileNaming.h"
#include "gallery/ImageListRoles.h"
#include "gallery/TempFolder.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/Tfrm_Main.h"
#include "mainwindow/UserPrompts.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>

QString Tfrm_Main::Check(const QString &str)
{
    // Read afresh for every page: a change between two sheets applies to the next one.
    const QString prefix = edt_FileName->text();
    const QString extension = FileNaming::extensionFromFormatItem(cmb_Format->currentText());
    const QString destination = edt_Destination->text();

    // The name is free when no page file holds it. A page whose page file could
    // not be written is still listed from its working copy; a later page of the
    // same second must not write over that copy, so listed copies count too.
    QSet<QString> listedCopies;
    for (int i = 0; i < lv_Images->count(); ++i)
        listedCopies.insert(lv_Images->item(i)->data(ImageListRoles::WorkingCopy).toString());
    const QString temp = listedCopies.isEmpty() ? QString() : TempFolder::path();

    return FileNaming::freeSuffixWhere(str, [&](const QString &suffix) {
        if (FileNaming::pathTaken(FileNaming::pageFilePath(
                destination, FileNaming::fileName(prefix, suffix, extension))))
            return true;
        return !listedCopies.isEmpty() &&
               listedCopies.contains(FileNaming::workingCopyPath(temp, prefix, suffix));
    });
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
