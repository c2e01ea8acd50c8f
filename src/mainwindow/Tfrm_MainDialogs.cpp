// The Settings and Help menu commands.
#include "mainwindow/Tfrm_Main.h"

#include "about/Tfrm_About.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "settings/Tfrm_Settings.h"

#include <QDesktopServices>
#include <QUrl>

void Tfrm_Main::showPreferences()
{
    if (m_settings)
        m_settings->exec();
}

void Tfrm_Main::showAbout()
{
    if (m_about)
        m_about->exec();
}

void Tfrm_Main::openHomepage()
{
    // A browser that fails to start is not reported.
    QDesktopServices::openUrl(QUrl(MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_89"))));
}

void Tfrm_Main::CheckForUpdatesAtStartup() {}
