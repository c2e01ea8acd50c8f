// Page names and the destination folder.
#include "mainwindow/Tfrm_Main.h"

QString Tfrm_Main::Check(const QString &str)
{
    return str;
}

void Tfrm_Main::edt_DestinationClick() {}

void Tfrm_Main::BrowseForFolder1Accept() {}
