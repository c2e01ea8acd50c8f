#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Rules of the scanner control that need no device: page sizes, scan areas,
// how sources and modes are recognised, the names shown for sources.
namespace ScanRules {

// Width and height in inches of page size code 1..15; an empty size for any other code.
QSizeF pageSizeInches(int code);

// Scan area in millimetres for a page size code placed at the top-left of the bed
// and clamped to it. bedMm is the whole bed (its top-left is usually 0, 0).
QRectF pageAreaMm(int code, const QRectF &bedMm);

// An area given in inches from the top-left of the bed, clamped to the bed, in mm.
// A reversed or empty area after clamping gives the whole bed.
QRectF layoutAreaMm(const QRectF &inches, const QRectF &bedMm);

// The nearest value in a range with an optional step (quant 0 = continuous).
double nearestInRange(double value, double min, double max, double quant);
// The nearest value of a list; ties go to the higher value (more detail, never less).
double nearestInList(double value, const QList<double> &list);

// Which entries of a device's source list are the flatbed, the simplex feeder and
// the duplex feeder, found from common words (ADF, Feeder, Duplex), never from
// per-device tables. -1 where there is none.
struct SourceKinds
{
    int flatbed = -1;
    int feeder = -1;
    int duplex = -1;
};
SourceKinds classifySources(const QStringList &sources);

// What a scan mode delivers, found by asking the device for its frame format.
enum class ModeKind
{
    Unknown,
    LineArt,
    Gray,
    Color
};
ModeKind modeKindFromFrame(bool color, int depth);
// Tie-breaker when two modes deliver the same kind (a "Halftone" next to a
// "Lineart" both give 1 bit): dithered modes are the worse choice.
bool isDitheredModeName(const QString &name);

// Display names for the device list: "vendor model", told apart by the device
// name where two are alike.
struct DeviceEntry
{
    QString name; // SANE device name, e.g. "test:0"
    QString vendor;
    QString model;
};
QStringList displayNames(const QList<DeviceEntry> &devices);

// Line art from gray for devices without a 1-bit mode: pixels darker than the
// threshold become black. Bit 1 is black, as SANE delivers line art.
QImage thresholdToMono(const QImage &gray, int threshold = 128);

// Bytes a page of this size and format needs in memory, without allocating it.
qint64 imageBytes(int width, int height, QImage::Format format);

} // namespace ScanRules
