#include "ocr/PageStraightener.h"

#include "ocr/OcrEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTransform>
#include <array>
#include <cmath>
#include <cstring>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

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

// The ink of a gray image as a Leptonica 1-bit image (1 is ink).
PIX *binaryOf(const QImage &gray, int threshold)
{
    PIX *pix = pixCreate(gray.width(), gray.height(), 1);
    if (!pix)
        return nullptr;
    l_uint32 *data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    for (int y = 0; y < gray.height(); ++y) {
        const uchar *row = gray.constScanLine(y);
        l_uint32 *line = data + size_t(y) * size_t(wpl);
        for (int x = 0; x < gray.width(); ++x) {
            if (row[x] < threshold)
                SET_DATA_BIT(line, x);
        }
    }
    return pix;
}

QImage turnedGray(const QImage &gray, int quarterTurns)
{
    return quarterTurns % 4 == 0 ? gray
                                 : gray.transformed(QTransform().rotate(90.0 * quarterTurns));
}

} // namespace

PageStraightener::PageStraightener() : m_osd(std::make_unique<tesseract::TessBaseAPI>())
{
}

PageStraightener::~PageStraightener()
{
    m_osd->End();
}

bool PageStraightener::init(QString *error)
{
    if (m_ready)
        return true;
    const QString folder = OcrEngine::dataFolder();
    const QByteArray path = QFile::encodeName(folder);
    if (!QFile::exists(folder + QStringLiteral("/osd.traineddata")) ||
        m_osd->Init(path.constData(), "osd", tesseract::OEM_TESSERACT_ONLY) != 0) {
        if (error)
            *error = QCoreApplication::translate("PageStraightener",
                                                 "The orientation data of the text recognition "
                                                 "(osd.traineddata) is not installed");
        return false;
    }
    m_osd->SetPageSegMode(tesseract::PSM_OSD_ONLY);
    m_osd->SetVariable("debug_file", "/dev/null");
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
        // Tesseract thresholds the page itself.
        m_osd->SetImage(gray.image.constBits(), gray.image.width(), gray.image.height(), 1,
                        int(gray.image.bytesPerLine()));
        m_osd->SetSourceResolution(gray.dpi);
        int degrees = 0;
        float confidence = 0.f, scriptConfidence = 0.f;
        const char *script = nullptr;
        if (m_osd->DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence)) {
            // Tesseract names how far the page is turned clockwise; turning it on
            // by the rest of a full turn sets it upright.
            found->quarterTurns = ((360 - degrees) / 90) % 4;
            found->orientationConfidence = confidence;
        }
        m_osd->Clear();
        qCDebug(lcStraighten) << "orientation" << degrees << "confidence" << confidence;
    }

    if (straight) {
        const QImage standing = turnedGray(gray.image, turnsToApply(*found));
        PIX *pix = binaryOf(standing, gray.threshold);
        if (pix) {
            l_float32 angle = 0.f, confidence = 0.f;
            // Leptonica's own reductions (sweep at 1/4, search at 1/2), over the
            // whole range in 1 degree steps, then halved down to 0.01 degree.
            if (pixFindSkewSweepAndSearch(pix, &angle, &confidence, 4, 2, float(MaxSkewDegrees),
                                          1.f, 0.01f) == 0) {
                found->skewDegrees = angle;
                found->skewConfidence = confidence;
            }
            pixDestroy(&pix);
            qCDebug(lcStraighten) << "skew" << angle << "confidence" << confidence;
        }
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
    const QRgb background = backgroundColour(page);
    const QImage::Format original = page.format();
    const bool gray = page.allGray();
    const int w = page.width(), h = page.height();
    // Leptonica's area-mapping rotation: interpolated, about the centre, the same
    // size, and several times faster than painting the page turned.
    const l_float32 radians = l_float32(degrees * M_PI / 180.0);
    QImage result;
    if (gray) {
        const QImage source = page.convertToFormat(QImage::Format_Grayscale8);
        PIX *pix = pixCreate(w, h, 8);
        if (!pix)
            return page;
        for (int y = 0; y < h; ++y)
            std::memcpy(pixGetData(pix) + size_t(y) * size_t(pixGetWpl(pix)),
                        source.constScanLine(y), size_t(w));
        pixEndianByteSwap(pix); // Leptonica keeps bytes in native 32-bit words
        PIX *turned = pixRotateAMGray(pix, radians, l_uint8(qGray(background)));
        pixDestroy(&pix);
        if (!turned)
            return page;
        pixEndianByteSwap(turned);
        result = QImage(w, h, QImage::Format_Grayscale8);
        for (int y = 0; y < h && !result.isNull(); ++y)
            std::memcpy(result.scanLine(y),
                        pixGetData(turned) + size_t(y) * size_t(pixGetWpl(turned)), size_t(w));
        pixDestroy(&turned);
    } else {
        const QImage source = page.convertToFormat(QImage::Format_RGB32);
        PIX *pix = pixCreate(w, h, 32);
        if (!pix)
            return page;
        // Qt's 0xffRRGGBB words to Leptonica's 0xRRGGBB00.
        for (int y = 0; y < h; ++y) {
            const auto *in = reinterpret_cast<const quint32 *>(source.constScanLine(y));
            l_uint32 *out = pixGetData(pix) + size_t(y) * size_t(pixGetWpl(pix));
            for (int x = 0; x < w; ++x)
                out[x] = l_uint32(in[x] << 8);
        }
        const l_uint32 fill = (l_uint32(qRed(background)) << 24) |
                              (l_uint32(qGreen(background)) << 16) |
                              (l_uint32(qBlue(background)) << 8);
        PIX *turned = pixRotateAMColor(pix, radians, fill);
        pixDestroy(&pix);
        if (!turned)
            return page;
        result = QImage(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h && !result.isNull(); ++y) {
            const l_uint32 *in = pixGetData(turned) + size_t(y) * size_t(pixGetWpl(turned));
            auto *out = reinterpret_cast<quint32 *>(result.scanLine(y));
            for (int x = 0; x < w; ++x)
                out[x] = 0xff000000u | (in[x] >> 8);
        }
        pixDestroy(&turned);
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
