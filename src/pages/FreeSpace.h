#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// Whether the disks can take the next few pages, asked before a batch or an
// import starts: a full disk is said at once, naming the folder and how much is
// missing, rather than found out on the third page. The sizes are estimates on
// the large side of what the page writer produces.
namespace FreeSpace {

// A scanned page of pixels in the chosen kind (0 black and white, 1 gray,
// 2 colour): its page file by extension (bmp, jpg, tiff) and its BMP working copy.
qint64 pageFileBytes(const QSize &pixels, int pixelType, const QString &extension);
qint64 workingCopyBytes(const QSize &pixels, int pixelType);
// The pixels of a page of inches at dpi.
QSize pixelsOf(double widthInches, double heightInches, int dpi);
// The lossless compressed working copy of an added page of pixels (a PDF page
// or a TIFF frame): two thirds of the colour BMP, the large side of what a
// colour page with scanner noise needs (about half; a page of text far less).
qint64 compressedCopyBytes(const QSize &pixels);
// The working copies of the first pages of files to be added, at most pages of
// them: nothing for a picture that is its own copy, a compressed copy for a PDF
// page (drawn at 300 dpi, on A4 here) or a TIFF frame.
qint64 importBytes(const QStringList &files, int pages);

// Empty when pages pages fit: page files of pageFile bytes in destination and
// working copies of workingCopy bytes in tempFolder (their sum where both are on
// one file system). Otherwise the message naming the folder and the shortfall.
// A folder whose free space cannot be read is not held against the command.
QString shortfall(const QString &destination, qint64 pageFile, const QString &tempFolder,
                  qint64 workingCopy, int pages);

} // namespace FreeSpace
