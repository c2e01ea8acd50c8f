#include "gallery/PdfSaveDialog.h"

#include "mainwindow/UserPrompts.h"

PdfSaveDialog::PdfSaveDialog(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("SaveDialog1"));
}

bool PdfSaveDialog::Execute(QWidget *owner)
{
    // The filter reads the same in every language, like the command itself.
    const QString chosen = UserPrompts::saveFile(
        owner, m_fileName, QStringLiteral("PDF files (*.pdf)"), QStringLiteral("pdf"));
    if (chosen.isEmpty())
        return false;
    m_fileName = chosen;
    return true;
}
