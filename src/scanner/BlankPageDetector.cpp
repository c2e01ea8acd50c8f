#include "scanner/BlankPageDetector.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kAssumedWidthInches = 8.27; // A4, when the image carries no resolution
constexpr double kMaxBedInches = 12.0;       // the short side of an A3 bed
constexpr int kMinCellSide = 4;
constexpr double kSolidFill = 0.5;

QImage workingImage(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return image;
    default:
        return image.isGrayscale() ? image.convertToFormat(QImage::Format_Grayscale8)
                                   : image.convertToFormat(QImage::Format_RGB888);
    }
}

// The darkest channel of a pixel: ink of any colour darkens at least one channel.
template<int Bytes>
inline uchar darkest(const uchar *p)
{
    if constexpr (Bytes == 1)
        return p[0];
    else
        return std::min(std::min(p[0], p[1]), p[2]);
}

template<int Bytes>
int paperLevel(const QImage &img)
{
    int histogram[256] = {};
    const int step = 3;
    for (int y = 0; y < img.height(); y += step) {
        const uchar *row = img.constScanLine(y);
        for (int x = 0; x < img.width(); x += step)
            ++histogram[darkest<Bytes>(row + x * Bytes)];
    }
    // The mode of a lightly smoothed histogram: noise spreads the paper over a few values.
    int best = 255;
    long bestCount = -1;
    for (int v = 0; v < 256; ++v) {
        long count = 0;
        for (int d = -2; d <= 2; ++d)
            count += (v + d >= 0 && v + d < 256) ? histogram[v + d] : 0;
        if (count > bestCount) {
            bestCount = count;
            best = v;
        }
    }
    return best;
}

struct Grid
{
    int cell = 1;
    int cw = 0;
    int ch = 0;
    std::vector<int> ink;
    std::vector<int> pixels;
    int index(int cx, int cy) const { return cy * cw + cx; }
};

template<int Bytes>
void countInk(const QImage &img, int lo, int hi, Grid &g)
{
    const int w = img.width();
    for (int y = 0; y < img.height(); ++y) {
        const uchar *row = img.constScanLine(y);
        int *cells = g.ink.data() + (y / g.cell) * g.cw;
        for (int cx = 0; cx < g.cw; ++cx) {
            const int x0 = cx * g.cell;
            const int x1 = std::min(w, x0 + g.cell);
            int n = 0;
            for (int x = x0; x < x1; ++x) {
                const int v = darkest<Bytes>(row + x * Bytes);
                n += int(v < lo) | int(v > hi);
            }
            cells[cx] += n;
        }
    }
}

// Ink counts in cells that are at least kMinCellInk full and have such a neighbour:
// strokes run on into the next cell, a speck of dust or noise stays in one.
void dropSpecks(Grid &g)
{
    std::vector<char> inked(g.ink.size());
    for (size_t i = 0; i < g.ink.size(); ++i)
        inked[i] = g.ink[i] >= std::max(2.0, BlankPageDetector::kMinCellInk * g.pixels[i]);
    for (int cy = 0; cy < g.ch; ++cy) {
        for (int cx = 0; cx < g.cw; ++cx) {
            const int i = g.index(cx, cy);
            bool keep = false;
            for (int dy = -1; dy <= 1 && inked[i] && !keep; ++dy) {
                for (int dx = -1; dx <= 1 && !keep; ++dx) {
                    const int nx = cx + dx, ny = cy + dy;
                    keep = (dx || dy) && nx >= 0 && ny >= 0 && nx < g.cw && ny < g.ch &&
                           inked[g.index(nx, ny)];
                }
            }
            if (!keep)
                g.ink[i] = 0;
        }
    }
}

// Leaves out edge artefacts in the border band: regions touching the edge, and
// small solid blobs (punch holes). Works on 8-connected groups of inked band cells.
void removeBorderArtefacts(Grid &g, double cellMm)
{
    const int band =
        std::min({int(std::ceil(BlankPageDetector::kBorderMm / cellMm)), g.cw / 4, g.ch / 4});
    if (band <= 0)
        return;
    auto inBand = [&](int cx, int cy) {
        return cx < band || cy < band || cx >= g.cw - band || cy >= g.ch - band;
    };
    const int maxHoleCells = int(BlankPageDetector::kMaxHoleMm / cellMm);
    std::vector<char> seen(g.ink.size(), 0);
    std::vector<int> group;
    std::vector<int> stack;
    for (int cy = 0; cy < g.ch; ++cy) {
        for (int cx = 0; cx < g.cw; ++cx) {
            const int start = g.index(cx, cy);
            if (seen[start] || g.ink[start] == 0 || !inBand(cx, cy))
                continue;
            group.clear();
            stack.assign(1, start);
            seen[start] = 1;
            bool touchesEdge = false;
            int minX = cx, maxX = cx, minY = cy, maxY = cy;
            long ink = 0, pixels = 0;
            while (!stack.empty()) {
                const int i = stack.back();
                stack.pop_back();
                group.push_back(i);
                const int x = i % g.cw, y = i / g.cw;
                touchesEdge = touchesEdge || x == 0 || y == 0 || x == g.cw - 1 || y == g.ch - 1;
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
                ink += g.ink[i];
                pixels += g.pixels[i];
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= g.cw || ny >= g.ch || !inBand(nx, ny))
                            continue;
                        const int n = g.index(nx, ny);
                        if (!seen[n] && g.ink[n] > 0) {
                            seen[n] = 1;
                            stack.push_back(n);
                        }
                    }
                }
            }
            const bool hole = maxX - minX + 1 <= maxHoleCells && maxY - minY + 1 <= maxHoleCells &&
                              ink >= kSolidFill * pixels;
            if (touchesEdge || hole) {
                for (int i : group)
                    g.ink[i] = 0;
            }
        }
    }
}

} // namespace

