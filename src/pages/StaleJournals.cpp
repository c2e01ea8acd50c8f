#include "pages/StaleJournals.h"

#include "pages/GalleryLog.h"
#include "pages/PageJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>

StaleJournals::StaleJournals(const QString &folder)
{
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({PageJournal::nameFilter()}, QDir::Files | QDir::Hidden, QDir::Time);
    QSet<QString> seen;
    // Oldest first, so the pages come back in the order they were scanned.
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        const QString path = dir.filePath(*name);
        // Never a link someone planted in a shared folder.
        if (QFileInfo(path).isSymLink())
            continue;
        auto lock = std::make_unique<QLockFile>(PageJournal::lockPath(path));
        lock->setStaleLockTime(0); // only a program that is gone leaves a stale lock
        if (!lock->tryLock(0))
            continue; // its program runs, or another start claimed it
        const PageJournal::Contents contents = PageJournal::read(path);
        m_damagedLines += contents.damagedLines;
        // A page listed again and then killed before the old journal went is in two.
        for (const PageEntry &page : contents.pages) {
            const QString key = QDir::cleanPath(page.workingCopy);
            if (seen.contains(key))
                continue;
            seen.insert(key);
            m_pages.append(page);
        }
        qCDebug(lcGallery) << "claimed page journal" << path << contents.pages.size() << "pages";
        m_claims.push_back(Claim{path, std::move(lock)});
    }
}

StaleJournals::~StaleJournals() = default;

QStringList StaleJournals::paths() const
{
    QStringList list;
    for (const Claim &claim : m_claims)
        list.append(claim.path);
    return list;
}

void StaleJournals::remove()
{
    for (Claim &claim : m_claims) {
        QFile::remove(claim.path);
        // What a rewrite cut short by the kill left behind.
        const QFileInfo info(claim.path);
        const QDir dir = info.dir();
        for (const QString &part :
             dir.entryList({info.fileName() + QStringLiteral(".*.part"),
                            QLatin1Char('.') + info.fileName() + QStringLiteral(".*.part")},
                           QDir::Files | QDir::Hidden)) {
            // Only the rewrite's own name, and never a link planted under it.
            if (PageJournal::isRewriteName(part.toLatin1()) &&
                !QFileInfo(dir.filePath(part)).isSymLink())
                QFile::remove(dir.filePath(part));
        }
        claim.lock.reset();
    }
    m_claims.clear();
}
