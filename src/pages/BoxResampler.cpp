#include "pages/BoxResampler.h"

#include <cstdint>
#include <vector>

namespace {

// The source pixels that one target pixel covers, with their integer weights.
// Measured in units where a source pixel is targetCount long and a target pixel
// sourceCount long, so both edges fall on whole units and the weights of one
// target pixel add up to sourceCount.
struct Span
{
    int first = 0;
    std::vector<uint32_t> weights;
};

std::vector<Span> spans(int sourceCount, int targetCount)
{
    std::vector<Span> result(static_cast<size_t>(targetCount));
    const qint64 s = sourceCount;
    const qint64 t = targetCount;
    for (qint64 d = 0; d < t; ++d) {
        const qint64 begin = d * s;
        const qint64 end = begin + s;
        Span &span = result[size_t(d)];
        span.first = int(begin / t);
        const qint64 last = (end - 1) / t;
        for (qint64 i = span.first; i <= last; ++i) {
            const qint64 overlap = qMin((i + 1) * t, end) - qMax(i * t, begin);
            span.weights.push_back(uint32_t(overlap));
        }
    }
    return result;
}

// The loops below are kept apart and simple so the compiler vectorises them.

// A row whose every pixel lies wholly inside the target row: a plain sum.
void addRow(uint16_t *__restrict sums, const uchar *__restrict row, int count)
{
    for (int k = 0; k < count; ++k)
        sums[k] = uint16_t(sums[k] + row[k]);
}

// Moves the plain sums of whole rows into the weighted sums.
void flushRows(uint32_t *__restrict sums, uint16_t *__restrict rows, int count, uint32_t weight)
{
    for (int k = 0; k < count; ++k) {
        sums[k] += uint32_t(rows[k]) * weight;
        rows[k] = 0;
    }
}

// A row that the target row covers in part.
void accumulate(uint32_t *__restrict sums, const uchar *__restrict row, int count, uint32_t weight)
{
    for (int k = 0; k < count; ++k)
        sums[k] += uint32_t(row[k]) * weight;
}

// 16-bit sums of whole rows hold 257 rows of 255 before they could overflow.
constexpr int MaxPlainRows = 65535 / 255;

} // namespace

QImage BoxResampler::resample(int width, int height, Layout layout, const RowReader &rowAt,
                              const QSize &target)
{
    if (width <= 0 || height <= 0 || target.isEmpty())
        return QImage();

    const bool gray = layout == Layout::Gray8;
    const int bytesPerPixel =
        gray ? 1 : (layout == Layout::Bgr24 || layout == Layout::Rgb24 ? 3 : 4);
    const int redIndex = gray || layout == Layout::Rgbx32 || layout == Layout::Rgb24 ? 0 : 2;
    const int blueIndex = gray ? 0 : 2 - redIndex;
    const int greenIndex = gray ? 0 : 1;
    const int channels = gray ? 1 : 3;
    const int rowBytes = width * bytesPerPixel;
    const std::vector<Span> rows = spans(height, target.height());
    const std::vector<Span> columns = spans(width, target.width());
    // Column sums stay below 255 * height, far inside 32 bits; the products
    // of the second pass need 64.
    const quint64 divisor = quint64(width) * quint64(height);
    const quint64 half = divisor / 2;

    QImage result(target, QImage::Format_RGB32);
    std::vector<uint32_t> sums(static_cast<size_t>(rowBytes));
    std::vector<uint16_t> plainSums(static_cast<size_t>(rowBytes), 0);
    // The weight of a source row wholly inside a target row.
    const auto fullWeight = uint32_t(target.height());
    for (int y = 0; y < target.height(); ++y) {
        const Span &rowSpan = rows[size_t(y)];
        std::fill(sums.begin(), sums.end(), 0u);
        // Most rows lie wholly inside the target row (weight = target height):
        // they are summed in 16 bits and weighted once, which is what makes
        // a large page cheap.
        int plainRows = 0;
        for (size_t i = 0; i < rowSpan.weights.size(); ++i) {
            const uchar *row = rowAt(rowSpan.first + int(i));
            if (rowSpan.weights[i] != fullWeight) {
                accumulate(sums.data(), row, rowBytes, rowSpan.weights[i]);
                continue;
            }
            addRow(plainSums.data(), row, rowBytes);
            if (++plainRows == MaxPlainRows) {
                flushRows(sums.data(), plainSums.data(), rowBytes, fullWeight);
                plainRows = 0;
            }
        }
        if (plainRows > 0)
            flushRows(sums.data(), plainSums.data(), rowBytes, fullWeight);

        auto *out = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < target.width(); ++x) {
            const Span &columnSpan = columns[size_t(x)];
            quint64 channel[3] = {0, 0, 0};
            const uint32_t *pixel = sums.data() + size_t(columnSpan.first) * bytesPerPixel;
            for (uint32_t weight : columnSpan.weights) {
                for (int c = 0; c < channels; ++c)
                    channel[c] += quint64(pixel[c]) * weight;
                pixel += bytesPerPixel;
            }
            out[x] = qRgb(int((channel[redIndex] + half) / divisor),
                          int((channel[greenIndex] + half) / divisor),
                          int((channel[blueIndex] + half) / divisor));
        }
    }
    return result;
}

QImage BoxResampler::resample(const QImage &source, const QSize &target)
{
    if (source.isNull())
        return QImage();
    // Format_RGB32 is 0xffRRGGBB in a 32-bit word: blue first in memory on
    // little-endian machines. Other formats are converted once.
    // Scanned pages (24-bit colour, 8-bit gray) are read as they are: a copy of
    // an A4 300 dpi page would cost more than the averaging itself.
    QImage image = source;
    Layout layout = Layout::Rgbx32;
    switch (image.format()) {
    case QImage::Format_BGR888:
        layout = Layout::Bgr24;
        break;
    case QImage::Format_RGB888:
        layout = Layout::Rgb24;
        break;
    case QImage::Format_Grayscale8:
        layout = Layout::Gray8;
        break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            layout = Layout::Bgrx32;
            break;
        }
        image = image.convertToFormat(QImage::Format_RGBX8888);
        break;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
        break;
    default:
        image = image.convertToFormat(QImage::Format_RGBX8888);
        break;
    }
    return resample(
        image.width(), image.height(), layout, [&image](int y) { return image.constScanLine(y); },
        target);
}
