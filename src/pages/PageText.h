#pragma once

#include "ocr/PdfWord.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>

// The words recognised on a page in the background, with what they were read
// from: the working copy as it was then and the languages. They stand for the
// page only while both still hold, so a changed file is read again.
struct PageText
{
    QString languages; // empty: nothing recognised yet
    qint64 fileSize = -1;
    QDateTime fileTime;
    PdfWords words;

    // The working copy's state now, to keep with words read from it.
    static PageText of(const QString &path, const QString &languages)
    {
        const QFileInfo info(path);
        PageText text;
        text.languages = languages;
        text.fileSize = info.exists() ? info.size() : -1;
        text.fileTime = info.lastModified();
        return text;
    }

    bool holdsFor(const QString &path, const QString &wanted) const
    {
        if (languages.isEmpty() || languages != wanted)
            return false;
        const PageText now = of(path, wanted);
        return now.fileSize == fileSize && fileSize >= 0 && now.fileTime == fileTime;
    }
};
