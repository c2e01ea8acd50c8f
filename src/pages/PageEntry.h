#pragma once

#include "pages/PageText.h"

#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QString>

// One listed page. The page file path is absolute and fixed when the page is
// written: what the destination field says later changes nothing about it.
struct PageEntry
{
    QString pageFile;    // absolute; renamed with the caption
    QString workingCopy; // BMP in the temporary folder; never renamed
    QString caption;     // the page file's name, as the list shows it
    QSize size;          // pixels, as the scanner reported them
    int dpi = 0;
    bool pageFileWritten = true;
    // An existing file the user added: it is the page file but not this program's,
    // so it is never renamed, deleted or rewritten; turns act on the working copy.
    bool added = false;
    QString pageFileError; // why the page file is missing, for the tooltip
    QImage thumbnail;      // the 100 x 75 cell
    PageText text;         // recognised in the background, when switched on
};

Q_DECLARE_METATYPE(PageEntry)
