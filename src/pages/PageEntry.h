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
    QString pageFile; // absolute; renamed with the caption
    // In the temporary folder (a BMP; a compressed TIFF for an added PDF page or
    // TIFF frame), or an added picture itself until its first change; never renamed.
    QString workingCopy;
    QString caption; // the page file's name, as the list shows it
    QSize size;      // pixels, as the scanner reported them
    int dpi = 0;
    bool pageFileWritten = true;
    // An existing file the user added: it is the page file but not this program's,
    // so it is never renamed, deleted or rewritten; turns act on the working copy.
    bool added = false;
    QString pageFileError; // why the page file is missing, for the tooltip
    // The page itself when neither of its files could be written: it lives in
    // memory alone until "Save to folder..." writes it, and is lost at close.
    QImage image;
    QImage thumbnail; // the 100 x 75 cell
    PageText text;    // recognised in the background, when switched on
    // Given when listed and never reused: jobs find their page by it while rows move.
    quint64 id = 0;

    bool heldInMemory() const { return !image.isNull(); }
};

Q_DECLARE_METATYPE(PageEntry)
