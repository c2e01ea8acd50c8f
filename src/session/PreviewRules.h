#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>
#include <functional>

// The rules of the preview pane, free of widgets: ruler marks, fitting a preview
// image into the pane, limiting the scan area and the size read-out. All
// rectangles are in the pane's pixels; resolutions are pane pixels per inch of
// the page.
namespace PreviewRules {

// The units code of the preferences.
constexpr int Inches = 1;
constexpr int Millimetres = 2;

// The resolution rulers and the scan area use until the first preview.
constexpr float StartResolution = 20.78f;
// What the preview command asks of the scanner.
constexpr int PreviewDpi = 100;

struct RulerLabel
{
    QRect cell; // where the text is written, inside the ruler
    QString text;
    // Written bottom to top: a vertical ruler is too narrow for its numbers upright.
    bool rotated = false;
};

// Height of a label's text cell in pixels.
constexpr int RulerLabelHeight = 12;

// Width in pixels of a label's text; the rulers space their labels by it.
using TextWidth = std::function<int(const QString &)>;

struct RulerMarks
{
    QVector<QRect> ticks; // filled black, right and bottom edges exclusive
    QVector<RulerLabel> labels;
};

// Marks of the horizontal ruler of the given width and of the vertical ruler of
// the given height: the number of each labelled inch or millimetre centred on
// its tick, as few labels left out as keeps them apart. Any units code other
// than inches or millimetres, or a resolution that is not a positive number,
// gives no marks (a blank ruler). Without textWidth digits count 7 pixels each.
RulerMarks topRuler(int unitsCode, float resolution, int width, const TextWidth &textWidth = {});
RulerMarks leftRuler(int unitsCode, float resolution, int height, const TextWidth &textWidth = {});
// "in", "mm", or empty for any other code.
QString unitCaption(int unitsCode);

struct PreviewFit
{
    float scale = 0;
    QRectF layer;  // from (0, 0): the image at that scale, in single precision
    QSize reduced; // pixel size of the reduced image
};

// The image scaled to fit the pane, keeping its proportions. False for an empty
// image or pane.
bool fitPreview(const QSize &image, const QSize &pane, PreviewFit *fit);

// Pane pixels per inch after a preview read back at scanResolution. A control
// that reports no usable resolution is taken at the resolution the preview asked
// for, so that later divisions by it stay finite.
float previewResolution(int scanResolution, float scale);

// The proposed scan area with the limits of dragState (1 move, 2 left, 3 top,
// 4 right, 5 bottom, 6 top-left, 7 top-right, 8 bottom-left, 9 bottom-right;
// anything else: no limit) to the bound rectangle.
QRectF limitScanArea(const QRectF &oldRect, const QRectF &newRect, int dragState,
                     const QRectF &bound);

// Status text of the scan area size, "211 x 297 mm" or "8.30 x 11 in" (inches to
// the hundredth, whole inches without decimals). Empty when the resolution is
// not a positive number.
QString sizeReadout(const QRectF &area, float resolution, int unitsCode);

// The area of a standard size item from the top-left corner; empty for
// "Custom" or an index outside the list.
QRectF standardSizeArea(int sizeIndex, float resolution);

// The scan area in inches on the page.
QRectF areaInInches(const QRectF &area, float resolution);

// The preview pane's size in the design window; the example fit relies on it.
constexpr int PaneWidth = 279;
constexpr int PaneHeight = 422;

// The preview pane in a window of the given size: the design size up to the
// design window, then half of the extra width (the image list takes the other
// half) and all of the extra height.
QSize grownPane(const QSize &window, const QSize &designWindow);

// A rectangle in pane pixels at one resolution, at another: the same inches.
QRectF rescaled(const QRectF &rect, float fromResolution, float toResolution);

} // namespace PreviewRules
