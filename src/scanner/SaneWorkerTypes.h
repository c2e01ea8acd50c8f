#pragma once

#include "scanner/ScanRules.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QRectF>
#include <QVariant>

// Value types passed between the scanner control (UI thread) and its SANE worker.

// What the control has been told to scan; applied to the device as a whole.
struct ScanSettings
{
    int pixelType = 2;      // 0 line art, 1 gray, 2 colour
    int resolution = 100;   // dots per inch asked for
    int pageSize = -1;      // -1 not written since the source was opened: device's own area
    bool hasLayout = false; // an area from SetImageLayout, used when pageSize is 0
    QRectF layoutInches;    // from the top-left of the bed
    bool feeder = false;
    bool duplex = false;
    int xferCount = 1; // -1: until the feeder is empty
};

using OptionOverrides = QList<QPair<QByteArray, QVariant>>;

// What a device offers, learnt once when it is opened.
struct DeviceCaps
{
    ScanRules::SourceKinds sources;
    QStringList sourceNames;
    QString lineArtMode; // empty: none
    QString grayMode;
    QString colorMode;
    bool lineArtByDepth = false; // gray mode with depth 1 gives line art
    QByteArray paperSensor;      // empty: no sensor, the feeder counts as loaded
    bool paperLoaded = true;     // the sensor's reading when the device was opened
    // Resolution as the device constrains it: a list, or a range with its step.
    bool resolutionSettable = false;
    QList<double> resolutionList;
    double resolutionMin = 0;
    double resolutionMax = 0;
    double resolutionQuant = 0;
    // The bed in the geometry options' own unit (mm, or pixels at the resolution).
    bool hasArea = false;
    bool areaInPixels = false;
    QRectF bed;
    bool feederAvailable() const { return sources.feeder >= 0 || sources.duplex >= 0; }
};

struct OpenResult
{
    int errorCode = 0;
    DeviceCaps caps;
    // The open read the device list first; the list it found.
    bool listed = false;
    QList<ScanRules::DeviceEntry> devices;
    QByteArray name; // the device opened (or tried)
};

// How a page from the device is turned into the asked-for kind.
enum class PageConversion
{
    None,
    ToGray,
    ToLineArt
};

struct ApplyResult
{
    int errorCode = 0;  // the first failure, else a warning (39, 45), else 0
    int resolution = 0; // what the device will really use
    PageConversion conversion = PageConversion::None;
};

struct ScannedPage
{
    QImage image;
    // The batch may go on: a feeder batch's next sheet is started only after the
    // page is handed over, so its end comes as a separate batchEnded.
    bool more = false;
    int resolution = 0; // what the device used; 0 unknown
};

Q_DECLARE_METATYPE(ScannedPage)
Q_DECLARE_METATYPE(ScanRules::DeviceEntry)
Q_DECLARE_METATYPE(OpenResult)
