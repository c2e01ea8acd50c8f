#pragma once

#include "pages/PageEntry.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>

class QThread;
class QWidget;
class StaleJournals;

// At start: the pages of sessions that ended without closing (their journals
// found in the temporary folder) are offered back. The user lists them again,
// deletes their working copies (after a confirmation) or leaves them for a
// later start. Thumbnails are made off the UI thread.
class PageRecovery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageRecovery)

public:
    explicit PageRecovery(QWidget *window);
    ~PageRecovery() override;

    // Looks for the journals in folder and asks what to do with their pages.
    void offer(const QString &folder);

    // The page as it can be listed now: a missing page file marked, a missing
    // working copy replaced by the page file, the thumbnail made. False when
    // nothing of the page is left to list.
    static bool prepare(PageEntry &page);

signals:
    // "List again": the pages to list, in their old order. The journals are
    // removed once the receivers return.
    void pagesRecovered(const QList<PageEntry> &pages);

private:
    void listAgain();
    void deleteCopies();
    void listPrepared(const QList<PageEntry> &pages, int lost);

    QWidget *m_window;
    std::unique_ptr<StaleJournals> m_journals;
    QPointer<QThread> m_worker;
};
