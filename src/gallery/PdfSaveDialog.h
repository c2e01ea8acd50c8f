#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The save dialog of "Save all to PDF": PDF files only, ".pdf" added to a name
// typed without an extension, a prompt before overwriting, and the last chosen
// name offered again ("pagora.pdf" the first time). A check box under it asks for
// a searchable PDF (text recognition), another one for an archival PDF/A document:
// each as the preferences say where they say it, otherwise off at first, then as
// last chosen. A third asks for a compact document: stored as chosen, so it opens
// as last chosen, off until first ticked.
class PdfSaveDialog final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PdfSaveDialog)

public:
    explicit PdfSaveDialog(QObject *parent = nullptr);

    // True when the user confirmed a name; FileName() is that name then. Until a
    // name is chosen the dialog opens in startFolder (the destination folder).
    bool Execute(QWidget *owner, const QString &startFolder = {});
    QString FileName() const { return m_fileName; }
    bool Searchable() const { return m_searchable; }
    bool Archival() const { return m_archival; }
    bool Compact() const { return m_compact; }
    // The recognition languages for a searchable PDF ("rus+eng"): those of the
    // preferences, or else the interface language's where installed, plus English;
    // empty when not searchable.
    QString RecognitionLanguages() const;

    // The recognition languages the preferences ask for; empty when they do not.
    static QString preferredRecognition();
    // Seconds the recognition of one page may take, as the preferences say.
    static int preferredTimeLimit();

private:
    QString m_fileName = QStringLiteral("pagora.pdf");
    bool m_searchable = false;
    bool m_archival = false;
    bool m_compact = false;
};
