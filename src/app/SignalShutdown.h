#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Closes the program like File, Exit when a termination signal arrives: open
// dialogs are dismissed and the main window is closed, so the settings are saved
// and the working copies handled. A window that first stops a running scan closes
// itself once the scanner has stopped (sheets already read are listed); the event
// loop ends then. Messages that come up meanwhile go to stderr instead of a message
// box nobody may answer.
class SignalShutdown final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SignalShutdown)

public:
    explicit SignalShutdown(QWidget *mainWindow, QObject *parent = nullptr);

    // Starts the close; again while one is under way it does nothing.
    void closeProgram();
    // Whether a close on a signal is under way.
    static bool isClosing();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_mainWindow;
};