float BlankPageDetector::measure(const QImage &image)
{
    if (image.isNull())
        return 0.0f;
    const QImage img = workingImage(image);
    const int w = img.width(), h = img.height();
    double dpi = img.dotsPerMeterX() * (kMmPerInch / 1000.0);
    // Qt gives images without a resolution 72 dpi; a page wider than any scanner bed
    // at that resolution is taken as A4-wide instead.
    if (dpi < 10 || std::min(w, h) / dpi > kMaxBedInches)
        dpi = std::min(w, h) / kAssumedWidthInches;

    Grid g;
    g.cell = std::max(kMinCellSide, int(std::lround(dpi * kCellMm / kMmPerInch)));
    g.cw = (w + g.cell - 1) / g.cell;
    g.ch = (h + g.cell - 1) / g.cell;
    g.ink.assign(size_t(g.cw) * g.ch, 0);
    g.pixels.resize(g.ink.size());
    for (int cy = 0; cy < g.ch; ++cy) {
        for (int cx = 0; cx < g.cw; ++cx)
            g.pixels[g.index(cx, cy)] = (std::min(w, (cx + 1) * g.cell) - cx * g.cell) *
                                        (std::min(h, (cy + 1) * g.cell) - cy * g.cell);
    }

    const bool gray = img.format() == QImage::Format_Grayscale8;
    // The darkest channel does not care about channel order.
    const bool rgb888 =
        img.format() == QImage::Format_RGB888 || img.format() == QImage::Format_BGR888;
    const int paper = gray ? paperLevel<1>(img) : rgb888 ? paperLevel<3>(img) : paperLevel<4>(img);
    const int lo = paper - kContrast, hi = paper + kContrast;
    if (gray)
        countInk<1>(img, lo, hi, g);
    else if (rgb888)
        countInk<3>(img, lo, hi, g);
    else
        countInk<4>(img, lo, hi, g);

    dropSpecks(g);
    const double cellMm = g.cell * kMmPerInch / dpi;
    removeBorderArtefacts(g, cellMm);

    // Summed-area tables, so every window position costs four look-ups.
    const int sw = g.cw + 1;
    std::vector<long> inkSum(size_t(sw) * (g.ch + 1), 0), pixSum(inkSum.size(), 0);
    for (int cy = 0; cy < g.ch; ++cy) {
        for (int cx = 0; cx < g.cw; ++cx) {
            const size_t s = size_t(cy + 1) * sw + cx + 1;
            inkSum[s] =
                g.ink[g.index(cx, cy)] + inkSum[s - 1] + inkSum[s - sw] - inkSum[s - sw - 1];
            pixSum[s] =
                g.pixels[g.index(cx, cy)] + pixSum[s - 1] + pixSum[s - sw] - pixSum[s - sw - 1];
        }
    }
    const int kw = std::min(kWindowCells, g.cw), kh = std::min(kWindowCells, g.ch);
    double level = 0;
    for (int y0 = 0; y0 + kh <= g.ch; ++y0) {
        for (int x0 = 0; x0 + kw <= g.cw; ++x0) {
            auto sum = [&](const std::vector<long> &t) {
                const size_t a = size_t(y0) * sw + x0, b = size_t(y0) * sw + x0 + kw;
                const size_t c = size_t(y0 + kh) * sw + x0, d = size_t(y0 + kh) * sw + x0 + kw;
                return t[d] - t[b] - t[c] + t[a];
            };
            const long pixels = sum(pixSum);
            if (pixels > 0)
                level = std::max(level, double(sum(inkSum)) / pixels);
        }
    }
    return float(level);
}

bool BlankPageDetector::isBlank(const QImage &image, float maxNoiseLevel, float *level)
{
    const float measured = measure(image);
    if (level)
        *level = measured;
    return !image.isNull() && measured <= maxNoiseLevel;
}
