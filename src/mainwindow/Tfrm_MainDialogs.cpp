// The Settings and Help menu commands, and the quiet update check at start-up.
#include "about/Tfrm_About.h"
#include "about/UpdateChecker.h"
#include "about/UpdateNotice.h"
#include "i18n/MessageTables.h"
#include "i18n/TLangTranslator.h"
#include "mainwindow/PageAdder.h"
#include "mainwindow/Tfrm_Main.h"
#include "settings/SettingsStore.h"
#include "settings/Tfrm_Settings.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

void Tfrm_Main::addFiles()
{
    (new PageAdder(this, m_store))->run();
}

void Tfrm_Main::askForBacks(int fronts)
{
    const QString text =
        tr("The fronts of %1 sheets are scanned.\nTurn the stack over and put it back in the "
           "feeder, without changing its order.",
           "backsQuestion")
            .arg(fronts);
    const QMessageBox::StandardButton answer =
        UserPrompts::message(this, QMessageBox::Question, QApplication::applicationDisplayName(),
                             text, QMessageBox::Yes | QMessageBox::No,
                             {{QMessageBox::Yes, tr("Scan the backs", "backsScan")},
                              {QMessageBox::No, tr("Skip", "backsSkip")}});
    if (answer == QMessageBox::Yes)
        m_session->scanBacks();
    else
        m_session->skipBacks();
}

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
