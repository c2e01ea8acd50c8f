#pragma once

#include <QImage>
#include <QSize>
#include <functional>

// Area-averaging resampler (a box kernel): every target pixel is the mean of
// the source area it covers, partly covered pixels weighted by their share.
// The weights are exact integers, so the result does not depend on rounding
// order. Rows are read once, top to bottom, which lets a caller feed rows
// straight from a mapped file without decoding the whole picture first.
class BoxResampler final
{
public:
    // Byte order of one source pixel in memory; any fourth byte is ignored.
    enum class Layout
    {
        Bgr24,
        Rgb24,
        Bgrx32,
        Rgbx32,
        Gray8
    };

    // Source row y (0 = top), at least width pixels of layout.
    using RowReader = std::function<const uchar *(int y)>;

    // A Format_RGB32 image of size target; a null image when either size is empty.
    static QImage resample(int width, int height, Layout layout, const RowReader &rowAt,
                           const QSize &target);

    // The same for any QImage (alpha is dropped: thumbnails are opaque).
    static QImage resample(const QImage &source, const QSize &target);
};
