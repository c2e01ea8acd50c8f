#pragma once

#include <QObject>
#include <QPointer>

class LeftoverSweep;
class PageStore;
class QWidget;

// At start, once what ended sessions left behind is removed: asks what to do
// with the pages of sessions that ended without closing, which the store has
// found: list them again, delete their working copies (after a confirmation)
// or leave them for a later start. The store does the work; this only asks and
// reports. It deletes itself once done.
class PageRecovery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageRecovery)

public:
    // leftovers: the clean-up at start, which the question waits for; may be null.
    PageRecovery(QWidget *window, PageStore *store, LeftoverSweep *leftovers);

    void offer();

private:
    void ask();
    void deleteCopies(int pages);
    void relisted(int listed, int lost);

    QWidget *m_window;
    QPointer<PageStore> m_store;
    QPointer<LeftoverSweep> m_leftovers;
};
