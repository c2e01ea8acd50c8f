#pragma once

#include "pages/PageEntry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Pages from files already on disk (BMP, JPEG, PNG, every frame of a TIFF,
// every page of a PDF drawn at 300 dpi). The file itself stays the page file and
// is never written, and the page is marked as added so that rename, delete and
// turns leave the original alone. A BMP, JPEG or PNG is its own working copy
// until its first change; a TIFF frame or a PDF page gets a lossless compressed
// working copy (TIFF) in the temporary folder.
namespace PageImport {

struct Result
{
    QList<PageEntry> pages; // in frame order
    QString error;          // why the file was refused, naming it; empty when read
};

// The file's kind from its first bytes: "bmp", "jpeg", "png", "tiff", "pdf", or
// empty for anything else.
QByteArray formatOf(const QString &path);

// Reads every frame and writes its working copy into tempFolder; a file that
// cannot be read whole, or whose copies would not fit there, is refused, with no
// working copy left behind. Called off
// the UI thread; cancelled() is asked between frames, and when it says so the
// frames read until then are returned (their copies are complete).
// progress(done, total) follows each frame.
Result importFile(const QString &path, const QString &tempFolder,
                  const std::function<bool()> &cancelled = {},
                  const std::function<void(int done, int total)> &progress = {});

// The first change of an added file listed as it is: the file turned clockwise
// by quarterTurns and degrees, written as a new BMP working copy into folder (the
// temporary folder when empty); the file itself is only read. *copy gets the
// copy's path; false, with the reason in *error.
bool writeChangedCopy(const PageEntry &page, const QString &folder, int quarterTurns,
                      double degrees, QString *copy, QString *error);

} // namespace PageImport
