#include "app/PagoraApplication.h"

#include "widgets/UserPrompts.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QIcon>
#include <exception>

PagoraApplication::PagoraApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Pagora Pro"));
    setApplicationDisplayName(QStringLiteral("Pagora Pro"));
    setOrganizationName(QStringLiteral("Veldmark"));
    setApplicationVersion(QStringLiteral(PAGORA_VERSION));
    // Ties the windows to the installed desktop entry and its icon.
    setDesktopFileName(QStringLiteral("com.veldmark.PagoraPro"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("com.veldmark.PagoraPro"),
                                   QIcon(QStringLiteral(":/icons/pagora-pro-128.png"))));
    SettingsStore::setWriteFailureHandler(&PagoraApplication::reportSettingsNotSaved);
}

void PagoraApplication::reportSettingsNotSaved(const QString &location)
{
    const QString text = tr("The settings could not be saved to %1.", "settingsNotSaved")
                             .arg(QDir::toNativeSeparators(location));
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
