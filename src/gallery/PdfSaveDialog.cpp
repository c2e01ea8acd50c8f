#include "gallery/PdfSaveDialog.h"

#include "i18n/TLangDispatcher.h"
#include "ocr/OcrLanguageChoice.h"
#include "settings/SettingsStore.h"
#include "widgets/UserPrompts.h"

#include <QDir>
#include <QFileInfo>

PdfSaveDialog::PdfSaveDialog(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("SaveDialog1"));
}

bool PdfSaveDialog::Execute(QWidget *owner, const QString &startFolder)
{
    // Not wherever the program happened to be started.
    QString suggested = m_fileName;
    if (QFileInfo(m_fileName).isRelative() && !startFolder.isEmpty())
        suggested = QDir(startFolder).filePath(m_fileName);
    // The preference, where stored, sets the check box at every opening; without
    // one the box stays as last chosen in this session.
    bool preferred = false;
    {
        SettingsStore store;
        if (store.readBool(SettingsStore::SearchablePdf, preferred))
            m_searchable = preferred;
        if (store.readBool(SettingsStore::ArchivalPdf, preferred))
            m_archival = preferred;
        if (store.readBool(SettingsStore::CompactPdf, preferred))
            m_compact = preferred;
    }
    // The filter reads the same in every language, like the command itself.
    const QString chosen = UserPrompts::saveFile(
        owner, suggested, QStringLiteral("PDF files (*.pdf)"), QStringLiteral("pdf"), &m_searchable,
        tr("Searchable PDF (text recognition)", "SaveDialog1.Searchable"), &m_archival,
        tr("PDF/A (for archiving)", "SaveDialog1.Archival"), &m_compact,
        tr("Compact (smaller files)", "SaveDialog1.Compact"));
    if (chosen.isEmpty())
        return false;
    {
        // Absent stays absent until the box is first ticked.
        SettingsStore store;
        if (m_compact || store.ValueExists(SettingsStore::CompactPdf))
            store.WriteBool(SettingsStore::CompactPdf, m_compact);
    }
    m_fileName = chosen;
    return true;
}

QString PdfSaveDialog::preferredRecognition()
{
    bool on = false;
    if (!SettingsStore().readBool(SettingsStore::SearchablePdf, on) || !on)
        return QString();
    PdfSaveDialog dialog;
    dialog.m_searchable = true;
    return dialog.RecognitionLanguages();
}

int PdfSaveDialog::preferredTimeLimit()
{
    int seconds = SettingsStore::OcrTimeLimitDefault;
    SettingsStore().readIntegerInRange(SettingsStore::OcrTimeLimit, SettingsStore::OcrTimeLimitMin,
                                       SettingsStore::OcrTimeLimitMax, seconds);
    return seconds;
}

QString PdfSaveDialog::RecognitionLanguages() const
{
    if (!m_searchable)
        return QString();
    // The preferred languages as stored, even when one is no longer installed:
    // the export then names it rather than quietly reading in another language.
    QString stored;
    if (SettingsStore().readString(SettingsStore::OcrLanguages, stored) && !stored.isEmpty())
        return stored;
    return OcrLanguageChoice::defaultFor(TLangDispatcher::instance().Language());
}
