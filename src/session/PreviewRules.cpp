#include "session/PreviewRules.h"

#include "scanner/PageSizes.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace PreviewRules {

namespace {

constexpr double MillimetresPerInch = 25.4;
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

namespace {

// A tick every minor step: half an inch, or 5 millimetres. Every second one is
// long and may carry a number.
struct RulerScale
{
    double minorPixels = 0;
    int unitsPerMajor = 0; // the number written at the first long tick
};

bool rulerScale(int unitsCode, double resolution, RulerScale *scale)
{
    if (unitsCode == Inches) {
        *scale = {resolution * 0.5, 1};
        return true;
    }
    if (unitsCode == Millimetres) {
        *scale = {resolution * 5 / MillimetresPerInch, 10};
        return true;
    }
    return false;
}

// Ticks closer than this would run into a black band.
constexpr double MinTickGap = 3;
// Free pixels between two labels.
constexpr int LabelGap = 3;
constexpr int DefaultDigitWidth = 7;

// Steps of 1, 2, 5, 10, 20, 50 ... times the base, the first whose pixels reach minPixels.
qint64 niceMultiple(double basePixels, double minPixels)
{
    for (qint64 decade = 1;; decade *= 10) {
        for (const int m : {1, 2, 5}) {
            if (basePixels * double(decade * m) >= minPixels || decade > 1'000'000'000)
                return decade * m;
        }
    }
}

RulerMarks rulerMarks(bool horizontal, int unitsCode, float resolution, int length,
                      const TextWidth &textWidth)
{
    RulerMarks m;
    RulerScale scale;
    if (!usable(resolution) || length <= 0 || !rulerScale(unitsCode, resolution, &scale))
        return m;
    const auto widthOf = [&](const QString &text) {
        return textWidth ? textWidth(text) : DefaultDigitWidth * int(text.size());
    };
    const double minor = scale.minorPixels;
    const auto at = [&](qint64 minorIndex) { return cut(double(minorIndex) * minor); };

    // Ticks: every minor step, or fewer while they would crowd.
    const qint64 tickStep = niceMultiple(minor, MinTickGap);
    const int tickCount = stepCount(length / (minor * double(tickStep)) + 1);
    for (qint64 j = 0; j < tickCount; ++j) {
        const qint64 index = j * tickStep;
        const int pos = at(index);
        if (pos >= length)
            break;
        const int from = index % 2 == 0 ? 1 : 8; // long ticks at whole units
        m.ticks.append(horizontal ? span(pos, from, pos + 1, RulerThickness)
                                  : span(from, pos, RulerThickness, pos + 1));
    }

    // Labels on long ticks, each the number of units at its tick, as many as
    // fit apart. The widest number is the longest one the ruler reaches.
    const qint64 lastMajor = qint64(std::min(length / (2 * minor), MaxRulerSteps));
    if (lastMajor < 1)
        return m;
    const QString widest = QString::number(lastMajor * scale.unitsPerMajor);
    const int widestWidth = std::max(widthOf(widest), widthOf(QString(widest.size(), u'8')));
    // A vertical ruler turns its numbers when they do not fit across it upright.
    const bool rotated = !horizontal && widestWidth > RulerThickness - 1;
    const int extent = horizontal || rotated ? widestWidth : RulerLabelHeight;
    const qint64 labelStep = 2 * niceMultiple(2 * minor, extent + LabelGap);
    for (qint64 index = labelStep; index <= 2 * lastMajor; index += labelStep) {
        const int pos = at(index);
        const QString text = QString::number(index / 2 * scale.unitsPerMajor);
        const int w = widthOf(text);
        QRect cell;
        // At the outer edge, as on the top ruler, so the tick shows on towards the image.
        if (horizontal)
            cell = QRect(pos - w / 2, 0, w, RulerLabelHeight);
        else if (rotated)
            cell = QRect(0, pos - w / 2, RulerLabelHeight, w);
        else
            cell = QRect(0, pos - RulerLabelHeight / 2, w, RulerLabelHeight);
        // A number cut by the ruler's end would read as another one.
        const int end = horizontal ? cell.right() : cell.bottom();
        if (end >= length)
            break;
        if ((horizontal ? cell.left() : cell.top()) < 0)
            continue;
        m.labels.append({cell, text, rotated});
    }
    return m;
}

} // namespace

RulerMarks topRuler(int unitsCode, float resolution, int width, const TextWidth &textWidth)
{
    return rulerMarks(true, unitsCode, resolution, width, textWidth);
}

RulerMarks leftRuler(int unitsCode, float resolution, int height, const TextWidth &textWidth)
{
    return rulerMarks(false, unitsCode, resolution, height, textWidth);
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
    // To the hundredth, so 7.996 in reads 8; whole inches are written without decimals.
    const auto inches = [](double v) {
        const auto hundredths = qint64(roundHalfEven(v * 100));
        if (hundredths % 100 == 0)
            return QString::number(hundredths / 100);
        return QString::number(double(hundredths) / 100, 'f', 2);
    };
    return QStringLiteral("%1 x %2 in").arg(inches(widthInches), inches(heightInches));
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
