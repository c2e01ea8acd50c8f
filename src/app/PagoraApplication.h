#pragma once

#include <QApplication>

// The application object. It is also the generic error display: an error that
// escapes a command's handler is shown with its text in a message box, and the
// program goes on.
class PagoraApplication final : public QApplication
{
    Q_OBJECT

public:
    PagoraApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Told once per run when the settings file could not be written.
    static void reportSettingsNotSaved(const QString &location);
};
