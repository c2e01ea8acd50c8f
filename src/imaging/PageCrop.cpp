#include "imaging/PageCrop.h"

#include <QList>
#include <algorithm>

namespace {

// The page is looked at this long on its longer side at most.
constexpr int LookSide = 800;
// Gray levels between the bed and the paper.
constexpr int MinContrast = 40;
// The bed shows along at least this share of the scan's edges (paper laid in a
// corner of the bed covers two of them in part).
constexpr double BedEdges = 0.5;
// A row or column holds paper when this share of it differs from the bed.
constexpr double PaperShare = 0.02;

} // namespace

namespace PageCrop {

QRect paperRect(const QImage &page)
{
    const QRect whole = page.rect();
    if (page.isNull() || page.width() < 16 || page.height() < 16)
        return whole;
    const double scale = std::min(1.0, double(LookSide) / std::max(page.width(), page.height()));
    const QImage look =
        page.scaled(std::max(8, int(page.width() * scale)), std::max(8, int(page.height() * scale)),
                    Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_Grayscale8);
    const int w = look.width(), h = look.height();
    const auto at = [&look](int x, int y) { return int(look.constScanLine(y)[x]); };

    QList<int> edge;
    for (int x = 0; x < w; ++x)
        edge << at(x, 0) << at(x, h - 1);
    for (int y = 1; y < h - 1; ++y)
        edge << at(0, y) << at(w - 1, y);
    std::nth_element(edge.begin(), edge.begin() + edge.size() / 2, edge.end());
    const int bed = edge.at(edge.size() / 2);
    const auto even = std::count_if(edge.cbegin(), edge.cend(),
                                    [bed](int v) { return std::abs(v - bed) < MinContrast; });
    if (even < BedEdges * edge.size())
        return whole; // no even bed around the paper: nothing to cut

    QList<int> rows(h, 0), cols(w, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (std::abs(at(x, y) - bed) >= MinContrast) {
                ++rows[y];
                ++cols[x];
            }
        }
    }
    int top = 0, bottom = h - 1, left = 0, right = w - 1;
    while (top < h && rows[top] < PaperShare * w)
        ++top;
    while (bottom > top && rows[bottom] < PaperShare * w)
        --bottom;
    while (left < w && cols[left] < PaperShare * h)
        ++left;
    while (right > left && cols[right] < PaperShare * h)
        --right;
    if (top >= bottom || left >= right)
        return whole; // no paper stands out
    // Two looked-at pixels more on every side: a soft paper edge stays whole.
    const double back = 1.0 / scale;
    QRect paper(QPoint(int((left - 2) * back), int((top - 2) * back)),
                QPoint(int((right + 3) * back), int((bottom + 3) * back)));
    paper = paper.intersected(whole);
    // Paper that fills nearly the whole scan is not worth a cut.
    if (qint64(paper.width()) * paper.height() > 0.95 * qint64(w / scale) * (h / scale) ||
        paper.width() < 16 || paper.height() < 16)
        return whole;
    return paper;
}

QImage cropped(const QImage &page)
{
    const QRect paper = paperRect(page);
    if (paper == page.rect())
        return page;
    QImage result = page.copy(paper);
    result.setDotsPerMeterX(page.dotsPerMeterX());
    result.setDotsPerMeterY(page.dotsPerMeterY());
    return result;
}

} // namespace PageCrop
