#include "app/SignalShutdown.h"

#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QLoggingCategory>
#include <cstdio>
#include <QEvent>

namespace {

Q_LOGGING_CATEGORY(lcShutdown, "pagora.app.shutdown", QtWarningMsg)

bool closing = false;

} // namespace

SignalShutdown::SignalShutdown(QWidget *mainWindow, QObject *parent)
    : QObject(parent), m_mainWindow(mainWindow)
{
}

bool SignalShutdown::isClosing()
{
    return closing;
}

void SignalShutdown::closeProgram()
{
    if (closing)
        return;
    closing = true;
    // From now on nobody may be there to answer: a question or an error that comes
    // up while closing (a failed settings write, an export cut short) goes to
    // stderr and is answered as Escape would, so the program still ends.
    UserPrompts::setResponder([](const UserPrompts::Prompt &prompt) {
        if (prompt.kind == UserPrompts::Kind::Message)
            std::fprintf(stderr, "pagora-pro: %s\n", qUtf8Printable(prompt.text));
        return UserPrompts::Answer{};
    });
    qCDebug(lcShutdown) << "closing on a signal";
    // Questions and progress dialogs first: their event loops must end before the
    // main loop can. Closing a dialog answers it as Escape would.
    for (int guard = 0; guard < 16; ++guard) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            break;
        modal->close();
    }
    if (m_mainWindow) {
        m_mainWindow->close();
        if (m_mainWindow->isVisible()) {
            // It stops the scanner first and closes itself once it has stopped.
            qCDebug(lcShutdown) << "waiting for the scanner to stop";
            m_mainWindow->installEventFilter(this);
            return;
        }
    }
    QCoreApplication::quit();
}

bool SignalShutdown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_mainWindow && event->type() == QEvent::Hide && !m_mainWindow->isVisible()) {
        m_mainWindow->removeEventFilter(this);
        QCoreApplication::quit();
    }
    return QObject::eventFilter(watched, event);
}
