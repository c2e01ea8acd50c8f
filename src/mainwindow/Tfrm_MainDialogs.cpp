// The Settings and Help menu commands, and the quiet update check at start-up.
#include "about/Tfrm_About.h"
#include "about/UpdateChecker.h"
#include "about/UpdateNotice.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/Tfrm_Main.h"
#include "settings/SettingsStore.h"
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
    QDesktopServices::openUrl(
        QUrl(MessageTables::main().GetTextOrDefault(QStringLiteral("IDS_89"))));
}

void Tfrm_Main::CheckForUpdatesAtStartup()
{
    bool wanted = false;
    if (!SettingsStore().readBool(SettingsStore::Update, wanted) || !wanted)
        return;

    // Nobody asked for this check, so it speaks only when there is news: every
    // failure, even a local file that cannot be written, passes in silence.
    auto *checker = new UpdateChecker(this);
    checker->setObjectName(QStringLiteral("startupUpdateCheck"));
    connect(checker, &UpdateChecker::finished, this,
            [this, checker](UpdateChecker::Outcome outcome) {
                checker->deleteLater();
                if (outcome == UpdateChecker::Outcome::Newer)
                    UpdateNotice::askToDownload(this);
            });
    if (!checker->start())
        checker->deleteLater();
}
