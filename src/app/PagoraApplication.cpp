#include "app/PagoraApplication.h"

#include "app/SignalShutdown.h"
#include "mainwindow/UserPrompts.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <cstdio>
#include <exception>

PagoraApplication::PagoraApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Pagora Pro"));
    setApplicationDisplayName(QStringLiteral("Pagora Pro"));
    setOrganizationName(QStringLiteral("Veldmark"));
    setApplicationVersion(QStringLiteral(PAGORA_VERSION));
    SettingsStore::setWriteFailureHandler(&PagoraApplication::reportSettingsNotSaved);
}

void PagoraApplication::reportSettingsNotSaved(const QString &location)
{
    const QString text = tr("The settings could not be saved to %1.", "settingsNotSaved")
                             .arg(QDir::toNativeSeparators(location));
    // Closing on a signal, nobody may be there to press OK: a message box would
    // keep the program from ending.
    if (SignalShutdown::isClosing()) {
        std::fprintf(stderr, "pagora-pro: %s\n", qUtf8Printable(text));
        return;
    }
    UserPrompts::message(activeWindow(), QMessageBox::Warning, applicationDisplayName(), text,
                         QMessageBox::Ok);
}

bool PagoraApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        UserPrompts::showError(nullptr, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        UserPrompts::showError(nullptr, tr("An unexpected error occurred."));
    }
    return false;
}
