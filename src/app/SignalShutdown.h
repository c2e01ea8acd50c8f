#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QTimer;
class TTwainControl;

// Closes the program like File, Exit when a termination signal arrives: open
// dialogs are dismissed and the main window is closed, so the settings are saved
// and the working copies handled. A page the scanner is delivering is waited for
// first, so it still reaches its page file and the list. Messages that come up
// meanwhile go to stderr instead of a message box nobody may answer.
class SignalShutdown final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SignalShutdown)

public:
    SignalShutdown(QWidget *mainWindow, TTwainControl *control, QObject *parent = nullptr);

    // Starts the close; again while one is under way it does nothing.
    void closeProgram();
    // Whether a close on a signal is under way.
    static bool isClosing();

    // How long a page in flight is waited for before the close goes on regardless.
    static constexpr int PageWaitMs = 30000;

private:
    void finish();

    QPointer<QWidget> m_mainWindow;
    QPointer<TTwainControl> m_control;
    QTimer *m_pageWait = nullptr;
    bool m_finished = false;
};
