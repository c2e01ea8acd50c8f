#pragma once

#include <QImage>
#include <QRect>

// Crop to the page for flatbed scans of paper smaller than the bed: the paper's
// rectangle is told apart from the bed's background (the commonest colour of the
// scan's edges) and the scan cut to it, with a margin so that nothing of the paper
// is cut off. A scan without an even bed along most of its edges, or where no
// paper stands out from it, is left whole.
namespace PageCrop {

// The paper's rectangle in page's pixels; page.rect() when there is nothing to cut.
QRect paperRect(const QImage &page);

// page cut to paperRect (the same image when nothing is cut).
QImage cropped(const QImage &page);

} // namespace PageCrop
