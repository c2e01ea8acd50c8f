// Turning the source and image settings into control settings.
#include "mainwindow/Tfrm_Main.h"

bool Tfrm_Main::ApplyScanSettings(bool forScan)
{
    Q_UNUSED(forScan);
    return true;
}
