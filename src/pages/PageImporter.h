#pragma once

#include "pages/PageEntry.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <memory>

// Adds image files to the list off the UI thread, one file after another:
// pages come back in file and frame order, a damaged file is refused by name
// and the others go on. Cancelling stops after the frame being read; pages of a
// file not finished are not handed on and their working copies are removed.
class PageImporter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageImporter)

public:
    explicit PageImporter(QObject *parent = nullptr);
    // Waits for the file being read: its working copies must not be left half written.
    ~PageImporter() override;

    // False while an earlier run goes on.
    bool start(const QStringList &files, const QString &tempFolder);
    void cancel();
    bool isRunning() const { return m_worker != nullptr; }

signals:
    void pagesRead(const QList<PageEntry> &pages);
    void fileRefused(const QString &error);
    // files done out of total
    void progress(int done, int total);
    void finished(bool cancelled);

private:
    QPointer<QThread> m_worker;
    std::shared_ptr<std::atomic_bool> m_cancel;
};
