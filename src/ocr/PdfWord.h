#pragma once

#include <QMetaType>
#include <QRect>
#include <QString>
#include <QVector>

// One recognised word of a page: its text and where it stands on the page image,
// in image pixels from the top left corner.
struct PdfWord
{
    QString text;
    QRect box;
};

using PdfWords = QVector<PdfWord>;

Q_DECLARE_METATYPE(PdfWord)
