#pragma once

#include <QImage>
#include <QString>

// The 100 x 75 thumbnail cell of the image list: the whole page resampled with
// a box filter to the size GalleryRules::thumbnailSize gives, centred on white,
// what overflows the cell cut off.
namespace Thumbnail {

// w and h are the page size the scanner reported; the picture is resampled
// whole to the thumbnail size made from them.
QImage fromImage(const QImage &page, int w, int h);

// The same from the working copy on disk. Uncompressed 24- and 32-bit BMP
// files are resampled straight from the mapped file (no full decode); other
// files go through Qt's readers. A null image on failure, with the reason in
// *error naming the file.
QImage fromFile(const QString &path, int w, int h, QString *error = nullptr);

// Draws a resampled picture into a white cell at the thumbnail offset.
QImage cell(const QImage &scaled);

} // namespace Thumbnail
