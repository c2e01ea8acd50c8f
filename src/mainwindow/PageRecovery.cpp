#include "mainwindow/PageRecovery.h"

#include "pages/LeftoverSweep.h"
#include "pages/PageStore.h"
#include "widgets/UserPrompts.h"

#include <QApplication>
#include <QWidget>

PageRecovery::PageRecovery(QWidget *window, PageStore *store, LeftoverSweep *leftovers)
    : QObject(window), m_window(window), m_store(store), m_leftovers(leftovers)
{
}

void PageRecovery::offer()
{
    // The clean-up claims the journals for a moment to find the folders they
    // name: the question waits for it.
    if (m_leftovers && !m_leftovers->isFinished())
        connect(m_leftovers, &LeftoverSweep::finished, this, &PageRecovery::ask);
    else
        ask();
}

void PageRecovery::ask()
{
    if (!m_store) {
        deleteLater();
        return;
    }
    const PageStore::StaleSummary stale = m_store->claimStale();
    const int pages = stale.pages;
    const int damaged = stale.damagedLines;
    if (pages == 0 && damaged == 0) {
        deleteLater();
        return;
    }
    QString text = tr("The program did not close normally last time. Pages of that session "
                      "that can be listed again: %1.",
                      "recoveryQuestion")
                       .arg(pages);
    if (damaged > 0)
        text += QLatin1String("\n\n") +
                tr("Lines of its page journal that could not be read and were skipped: %1.",
                   "recoveryDamagedLines")
                    .arg(damaged);
    const QMessageBox::StandardButton answer = UserPrompts::message(
        m_window, QMessageBox::Question, QApplication::applicationDisplayName(), text,
        pages > 0 ? QMessageBox::Yes | QMessageBox::Discard | QMessageBox::Cancel
                  : QMessageBox::Discard | QMessageBox::Cancel,
        {{QMessageBox::Yes, tr("List them again", "recoveryList")},
         {QMessageBox::Discard, tr("Delete them", "recoveryDelete")},
         {QMessageBox::Cancel, tr("Later", "recoveryLater")}});
    if (!m_store) {
        deleteLater();
        return;
    }
    if (answer == QMessageBox::Yes && pages > 0) {
        connect(m_store, &PageStore::staleRelisted, this, &PageRecovery::relisted);
        m_store->relistStale();
        return;
    }
    if (answer == QMessageBox::Discard)
        deleteCopies(pages);
    else
        m_store->leaveStale(); // asked again at the next start
    deleteLater();
}

void PageRecovery::deleteCopies(int pages)
{
    const QString text =
        tr("Delete the working copies of these %1 pages? Pages whose page file is missing "
           "exist nowhere else and are lost.",
           "recoveryConfirmDelete")
            .arg(pages);
    if (pages > 0 &&
        UserPrompts::message(m_window, QMessageBox::Warning, QApplication::applicationDisplayName(),
                             text, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        m_store->leaveStale();
        return;
    }
    m_store->discardStale();
}

void PageRecovery::relisted(int, int lost)
{
    deleteLater();
    if (lost > 0)
        UserPrompts::message(
            m_window, QMessageBox::Warning, QApplication::applicationDisplayName(),
            tr("Pages that could not be listed again because their files are gone or "
               "unreadable: %1.",
               "recoveryLost")
                .arg(lost),
            QMessageBox::Ok);
}
