#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

// The rules of the image list and the preview window, as pure functions.
namespace GalleryRules {

// Every thumbnail cell of the image list, in pixels.
constexpr int CellWidth = 100;
constexpr int CellHeight = 75;

// Size of the resampled page inside the cell, from the page size the scanner
// reported: landscape pages get the full width, portrait and square pages the
// full height. Integer arithmetic, multiply first: 2480 x 3508 gives 53 x 75.
QSize thumbnailSize(int w, int h);
// The same rule for a cell of another size (a zoomed list, a high-density screen).
QSize thumbnailSize(int w, int h, const QSize &cell);

// Where the resampled page goes in the cell: centred, halves truncated toward
// zero, so a picture taller than the cell gets a negative top (cut off).
QPoint thumbnailOffset(const QSize &size);
QPoint thumbnailOffset(const QSize &size, const QSize &cell);

// The largest size of picture that fits box with its aspect ratio kept. Wide
// pictures are fitted to the width first, the others to the height first;
// fractions of a pixel are dropped.
QSize fitProportional(const QSize &picture, const QSize &box);

// The preview reads a page through libtiff when its caption names a TIFF file
// anywhere (exact characters: ".tif" and ".tiff" qualify, ".TIF" does not).
bool readsAsTiff(const QString &caption);

// A new caption must stay a plain file name inside the destination folder: an
// empty name or one with a path separator would lose or move the page file.
bool isPlainFileName(const QString &name);

} // namespace GalleryRules
