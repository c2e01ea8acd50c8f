#pragma once

#include "pages/PageEntry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QLockFile;

// The page journals of sessions that ended without closing. Each is claimed
// (its lock taken) while this run offers its pages, so two programs starting
// together never both take it; a journal whose program still runs is left alone.
class StaleJournals final
{
    Q_DISABLE_COPY_MOVE(StaleJournals)

public:
    // Claims and reads every journal in folder whose program is gone.
    explicit StaleJournals(const QString &folder);
    // Releases the claims; the journals stay for a later start.
    ~StaleJournals();

    // Their pages in journal order, each page once.
    const QList<PageEntry> &pages() const { return m_pages; }
    // Lines that could not be read and were skipped.
    int damagedLines() const { return m_damagedLines; }
    QStringList paths() const;

    // Their pages are listed again or deleted: the journals go.
    void remove();

private:
    struct Claim
    {
        QString path;
        std::unique_ptr<QLockFile> lock;
    };
    std::vector<Claim> m_claims;
    QList<PageEntry> m_pages;
    int m_damagedLines = 0;
};
