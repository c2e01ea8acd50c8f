#include "scanner/SaneDeviceSetup.h"

#include "scanner/SaneOptions.h"
#include "scanner/ScanErrors.h"
#include "scanner/ScannerLog.h"

#include <algorithm>
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

// The area asked for and the area the bed allows, both in mm; false when
// nothing is asked (the device keeps its own default area).
bool requestedArea(const ScanSettings &s, const QRectF &bed, QRectF *wanted, QRectF *area)
{
    if (s.pageSize < 0 && !s.hasLayout)
        return false;
    if (s.pageSize > 0) {
        *wanted = QRectF(bed.topLeft(), ScanRules::pageSizeInches(s.pageSize) * kMmPerInch);
        *area = ScanRules::pageAreaMm(s.pageSize, bed);
    } else if (s.hasLayout) {
        *wanted = QRectF(bed.left() + s.layoutInches.left() * kMmPerInch,
                         bed.top() + s.layoutInches.top() * kMmPerInch,
                         s.layoutInches.width() * kMmPerInch, s.layoutInches.height() * kMmPerInch);
        *area = ScanRules::layoutAreaMm(s.layoutInches, bed);
    } else {
        *wanted = bed;
        *area = bed;
    }
    return true;
}

constexpr double kToleranceMm = 0.5;

bool cutToBed(const QRectF &wanted, const QRectF &area)
{
    return std::abs(wanted.width() - area.width()) > kToleranceMm ||
           std::abs(wanted.height() - area.height()) > kToleranceMm;
}

double mmPerUnit(const DeviceCaps &caps, int dpi)
{
    return caps.areaInPixels && dpi > 0 ? kMmPerInch / dpi : 1.0;
}

int applyGeometry(void *handle, const ScanSettings &s, int dpi)
{
    if (s.pageSize < 0 && !s.hasLayout)
        return 0; // nothing asked: the device keeps its own default area
    SaneOptions o(handle);
    // Read now, not from the capabilities: the bed may change with the source.
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
    if (!requestedArea(s, bed, &wanted, &area))
        return 0;
    // Setting the top-left first keeps the area valid on devices that check br > tl.
    const std::pair<const char *, double> corners[] = {{SANE_NAME_SCAN_TL_X, area.left()},
                                                       {SANE_NAME_SCAN_TL_Y, area.top()},
                                                       {SANE_NAME_SCAN_BR_X, area.right()},
                                                       {SANE_NAME_SCAN_BR_Y, area.bottom()}};
    int status = SANE_STATUS_GOOD;
    for (const auto &[name, value] : corners) {
        const int st = o.setNumber(name, value / toMm);
        if (st != SANE_STATUS_GOOD && status == SANE_STATUS_GOOD)
            status = st;
    }
    if (status != SANE_STATUS_GOOD)
        return ScanError::fromSaneStatus(status);
    bool adjusted = cutToBed(wanted, area);
    // What the device keeps may differ again (its own steps, a later option moving
    // the area): the page comes out as the device has it.
    for (const auto &[name, value] : corners) {
        double stored = 0;
        if (o.number(name, &stored) &&
            std::abs(stored * toMm - value) > std::max(kToleranceMm, o.quant(name) * toMm)) {
            qCWarning(lcScanner) << name << "is" << stored * toMm << "mm, asked" << value;
            adjusted = true;
        }
    }
    return adjusted ? ScanError::ValueAdjusted : 0;
}

