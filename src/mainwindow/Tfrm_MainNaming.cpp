// Page names and the destination folder.
#include "pages/FileNaming.h"
#include "pages/PageModel.h"
#include "files/TempFolder.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "pages/PagePipeline.h"
#include "mainwindow/Tfrm_Main.h"
#include "widgets/UserPrompts.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSet>

QString Tfrm_Main::Check(const QString &str)
{
    // Read afresh for every page: a change between two sheets applies to the next one.
    const QString prefix = edt_FileName->text();
    const QString extension = FileNaming::extensionFromFormatItem(cmb_Format->currentText());
    const QString destination =
        FileNaming::resolveDestination(edt_Destination->text(), QDir::homePath());

    // The name is free when no page file holds it and no page still being
    // written has taken it. A page whose page file could not be written is
    // listed from its working copy; a later page of the same second must not
    // write over that copy, so listed copies count too.
    QSet<QString> listedCopies;
    for (int i = 0; i < Pages->rowCount(); ++i)
        listedCopies.insert(Pages->entry(i).workingCopy);
    const QString temp = TempFolder::path();

    return FileNaming::freeSuffixWhere(str, [&](const QString &suffix) {
        const QString pageFile =
            FileNaming::pageFilePath(destination, FileNaming::fileName(prefix, suffix, extension));
        if (FileNaming::pathTaken(pageFile) || Pipeline->isReserved(pageFile))
            return true;
        return listedCopies.contains(FileNaming::workingCopyPath(temp, prefix, suffix));
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
