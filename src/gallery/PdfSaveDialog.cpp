#include "gallery/PdfSaveDialog.h"

#include "i18n/TLangDispatcher.h"
#include "mainwindow/UserPrompts.h"
#include "ocr/OcrEngine.h"

PdfSaveDialog::PdfSaveDialog(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("SaveDialog1"));
}

bool PdfSaveDialog::Execute(QWidget *owner)
{
    // The filter reads the same in every language, like the command itself.
    const QString chosen = UserPrompts::saveFile(
        owner, m_fileName, QStringLiteral("PDF files (*.pdf)"), QStringLiteral("pdf"),
        &m_searchable, tr("Searchable PDF (text recognition)", "SaveDialog1.Searchable"));
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    return true;
}

QString PdfSaveDialog::RecognitionLanguages() const
{
    if (!m_searchable)
        return QString();
    QStringList wanted;
    if (TLangDispatcher::instance().Language() == QLatin1String("Russian"))
        wanted << QStringLiteral("rus");
    wanted << QStringLiteral("eng");
    return OcrEngine::preferredLanguages(wanted);
}
