#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class PageImporter;
class PageStore;
class QProgressDialog;
class QWidget;

// File, "Add files...": asks for image files, has them read off the UI thread
// behind a progress dialog that can cancel, lists their pages and names every
// file that was refused. The originals stay as they are. It deletes itself once done.
class PageAdder final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageAdder)

public:
    PageAdder(QWidget *window, PageStore *store);

    // Asks for the files, the chooser opening in startFolder (the home folder
    // when that is not a folder); with none chosen it ends at once.
    void run(const QString &startFolder);
    // The files given, without asking (a drop on the list).
    void add(const QStringList &files);

signals:
    void done(int pagesAdded);

private:
    void finished(bool cancelled);

    QPointer<QWidget> m_window;
    QPointer<PageStore> m_store;
    PageImporter *m_importer;
    QProgressDialog *m_progress = nullptr;
    QStringList m_refused;
    int m_added = 0;
};
