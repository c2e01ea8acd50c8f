#pragma once

#include <QImage>

// Decides whether a scanned sheet is blank. The measured level is
//
//   the largest share of ink pixels in any 8 mm x 8 mm square of the sheet
//   (moved in 1 mm steps), 0 to 1,
//
// where
//   - a pixel is ink when its darkest colour channel differs from the paper by more
//     than 48 of 255; the paper is the most common value, so a tinted sheet is as
//     blank as a white one, and scanner and JPEG noise stay far below the step;
//   - ink counts only in 1 mm cells that are at least 10 % ink and touch another such
//     cell, so isolated dust specks and noise pixels never add up, while strokes of
//     text, handwriting and stamps run on through neighbouring cells;
//   - in the 16 mm band along the edges, ink that touches the sheet's edge (dark
//     edges, shadows) and solid blobs no larger than 12 mm (punch holes) are left out;
//     anything else there, a page number or a header, counts.
//
// A sheet is blank when level <= maxNoiseLevel. At 0.01 a single short line of text
// measures around 0.05 to 0.2, a pen signature 0.03 and more; noise, dust (up to
// about 0.2 % of the pixels), tint and JPEG artefacts measure 0 or close to it.
// The size in mm comes from the image's resolution; without a plausible one (none,
// or Qt's default 72 dpi on a large image) the short side is taken as A4's width.
class BlankPageDetector final
{
public:
    static float measure(const QImage &image);
    static bool isBlank(const QImage &image, float maxNoiseLevel, float *level = nullptr);

    static constexpr int kContrast = 48;
    static constexpr double kCellMm = 1.0;
    static constexpr int kWindowCells = 8;
    static constexpr double kMinCellInk = 0.10;
    static constexpr double kBorderMm = 16.0;
    static constexpr double kMaxHoleMm = 12.0;
};
