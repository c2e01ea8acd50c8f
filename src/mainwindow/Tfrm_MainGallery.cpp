// The image list and its commands.
#include "mainwindow/Tfrm_Main.h"

void Tfrm_Main::connectImageList() {}

bool Tfrm_Main::FillImageList(const QString &, int, int, const QString &)
{
    return false;
}

void Tfrm_Main::lv_ImagesSelectItem(QListWidgetItem *, bool) {}

void Tfrm_Main::lv_ImagesChange() {}

void Tfrm_Main::Action_PreviewExecute() {}

void Tfrm_Main::Action_RenameExecute() {}

void Tfrm_Main::lv_ImagesEdited(QListWidgetItem *, QString &) {}

void Tfrm_Main::Action_DeleteExecute() {}

void Tfrm_Main::Action_PDFExecute() {}

void Tfrm_Main::deleteWorkingCopies() {}
