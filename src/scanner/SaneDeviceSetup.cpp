#include "scanner/SaneDeviceSetup.h"

#include "scanner/SaneOptions.h"
#include "scanner/ScanErrors.h"

#include <cmath>
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <utility>

namespace SaneDeviceSetup {

namespace {
bool containsAny(const QString &text, std::initializer_list<const char *> words)
{
    for (const char *w : words) {
        if (text.contains(QLatin1String(w), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Only when the device cannot tell us its frame format: the standard SANE
// spellings and their common synonyms.
ScanRules::ModeKind modeKindFromName(const QString &name)
{
    if (containsAny(name, {"lineart", "line art", "binary", "black", "halftone"}))
        return ScanRules::ModeKind::LineArt;
    if (containsAny(name, {"gray", "grey"}))
        return ScanRules::ModeKind::Gray;
    if (containsAny(name, {"color", "colour"}))
        return ScanRules::ModeKind::Color;
    return ScanRules::ModeKind::Unknown;
}

constexpr double kMmPerInch = 25.4;

int applyGeometry(void *handle, const ScanSettings &s, int dpi)
{
    if (s.pageSize < 0 && !s.hasLayout)
        return 0; // nothing asked: the device keeps its own default area
    SaneOptions o(handle);
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0, unused = 0;
    if (!o.range(SANE_NAME_SCAN_BR_X, &unused, &xMax) ||
        !o.range(SANE_NAME_SCAN_BR_Y, &unused, &yMax) ||
        !o.range(SANE_NAME_SCAN_TL_X, &xMin, &unused) ||
        !o.range(SANE_NAME_SCAN_TL_Y, &yMin, &unused))
        return 0; // a device without a settable area scans what it scans
    // Geometry is in mm on almost every device; a few count pixels at the resolution.
    const bool pixels = o.isPixelUnit(SANE_NAME_SCAN_BR_X);
    const double toMm = pixels && dpi > 0 ? kMmPerInch / dpi : 1.0;
    const QRectF bed(QPointF(xMin * toMm, yMin * toMm), QPointF(xMax * toMm, yMax * toMm));

    QRectF wanted;
    QRectF area;
    if (s.pageSize > 0) {
        wanted = QRectF(bed.topLeft(), ScanRules::pageSizeInches(s.pageSize) * kMmPerInch);
        area = ScanRules::pageAreaMm(s.pageSize, bed);
    } else if (s.pageSize <= 0 && s.hasLayout) {
        wanted = QRectF(bed.left() + s.layoutInches.left() * kMmPerInch,
                        bed.top() + s.layoutInches.top() * kMmPerInch,
                        s.layoutInches.width() * kMmPerInch, s.layoutInches.height() * kMmPerInch);
        area = ScanRules::layoutAreaMm(s.layoutInches, bed);
    } else {
        wanted = bed;
        area = bed;
    }
    // Setting the top-left first keeps the area valid on devices that check br > tl.
    int status = SANE_STATUS_GOOD;
    for (const auto &[name, value] :
         {std::pair{SANE_NAME_SCAN_TL_X, area.left()}, std::pair{SANE_NAME_SCAN_TL_Y, area.top()},
          std::pair{SANE_NAME_SCAN_BR_X, area.right()},
          std::pair{SANE_NAME_SCAN_BR_Y, area.bottom()}}) {
        const int st = o.setNumber(name, value / toMm);
        if (st != SANE_STATUS_GOOD && status == SANE_STATUS_GOOD)
            status = st;
    }
    if (status != SANE_STATUS_GOOD)
        return ScanError::fromSaneStatus(status);
    constexpr double kToleranceMm = 0.5;
    const bool clamped = std::abs(wanted.width() - area.width()) > kToleranceMm ||
                         std::abs(wanted.height() - area.height()) > kToleranceMm;
    return clamped ? ScanError::ValueAdjusted : 0;
}

} // namespace

DeviceCaps probe(void *handle)
{
    DeviceCaps caps;
    SaneOptions o(handle);
    caps.sourceNames = o.stringList(SANE_NAME_SCAN_SOURCE);
    caps.sources = ScanRules::classifySources(caps.sourceNames);

    // Ask the device what each of its modes delivers rather than trusting names.
    const QStringList modes = o.stringList(SANE_NAME_SCAN_MODE);
    const QString original = o.string(SANE_NAME_SCAN_MODE);
    const bool hasDepth = o.find(SANE_NAME_BIT_DEPTH) > 0;
    for (const QString &mode : modes) {
        ScanRules::ModeKind kind = ScanRules::ModeKind::Unknown;
        if (o.setString(SANE_NAME_SCAN_MODE, mode) == SANE_STATUS_GOOD) {
            if (hasDepth && o.isSettable(SANE_NAME_BIT_DEPTH) &&
                o.wordList(SANE_NAME_BIT_DEPTH).contains(8.0))
                o.setNumber(SANE_NAME_BIT_DEPTH, 8);
            SANE_Parameters p;
            if (sane_get_parameters(static_cast<SANE_Handle>(handle), &p) == SANE_STATUS_GOOD)
                kind = ScanRules::modeKindFromFrame(p.format != SANE_FRAME_GRAY, p.depth);
        }
        if (kind == ScanRules::ModeKind::Unknown)
            kind = modeKindFromName(mode);
        switch (kind) {
        case ScanRules::ModeKind::LineArt:
            if (caps.lineArtMode.isEmpty() || ScanRules::isDitheredModeName(caps.lineArtMode))
                caps.lineArtMode = mode;
            break;
        case ScanRules::ModeKind::Gray:
            if (caps.grayMode.isEmpty())
                caps.grayMode = mode;
            break;
        case ScanRules::ModeKind::Color:
            if (caps.colorMode.isEmpty())
                caps.colorMode = mode;
            break;
        case ScanRules::ModeKind::Unknown:
            break;
        }
    }
    if (!caps.grayMode.isEmpty() && caps.lineArtMode.isEmpty() && hasDepth) {
        o.setString(SANE_NAME_SCAN_MODE, caps.grayMode);
        caps.lineArtByDepth = o.wordList(SANE_NAME_BIT_DEPTH).contains(1.0);
    }
    if (!original.isEmpty())
        o.setString(SANE_NAME_SCAN_MODE, original);

    for (const QByteArray &sensor : o.sensorNames()) {
        const QString n = QString::fromLatin1(sensor);
        if (containsAny(n, {"page-loaded", "paper", "loaded", "document", "adf"})) {
            caps.paperSensor = sensor;
            break;
        }
    }
    return caps;
}

ApplyResult apply(void *handle, const DeviceCaps &caps, const ScanSettings &s)
{
    ApplyResult result;
    result.resolution = s.resolution;
    SaneOptions o(handle);
    int warning = 0;
    auto fail = [&](int status) {
        if (status != SANE_STATUS_GOOD && result.errorCode == 0)
            result.errorCode = ScanError::fromSaneStatus(status);
    };

    // The source first: a backend may offer other modes or another bed per source.
    if (o.isSettable(SANE_NAME_SCAN_SOURCE)) {
        const ScanRules::SourceKinds &k = caps.sources;
        int index = k.flatbed;
        if (s.feeder && caps.feederAvailable()) {
            if (s.duplex && k.duplex >= 0)
                index = k.duplex;
            else
                index = k.feeder >= 0 ? k.feeder : k.duplex;
            if (s.duplex && k.duplex < 0)
                warning = ScanError::FeatureUnavailable;
        }
        if (index >= 0 && o.string(SANE_NAME_SCAN_SOURCE) != caps.sourceNames.at(index))
            fail(o.setString(SANE_NAME_SCAN_SOURCE, caps.sourceNames.at(index)));
    }

    // The mode for the pixel type, and what the control does itself where the device
    // lacks one: line art from gray by a threshold, gray from colour.
    QString mode;
    int depth = 8;
    switch (s.pixelType) {
    case 0:
        if (!caps.lineArtMode.isEmpty()) {
            mode = caps.lineArtMode;
            depth = 1;
        } else if (!caps.grayMode.isEmpty()) {
            mode = caps.grayMode;
            if (caps.lineArtByDepth)
                depth = 1;
            else
                result.conversion = PageConversion::ToLineArt;
        } else {
            mode = caps.colorMode;
            result.conversion = PageConversion::ToLineArt;
        }
        break;
    case 1:
        mode = !caps.grayMode.isEmpty() ? caps.grayMode : caps.colorMode;
        if (caps.grayMode.isEmpty())
            result.conversion = PageConversion::ToGray;
        break;
    default:
        mode = !caps.colorMode.isEmpty() ? caps.colorMode : caps.grayMode;
        break;
    }
    if (!mode.isEmpty() && o.isSettable(SANE_NAME_SCAN_MODE) &&
        o.string(SANE_NAME_SCAN_MODE) != mode)
        fail(o.setString(SANE_NAME_SCAN_MODE, mode));
    if (o.isSettable(SANE_NAME_BIT_DEPTH)) {
        const QList<double> depths = o.wordList(SANE_NAME_BIT_DEPTH);
        if (depths.isEmpty() || depths.contains(double(depth)))
            fail(o.setNumber(SANE_NAME_BIT_DEPTH, depth));
    }

    double dpi = s.resolution;
    if (o.isSettable(SANE_NAME_SCAN_RESOLUTION)) {
        fail(o.setNumber(SANE_NAME_SCAN_RESOLUTION, s.resolution));
        o.number(SANE_NAME_SCAN_RESOLUTION, &dpi);
    }
    result.resolution = qRound(dpi);

    const int geometry = applyGeometry(handle, s, result.resolution);
    if (geometry != 0 && !ScanError::isWarning(geometry) && result.errorCode == 0)
        result.errorCode = geometry;
    else if (geometry != 0 && warning == 0)
        warning = geometry;
    if (result.errorCode == 0)
        result.errorCode = warning;
    return result;
}

} // namespace SaneDeviceSetup