// Chooses the source at `index` of the device's list and reads it back: a backend
// may refuse it or keep another one. SANE_STATUS_INVAL when another one stays.
int selectSource(SaneOptions &o, const DeviceCaps &caps, int index)
{
    const QString wanted = caps.sourceNames.at(index);
    if (o.string(SANE_NAME_SCAN_SOURCE) == wanted)
        return SANE_STATUS_GOOD;
    if (!o.isSettable(SANE_NAME_SCAN_SOURCE)) {
        // A device with a single source often leaves the option inactive.
        return caps.sourceNames.size() == 1 ? SANE_STATUS_GOOD : SANE_STATUS_UNSUPPORTED;
    }
    const int status = o.setString(SANE_NAME_SCAN_SOURCE, wanted);
    if (status != SANE_STATUS_GOOD)
        return status;
    const QString stored = o.string(SANE_NAME_SCAN_SOURCE);
    if (stored == wanted)
        return SANE_STATUS_GOOD;
    qCWarning(lcScanner) << "source" << wanted << "asked," << stored << "kept";
    return SANE_STATUS_INVAL;
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

    // What later settings are answered from without asking the device again.
    if (o.isSettable(SANE_NAME_SCAN_RESOLUTION)) {
        caps.resolutionSettable = true;
        caps.resolutionList = o.wordList(SANE_NAME_SCAN_RESOLUTION);
        if (caps.resolutionList.isEmpty() &&
            o.range(SANE_NAME_SCAN_RESOLUTION, &caps.resolutionMin, &caps.resolutionMax))
            caps.resolutionQuant = o.quant(SANE_NAME_SCAN_RESOLUTION);
    }
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0, unused = 0;
    if (o.range(SANE_NAME_SCAN_BR_X, &unused, &xMax) &&
        o.range(SANE_NAME_SCAN_BR_Y, &unused, &yMax) &&
        o.range(SANE_NAME_SCAN_TL_X, &xMin, &unused) &&
        o.range(SANE_NAME_SCAN_TL_Y, &yMin, &unused)) {
        caps.hasArea = true;
        caps.areaInPixels = o.isPixelUnit(SANE_NAME_SCAN_BR_X);
        caps.bed = QRectF(QPointF(xMin, yMin), QPointF(xMax, yMax));
    }

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
    const ScanRules::SourceKinds &k = caps.sources;
    if (s.feeder && caps.feederAvailable()) {
        int index = k.feeder >= 0 ? k.feeder : k.duplex;
        if (s.duplex && k.duplex >= 0)
            index = k.duplex;
        if (s.duplex && k.duplex < 0)
            warning = ScanError::FeatureUnavailable;
        // Never the flatbed instead: it gives a page at every start, so a batch
        // "until the feeder is empty" would never end.
        if (selectSource(o, caps, index) != SANE_STATUS_GOOD)
            result.errorCode = ScanError::FeederNotSelected;
    } else if (k.flatbed >= 0 && o.isSettable(SANE_NAME_SCAN_SOURCE)) {
        fail(selectSource(o, caps, k.flatbed));
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
        o.string(SANE_NAME_SCAN_MODE) != mode) {
        const int status = o.setString(SANE_NAME_SCAN_MODE, mode);
        fail(status);
        if (status == SANE_STATUS_GOOD && o.string(SANE_NAME_SCAN_MODE) != mode) {
            qCWarning(lcScanner) << "mode" << mode << "asked," << o.string(SANE_NAME_SCAN_MODE)
                                 << "kept";
            fail(SANE_STATUS_INVAL);
        }
    }
    if (o.isSettable(SANE_NAME_BIT_DEPTH)) {
        const QList<double> depths = o.wordList(SANE_NAME_BIT_DEPTH);
        if (depths.isEmpty() || depths.contains(double(depth)))
            fail(o.setNumber(SANE_NAME_BIT_DEPTH, depth));
    }

    // Read back whatever the set answered: the device may round (SANE_INFO_INEXACT),
    // and the page's size and dots per inch follow what it really uses.
    double dpi = s.resolution;
    if (o.isSettable(SANE_NAME_SCAN_RESOLUTION)) {
        fail(o.setNumber(SANE_NAME_SCAN_RESOLUTION, s.resolution));
        if (!o.number(SANE_NAME_SCAN_RESOLUTION, &dpi))
            qCWarning(lcScanner) << "resolution cannot be read back";
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

int predictResolution(const DeviceCaps &caps, int dpi)
{
    if (!caps.resolutionSettable)
        return dpi;
    if (!caps.resolutionList.isEmpty())
        return qRound(ScanRules::nearestInList(dpi, caps.resolutionList));
    if (caps.resolutionMax > 0)
        return qRound(ScanRules::nearestInRange(dpi, caps.resolutionMin, caps.resolutionMax,
                                                caps.resolutionQuant));
    return dpi;
}

ApplyResult predict(const DeviceCaps &caps, const ScanSettings &s)
{
    ApplyResult result;
    result.resolution = predictResolution(caps, s.resolution);
    int warning = 0;
    if (s.feeder && caps.feederAvailable() && s.duplex && caps.sources.duplex < 0)
        warning = ScanError::FeatureUnavailable;
    if (caps.hasArea && warning == 0) {
        const double toMm = mmPerUnit(caps, result.resolution);
        const QRectF bed(caps.bed.topLeft() * toMm, caps.bed.bottomRight() * toMm);
        QRectF wanted;
        QRectF area;
        if (requestedArea(s, bed, &wanted, &area) && cutToBed(wanted, area))
            warning = ScanError::ValueAdjusted;
    }
    result.errorCode = warning;
    return result;
}

} // namespace SaneDeviceSetup
