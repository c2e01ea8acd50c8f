// The preview command, the rulers and the scan area.
#include "mainwindow/Tfrm_Main.h"

void Tfrm_Main::ToolButtonPreviewClick() {}

bool Tfrm_Main::LoadPreview(const QString &)
{
    return false;
}

void Tfrm_Main::DrawRuler(float) {}

void Tfrm_Main::cmb_SizeSelect(int) {}

void Tfrm_Main::RBResize(const QRectF &, QRectF &, int, bool) {}

void Tfrm_Main::PostScanPreview() {}
