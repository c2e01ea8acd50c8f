#include "session/PreviewRules.h"

#include "scanner/PageSizes.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace PreviewRules {

namespace {

constexpr double InchesPerCentimetre = 0.39370078740157477;
constexpr double MillimetresPerInch = 25.4;
constexpr double CentimetresPerInch = 2.54;
// Ruler thickness in pixels; ticks end at its far edge.
constexpr int RulerThickness = 15;
// Far more steps than any ruler can show apart: keeps a tiny resolution from
// looping for ages while drawing marks that would all fall on the same pixels.
constexpr double MaxRulerSteps = 20000;

bool usable(float resolution)
{
    return std::isfinite(resolution) && resolution > 0;
}

// Positions are cut toward zero, as every float position in the program is.
int cut(double v)
{
    return static_cast<int>(std::trunc(v));
}

int stepCount(double v)
{
    return cut(std::min(v, MaxRulerSteps));
}

// A rectangle given by its corners, right and bottom exclusive.
QRect span(int x0, int y0, int x1, int y1)
{
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

// Ties go to the even neighbour.
double roundHalfEven(double v)
{
    const double lower = std::floor(v);
    const double rest = v - lower;
    if (rest > 0.5)
        return lower + 1;
    if (rest < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

} // namespace

RulerMarks topRuler(int unitsCode, float resolution, int width)
{
    RulerMarks m;
    if (!usable(resolution))
        return m;
    const double r = resolution;
    if (unitsCode == Inches) {
        const double s = r * 0.5; // half an inch
        const int count = stepCount(2 * std::trunc(width / r + 1));
        for (int i = 0; i < count; i += 2) {
            m.ticks.append(span(cut(i * s), 1, cut(i * s + 1), RulerThickness));
            if (i > 0) {
                const int k = i / 2;
                const int p = k > 9 ? 4 : 2;
                m.labels.append({QPoint(cut(i * s - p), 0), QString::number(k)});
            }
        }
    } else if (unitsCode == Millimetres) {
        const double c = r * InchesPerCentimetre; // one centimetre
        const int count = stepCount((width / r + 1) * CentimetresPerInch);
        for (int i = 0; i < count; ++i) {
            const bool odd = i % 2 == 1;
            m.ticks.append(span(cut(i * c), odd ? 8 : 1, cut(i * c + 1), RulerThickness));
            if (odd) {
                const int n = i + 1;
                const int p = n > 9 ? 4 : 2;
                m.labels.append({QPoint(cut(i * c - p), 0), QString::number(n)});
            }
        }
    }
    return m;
}

RulerMarks leftRuler(int unitsCode, float resolution, int height)
{
    RulerMarks m;
    if (!usable(resolution))
        return m;
    const double r = resolution;
    double step = 0;
    int count = 0;
    if (unitsCode == Inches) {
        step = r * 0.5;
        count = stepCount(2 * std::trunc(height / r + 1));
    } else if (unitsCode == Millimetres) {
        step = r * InchesPerCentimetre;
        count = stepCount((height / r + 1) * CentimetresPerInch);
    } else {
        return m;
    }
    for (int i = 0; i < count; ++i) {
        const bool odd = i % 2 == 1;
        m.ticks.append(span(odd ? 8 : 1, cut(i * step), RulerThickness, cut(i * step + 1)));
        if (odd) {
            // Inches name the inch whose middle this is; centimetres the next mark.
            const int n = unitsCode == Inches ? (i + 1) / 2 : i + 1;
            const int p = n > 9 ? 1 : 4;
            m.labels.append({QPoint(p, cut(i * step - 6)), QString::number(n)});
        }
    }
    return m;
}

QString unitCaption(int unitsCode)
{
    if (unitsCode == Inches)
        return QStringLiteral("in");
    if (unitsCode == Millimetres)
        return QStringLiteral("mm");
    return QString();
}

bool fitPreview(const QSize &image, const QSize &pane, PreviewFit *fit)
{
    const int w = image.width();
    const int h = image.height();
    if (w <= 0 || h <= 0 || pane.width() <= 0 || pane.height() <= 0)
        return false;
    const float scale = std::min(float(pane.width()) / float(w), float(pane.height()) / float(h));
    // The layer's edges are single floats: 850 x 0.3282353 is stored as exactly 279.
    const float right = float(w) * scale;
    const float bottom = float(h) * scale;
    const qint64 r = qint64(right);
    const qint64 b = qint64(bottom);
    // The reduced image is the layer cut to whole pixels, so it fills the area
    // bound exactly: computing the width from the already truncated height
    // (384 x 850 / 1170) would leave it a pixel short of the layer (278 of 279).
    QSize reduced{int(r), int(b)};
    // A sliver of an image still shows as one pixel rather than nothing.
    reduced = reduced.expandedTo(QSize(1, 1));
    fit->scale = scale;
    fit->layer = QRectF(0, 0, right, bottom);
    fit->reduced = reduced;
    return true;
}

float previewResolution(int scanResolution, float scale)
{
    const int dpi = scanResolution > 0 ? scanResolution : PreviewDpi;
    return float(dpi) * scale;
}

QRectF limitScanArea(const QRectF &oldRect, const QRectF &newRect, int dragState,
                     const QRectF &bound)
{
    double left = newRect.left();
    double top = newRect.top();
    double right = newRect.right();
    double bottom = newRect.bottom();
    const bool limitLeft = dragState == 2 || dragState == 6 || dragState == 8;
    const bool limitTop = dragState == 3 || dragState == 6 || dragState == 7;
    const bool limitRight = dragState == 4 || dragState == 7 || dragState == 9;
    const bool limitBottom = dragState == 5 || dragState == 8 || dragState == 9;

    if (dragState == 1) {
        // A move keeps the size: an edge pushed past the bound drags the other along.
        const double oldWidth = oldRect.width();
        const double oldHeight = oldRect.height();
        if (left < bound.left()) {
            left = bound.left();
            right = left + oldWidth;
        }
        if (top < bound.top()) {
            top = bound.top();
            bottom = top + oldHeight;
        }
        if (right > bound.right()) {
            right = bound.right();
            left = right - oldWidth;
        }
        if (bottom > bound.bottom()) {
            bottom = bound.bottom();
            top = bottom - oldHeight;
        }
    }
    if (limitLeft)
        left = std::max(left, bound.left());
    if (limitTop)
        top = std::max(top, bound.top());
    if (limitRight)
        right = std::min(right, bound.right());
    if (limitBottom)
        bottom = std::min(bottom, bound.bottom());
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QString sizeReadout(const QRectF &area, float resolution, int unitsCode)
{
    if (!usable(resolution))
        return QString();
    const double widthInches = area.width() / double(resolution);
    const double heightInches = area.height() / double(resolution);
    if (unitsCode == Millimetres) {
        const auto w = qint64(roundHalfEven(widthInches * MillimetresPerInch));
        const auto h = qint64(roundHalfEven(heightInches * MillimetresPerInch));
        return QStringLiteral("%1 x %2 mm").arg(w).arg(h);
    }
    // To the hundredth first, so 7.996 in reads 8; then the whole inches.
    const auto w = qint64(roundHalfEven(widthInches * 100)) / 100;
    const auto h = qint64(roundHalfEven(heightInches * 100)) / 100;
    return QStringLiteral("%1 x %2 in").arg(w).arg(h);
}

QRectF standardSizeArea(int sizeIndex, float resolution)
{
    if (sizeIndex < 1 || sizeIndex >= PageSizes::Count)
        return QRectF();
    const PageSizes::PageSize &size = PageSizes::at(sizeIndex);
    // Single precision, as the area's edges are held: A4 at 20.78 is 172.474 wide.
    return QRectF(0, 0, size.width * resolution, size.height * resolution);
}

QRectF areaInInches(const QRectF &area, float resolution)
{
    const double r = resolution;
    return QRectF(QPointF(area.left() / r, area.top() / r),
                  QPointF(area.right() / r, area.bottom() / r));
}

QSize grownPane(const QSize &window, const QSize &designWindow)
{
    const int extraWidth = std::max(0, window.width() - designWindow.width());
    const int extraHeight = std::max(0, window.height() - designWindow.height());
    return QSize(PaneWidth + extraWidth / 2, PaneHeight + extraHeight);
}

QRectF rescaled(const QRectF &rect, float fromResolution, float toResolution)
{
    if (!(fromResolution > 0) || !(toResolution > 0))
        return rect;
    const double k = double(toResolution) / double(fromResolution);
    return QRectF(QPointF(rect.left() * k, rect.top() * k),
                  QPointF(rect.right() * k, rect.bottom() * k));
}

} // namespace PreviewRules
