#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// The thumbnail cell of the image list (100 x 75 unless the list is zoomed):
// the whole page resampled with a box filter to the size
// GalleryRules::thumbnailSize gives, centred on white, what overflows the cell
// cut off. cell is in pixels of the picture made.
namespace Thumbnail {

// The cell the list shows unless zoomed.
QSize defaultCell();

// The sizes the list can show, smallest (the usual 100 x 75) first; all 4:3.
QList<QSize> cellSteps();
// The step steps away from cell (positive: larger), held at the ends; a cell
// that is no step counts as the nearest one by width.
QSize zoomed(const QSize &cell, int steps);
// The step whose width is nearest to width.
QSize cellForWidth(int width);
// cell in device pixels for a screen of that pixel ratio.
QSize devicePixels(const QSize &cell, qreal pixelRatio);

// w and h are the page size the scanner reported; the picture is resampled
// whole to the thumbnail size made from them.
QImage fromImage(const QImage &page, int w, int h, const QSize &cell = defaultCell());

// The same from the working copy on disk. Uncompressed 24- and 32-bit BMP
// files are resampled straight from the mapped file (no full decode); other
// files go through Qt's readers. A null image on failure, with the reason in
// *error naming the file.
QImage fromFile(const QString &path, int w, int h, QString *error = nullptr,
                const QSize &cell = defaultCell());

// Whether path holds a picture the thumbnail can be made from, judged by its
// header alone (a BMP whose rows the file holds whole, or a format Qt reads):
// what a list of many pages can check before any of them is drawn. False, with
// the reason in *error naming the file.
bool readable(const QString &path, QString *error = nullptr);

// Draws a resampled picture into a white cell at the thumbnail offset.
QImage cell(const QImage &scaled, const QSize &cellSize = defaultCell());

} // namespace Thumbnail
