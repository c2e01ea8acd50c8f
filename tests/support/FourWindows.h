#pragma once

#include "about/Tfrm_About.h"
#include "gallery/Tfrm_Preview.h"
#include "mainwindow/Tfrm_Main.h"
#include "scanner/NullTwainControl.h"
#include "settings/Tfrm_Settings.h"

#include <QString>

// The program's four windows, made in the order the program makes them at start,
// without a scanner. The main window owns the other three.
struct FourWindows
{
    FourWindows()
        : main(new Tfrm_Main(new NullTwainControl)), about(new Tfrm_About(main)),
          settings(new Tfrm_Settings(main)), preview(new Tfrm_Preview(main))
    {
        main->setWindows(about, settings, preview);
    }
    ~FourWindows() { delete main; }
    FourWindows(const FourWindows &) = delete;
    FourWindows &operator=(const FourWindows &) = delete;

    // "main", "about", "settings" or "preview".
    QWidget *byName(const QString &name) const
    {
        if (name == QLatin1String("main"))
            return main;
        if (name == QLatin1String("about"))
            return about;
        if (name == QLatin1String("settings"))
            return settings;
        return preview;
    }

    Tfrm_Main *const main;
    Tfrm_About *const about;
    Tfrm_Settings *const settings;
    Tfrm_Preview *const preview;
};
