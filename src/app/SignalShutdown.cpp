#include "app/SignalShutdown.h"

#include "widgets/UserPrompts.h"
#include "scanner/TTwainControl.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>

namespace {

Q_LOGGING_CATEGORY(lcShutdown, "pagora.app.shutdown", QtWarningMsg)

bool closing = false;

} // namespace

SignalShutdown::SignalShutdown(QWidget *mainWindow, TTwainControl *control, QObject *parent)
    : QObject(parent), m_mainWindow(mainWindow), m_control(control)
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
    if (m_control && m_control->dataSourceState() != 0) {
        qCDebug(lcShutdown) << "waiting for the page in flight";
        // Queued: the window's own handler has listed the page by the time this runs.
        connect(m_control, &TTwainControl::OnPostScan, this, &SignalShutdown::finish,
                Qt::QueuedConnection);
        m_pageWait = new QTimer(this);
        m_pageWait->setSingleShot(true);
        connect(m_pageWait, &QTimer::timeout, this, &SignalShutdown::finish);
        m_pageWait->start(PageWaitMs);
        return;
    }
    finish();
}

void SignalShutdown::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_pageWait)
        m_pageWait->stop();
    qCDebug(lcShutdown) << "closing on a signal";
    // Questions and progress dialogs first: their event loops must end before the
    // main loop can. Closing a dialog answers it as Escape would.
    for (int guard = 0; guard < 16; ++guard) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            break;
        modal->close();
    }
    if (m_mainWindow)
        m_mainWindow->close();
    QCoreApplication::quit();
}
