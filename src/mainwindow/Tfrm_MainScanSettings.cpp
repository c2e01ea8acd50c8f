// Turning the source and image settings into control settings.
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/PreviewPane.h"
#include "session/PreviewRules.h"
#include "mainwindow/Tfrm_Main.h"
#include "scanner/TTwainControl.h"

#include <QCheckBox>
#include <QComboBox>

bool Tfrm_Main::ApplyScanSettings(bool forScan)
{
    TTwainControl *control = TwainControl;

    control->setPixelType(cmb_Mode->currentIndex());
    if (!forScan)
        GetPrinterInfo();
    control->setResolution(cmb_Resolution->currentText().toInt());
    // The source may settle on a nearby resolution; pages are measured in that one.
    ScanResolution = control->resolution();
    const int sizeIndex = cmb_Size->currentIndex();
    control->setPageSize(sizeIndex);
    // Scan and copy alike send the drawn area: what is printed is what is shown.
    if (sizeIndex == 0) {
        const QRectF inches =
            PreviewRules::areaInInches(I32_Preview->areaRect(), PreviewResolution);
        control->SetImageLayout(float(inches.left()), float(inches.top()), float(inches.right()),
                                float(inches.bottom()));
    }

    if (control->feederAvailable() != 1 || !cb_ADF->isChecked()) {
        // Feeder properties stay as they were: the control keeps or drops them.
        gADF = false;
        return true;
    }
    gADF = true;
    control->setFeederEnabled(1);
    control->setDuplexEnabled(cb_Duplex->isChecked() ? 1 : 0);
    if (control->feederLoaded() == 0) {
        Mess(MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_42")), true);
        setCommandButtonsEnabled(true);
        return false;
    }
    control->setXferCount(-1);
    control->setAutoFeed(1);
    return true;
}
