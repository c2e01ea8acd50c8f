#include "scanner/ScanRules.h"

#include "scanner/PageSizes.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace ScanRules {

namespace {

constexpr double kMmPerInch = 25.4;

QRectF clampToBed(QRectF area, const QRectF &bed)
{
    area = area.intersected(bed);
    if (area.width() <= 0 || area.height() <= 0)
        return bed;
    return area;
}

bool containsWord(const QString &text, const QString &word)
{
    return text.contains(word, Qt::CaseInsensitive);
}

} // namespace

QSizeF pageSizeInches(int code)
{
    if (code < 1 || code >= PageSizes::Count)
        return {};
    const PageSizes::PageSize &size = PageSizes::at(code);
    return {double(size.width), double(size.height)};
}

QRectF pageAreaMm(int code, const QRectF &bedMm)
{
    const QSizeF inches = pageSizeInches(code);
    if (inches.isEmpty())
        return bedMm;
    const QRectF area(bedMm.topLeft(), inches * kMmPerInch);
    return clampToBed(area, bedMm);
}

QRectF layoutAreaMm(const QRectF &inches, const QRectF &bedMm)
{
    const QRectF mm(bedMm.left() + inches.left() * kMmPerInch,
                    bedMm.top() + inches.top() * kMmPerInch, inches.width() * kMmPerInch,
                    inches.height() * kMmPerInch);
    return clampToBed(mm.normalized(), bedMm);
}

double nearestInRange(double value, double min, double max, double quant)
{
    double v = std::clamp(value, min, max);
    if (quant > 0) {
        v = min + std::round((v - min) / quant) * quant;
        if (v > max)
            v -= quant;
    }
    return v;
}

double nearestInList(double value, const QList<double> &list)
{
    if (list.isEmpty())
        return value;
    double best = list.first();
    for (double candidate : list) {
        const double d = std::abs(candidate - value);
        const double bestD = std::abs(best - value);
        if (d < bestD || (d == bestD && candidate > best))
            best = candidate;
    }
    return best;
}

SourceKinds classifySources(const QStringList &sources)
{
    SourceKinds kinds;
    for (int i = 0; i < sources.size(); ++i) {
        const QString &s = sources.at(i);
        const bool duplex = containsWord(s, QStringLiteral("duplex"));
        const bool feeder = duplex || containsWord(s, QStringLiteral("adf")) ||
                            containsWord(s, QStringLiteral("feeder"));
        if (duplex) {
            if (kinds.duplex < 0)
                kinds.duplex = i;
        } else if (feeder) {
            // "ADF Front" comes before "ADF Back" on sheet-fed devices: the first wins.
            if (kinds.feeder < 0)
                kinds.feeder = i;
        } else if (kinds.flatbed < 0 && !containsWord(s, QStringLiteral("film")) &&
                   !containsWord(s, QStringLiteral("transparen")) &&
                   !containsWord(s, QStringLiteral("slide")) &&
                   !containsWord(s, QStringLiteral("negative"))) {
            kinds.flatbed = i;
        }
    }
    return kinds;
}

ModeKind modeKindFromFrame(bool color, int depth)
{
    if (color)
        return depth >= 8 ? ModeKind::Color : ModeKind::Unknown;
    if (depth == 1)
        return ModeKind::LineArt;
    return depth >= 8 ? ModeKind::Gray : ModeKind::Unknown;
}

bool isDitheredModeName(const QString &name)
{
    return containsWord(name, QStringLiteral("halftone")) ||
           containsWord(name, QStringLiteral("dither"));
}

QStringList displayNames(const QList<DeviceEntry> &devices)
{
    QStringList names;
    QHash<QString, int> count;
    for (const DeviceEntry &d : devices) {
        QString name = QStringLiteral("%1 %2").arg(d.vendor, d.model).simplified();
        if (name.isEmpty())
            name = d.name;
        names << name;
        ++count[name];
    }
    for (int i = 0; i < names.size(); ++i) {
        if (count.value(names.at(i)) > 1)
            names[i] += QStringLiteral(" (%1)").arg(devices.at(i).name);
    }
    return names;
}

QImage thresholdToMono(const QImage &gray, int threshold)
{
    const QImage src = gray.format() == QImage::Format_Grayscale8
                           ? gray
                           : gray.convertToFormat(QImage::Format_Grayscale8);
    QImage mono(src.size(), QImage::Format_Mono);
    if (mono.isNull())
        return mono;
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mono.setDotsPerMeterX(src.dotsPerMeterX());
    mono.setDotsPerMeterY(src.dotsPerMeterY());
    const int w = src.width();
    for (int y = 0; y < src.height(); ++y) {
        const uchar *in = src.constScanLine(y);
        uchar *out = mono.scanLine(y);
        std::fill(out, out + mono.bytesPerLine(), uchar(0));
        for (int x = 0; x < w; ++x) {
            if (in[x] < threshold)
                out[x >> 3] |= uchar(0x80 >> (x & 7));
        }
    }
    return mono;
}

qint64 imageBytes(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0)
        return 0;
    const qint64 bits = qint64(width) * QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerLine = ((bits + 31) / 32) * 4; // QImage aligns rows to 32 bits
    return bytesPerLine * height;
}

} // namespace ScanRules
