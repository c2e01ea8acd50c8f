#pragma once

#include <QObject>
#include <QPointer>

class PageStore;
class QWidget;

// At start: asks what to do with the pages of sessions that ended without
// closing, which the store has found: list them again, delete their working
// copies (after a confirmation) or leave them for a later start. The store does
// the work; this only asks and reports. It deletes itself once done.
class PageRecovery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageRecovery)

public:
    PageRecovery(QWidget *window, PageStore *store);

    void offer();

private:
    void deleteCopies(int pages);
    void relisted(int listed, int lost);

    QWidget *m_window;
    QPointer<PageStore> m_store;
};
