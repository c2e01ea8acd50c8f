#pragma once

#include "pages/PageEntry.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <memory>

// Adds image files and PDF documents to the list off the UI thread, one file
// after another: pages come back in file and frame order, a damaged file is
// refused by name and the others go on. Cancelling stops after the frame being
// read; the frames read until then are handed on, also those of the file that
// was not finished.
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
    // within the file at index file (from 0): frames (PDF pages) done out of frames
    void pageProgress(int file, int done, int frames);
    void finished(bool cancelled);

private:
    QPointer<QThread> m_worker;
    std::shared_ptr<std::atomic_bool> m_cancel;
};
