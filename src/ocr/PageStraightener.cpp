#include "ocr/PageStraightener.h"

#include "ocr/OcrEngine.h"
#include "ocr/TesseractLibrary.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTransform>
#include <array>
#include <cmath>
#include <cstring>

Q_LOGGING_CATEGORY(lcStraighten, "pagora.ocr.straighten", QtWarningMsg)

namespace {

// Pages are measured at most this long on their longer side: an A4 page at 300 dpi
// as it is, larger ones scaled down (text stays large enough to be read).
constexpr int MeasureSide = 3600;
// Smaller than this on either side there is no line of text to measure.
constexpr int MinSide = 64;
// Share of dark pixels: below, the page is blank (dust, a stray mark); above, it is
// a picture or noise, not a page of text.
constexpr double BlankInk = 0.0005;
constexpr double MaxTextInk = 0.35;

struct Gray
{
    QImage image; // Grayscale8, scaled to at most MeasureSide
    int dpi = 300;
    int threshold = 128; // darker is ink
    double ink = 0.0;
};

int resolutionOf(const QImage &page)
{
    const int dpi = qRound(page.dotsPerMeterY() * 0.0254);
    return (dpi < 70 || dpi > 2400) ? 300 : dpi;
}

Gray grayOf(const QImage &page)
{
    Gray gray;
    gray.dpi = resolutionOf(page);
    QImage image = page;
    const int longSide = qMax(page.width(), page.height());
    if (longSide > MeasureSide) {
        const double scale = double(MeasureSide) / longSide;
        image = page.scaled(qMax(1, int(page.width() * scale)), qMax(1, int(page.height() * scale)),
                            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        gray.dpi = qMax(70, int(gray.dpi * scale));
    }
    gray.image = image.convertToFormat(QImage::Format_Grayscale8);
    if (gray.image.isNull())
        return gray;

    std::array<qint64, 256> histogram{};
    const int w = gray.image.width(), h = gray.image.height();
    for (int y = 0; y < h; ++y) {
        const uchar *row = gray.image.constScanLine(y);
        for (int x = 0; x < w; ++x)
            ++histogram[row[x]];
    }
    // The paper is the light level that nine pixels in ten reach; ink is well
    // below it, whatever the paper's shade.
    const qint64 total = qint64(w) * h;
    qint64 seen = 0;
    int paper = 255;
    for (int level = 0; level < 256; ++level) {
        seen += histogram[size_t(level)];
        if (seen * 10 >= total * 9) {
            paper = level;
            break;
        }
    }
    gray.threshold = qMax(1, paper * 6 / 10);
    qint64 ink = 0;
    for (int level = 0; level < gray.threshold; ++level)
        ink += histogram[size_t(level)];
    gray.ink = total > 0 ? double(ink) / double(total) : 0.0;
    return gray;
}

QImage turnedGray(const QImage &gray, int quarterTurns)
{
    return quarterTurns % 4 == 0 ? gray
                                 : gray.transformed(QTransform().rotate(90.0 * quarterTurns));
}

} // namespace

PageStraightener::PageStraightener() = default;

PageStraightener::~PageStraightener() = default;

bool PageStraightener::init(QString *error)
{
    if (m_ready)
        return true;
    const QString folder = OcrEngine::dataFolder();
    const TesseractLibrary *library = TesseractLibrary::get(error);
    if (!library)
        return false;
    std::unique_ptr<TesseractEngine> osd = library->newEngine();
    if (!QFile::exists(folder + QStringLiteral("/osd.traineddata")) ||
        !osd->loadOrientation(QFile::encodeName(folder).constData())) {
        if (error)
            *error = QCoreApplication::translate("PageStraightener",
                                                 "The orientation data of the text recognition "
                                                 "(osd.traineddata) is not installed");
        return false;
    }
    m_osd = std::move(osd);
    m_ready = true;
    return true;
}

void PageStraightener::measure(const QImage &page, bool upright, bool straight,
                               PageCorrection *found)
{
    *found = PageCorrection{};
    if (page.isNull() || page.width() < MinSide || page.height() < MinSide)
        return;
    const Gray gray = grayOf(page);
    if (gray.image.isNull())
        return;
    if (gray.ink < BlankInk) {
        found->blank = true;
        return;
    }
    if (gray.ink > MaxTextInk) {
        qCDebug(lcStraighten) << "not a page of text:" << gray.ink << "of it is dark";
        return;
    }

    if (upright && m_ready) {
        int degrees = 0;
        float confidence = 0.f;
        if (m_osd->detectOrientation(gray.image.constBits(), gray.image.width(),
                                     gray.image.height(), int(gray.image.bytesPerLine()), gray.dpi,
                                     &degrees, &confidence)) {
            // Tesseract names how far the page is turned clockwise; turning it on
            // by the rest of a full turn sets it upright.
            found->quarterTurns = ((360 - degrees) / 90) % 4;
            found->orientationConfidence = confidence;
        }
        qCDebug(lcStraighten) << "orientation" << degrees << "confidence" << confidence;
    }

    const TesseractLibrary *library = straight ? TesseractLibrary::get() : nullptr;
    if (library) {
        const QImage standing = turnedGray(gray.image, turnsToApply(*found));
        float angle = 0.f, confidence = 0.f;
        if (library->findSkew(standing.constBits(), standing.width(), standing.height(),
                              int(standing.bytesPerLine()), gray.threshold, float(MaxSkewDegrees),
                              &angle, &confidence)) {
            found->skewDegrees = angle;
            found->skewConfidence = confidence;
        }
        qCDebug(lcStraighten) << "skew" << angle << "confidence" << confidence;
    }
}

int PageStraightener::turnsToApply(const PageCorrection &found)
{
    return found.orientationConfidence >= MinOrientationConfidence ? found.quarterTurns % 4 : 0;
}

double PageStraightener::skewToApply(const PageCorrection &found)
{
    const double angle = std::abs(found.skewDegrees);
    if (found.skewConfidence < MinSkewConfidence || angle <= MinSkewDegrees ||
        angle > MaxSkewDegrees)
        return 0.0;
    return found.skewDegrees;
}

bool PageStraightener::changes(const PageCorrection &found)
{
    return turnsToApply(found) != 0 || skewToApply(found) != 0.0;
}

QImage PageStraightener::corrected(const QImage &page, const PageCorrection &found)
{
    QImage result = turned(page, turnsToApply(found));
    const double skew = skewToApply(found);
    if (skew != 0.0)
        result = rotated(result, skew);
    return result;
}

QImage PageStraightener::correct(const QImage &page, bool upright, bool straight,
                                 PageCorrection *found)
{
    PageCorrection measured;
    measure(page, upright, straight, &measured);
    if (found)
        *found = measured;
    return corrected(page, measured);
}

QImage PageStraightener::turned(const QImage &page, int quarterTurns)
{
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (turns == 0 || page.isNull())
        return page;
    QImage result = page.transformed(QTransform().rotate(90.0 * turns));
    if (turns % 2 == 1) {
        result.setDotsPerMeterX(page.dotsPerMeterY());
        result.setDotsPerMeterY(page.dotsPerMeterX());
    } else {
        result.setDotsPerMeterX(page.dotsPerMeterX());
        result.setDotsPerMeterY(page.dotsPerMeterY());
    }
    return result;
}

QRgb PageStraightener::backgroundColour(const QImage &page)
{
    if (page.isNull())
        return qRgb(255, 255, 255);
    // A sample of about a quarter of a million pixels is plenty for a mode.
    const int step = qMax(1, int(std::sqrt(double(page.width()) * page.height() / 250000.0)));
    std::array<qint64, 32> count{};
    std::array<std::array<qint64, 3>, 32> sum{};
    for (int y = 0; y < page.height(); y += step) {
        for (int x = 0; x < page.width(); x += step) {
            const QRgb c = page.pixel(x, y);
            const size_t bin = size_t(qGray(c) / 8);
            ++count[bin];
            sum[bin][0] += qRed(c);
            sum[bin][1] += qGreen(c);
            sum[bin][2] += qBlue(c);
        }
    }
    // Paper is light: the commonest level of the lighter half, else of all.
    size_t best = 16;
    for (size_t bin = 16; bin < 32; ++bin) {
        if (count[bin] > count[best])
            best = bin;
    }
    if (count[best] == 0) {
        for (size_t bin = 0; bin < 32; ++bin) {
            if (count[bin] > count[best])
                best = bin;
        }
    }
    if (count[best] == 0)
        return qRgb(255, 255, 255);
    return qRgb(int(sum[best][0] / count[best]), int(sum[best][1] / count[best]),
                int(sum[best][2] / count[best]));
}

QImage PageStraightener::rotated(const QImage &page, double degrees)
{
    if (page.isNull() || degrees == 0.0)
        return page;
    const TesseractLibrary *library = TesseractLibrary::get();
    if (!library)
        return page;
    const QRgb background = backgroundColour(page);
    const QImage::Format original = page.format();
    const bool gray = page.allGray();
    const int w = page.width(), h = page.height();
    // Leptonica's area-mapping rotation: interpolated, about the centre, the same
    // size, and several times faster than painting the page turned.
    const float radians = float(degrees * M_PI / 180.0);
    QImage result;
    if (gray) {
        const QImage source = page.convertToFormat(QImage::Format_Grayscale8);
        result = QImage(w, h, QImage::Format_Grayscale8);
        if (result.isNull() || !library->rotateGray(source.constBits(), int(source.bytesPerLine()),
                                                    result.bits(), int(result.bytesPerLine()), w, h,
                                                    radians, uchar(qGray(background))))
            return page;
    } else {
        const QImage source = page.convertToFormat(QImage::Format_RGB32);
        result = QImage(w, h, QImage::Format_RGB32);
        if (result.isNull() ||
            !library->rotateColour(
                reinterpret_cast<const std::uint32_t *>(source.constBits()),
                int(source.bytesPerLine()), reinterpret_cast<std::uint32_t *>(result.bits()),
                int(result.bytesPerLine()), w, h, radians, background & 0xffffffu))
            return page;
    }
    if (result.isNull())
        return page;
    // Back to the page's own kind (transparent parts were laid on its paper); an
    // indexed page stays gray or colour as it was.
    if (original == QImage::Format_Mono || original == QImage::Format_MonoLSB)
        result = result.convertToFormat(original, Qt::ThresholdDither | Qt::MonoOnly);
    else if (original != QImage::Format_Indexed8 && original != result.format())
        result = result.convertToFormat(original);
    result.setDotsPerMeterX(page.dotsPerMeterX());
    result.setDotsPerMeterY(page.dotsPerMeterY());
    return result;
}
