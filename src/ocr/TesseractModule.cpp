// The module the program loads for Tesseract and Leptonica (ocr/TesseractLibrary.h).

#include "ocr/TesseractLibrary.h"
#include "ocr/TesseractPage.h"

#include <leptonica/allheaders.h>

namespace {

struct CancelProbe
{
    const std::atomic_bool *flag;
};

bool cancelRequested(void *probe, int)
{
    const auto *p = static_cast<CancelProbe *>(probe);
    return p->flag && p->flag->load();
}

class Engine final : public TesseractEngine
{
public:
    ~Engine() override { m_api.End(); }

    bool loadLanguages(const char *folder, const std::string &languages,
                       std::string *culprit) override
    {
        return TesseractPage::loadLanguages(m_api, folder, languages, culprit);
    }

    bool recognise(const unsigned char *pixels, int width, int height, int bytesPerLine, int dpi,
                   std::string &words, const std::atomic_bool *cancel, int deadlineMs) override
    {
        CancelProbe probe{cancel};
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = cancelRequested;
        monitor.cancel_this = &probe;
        if (deadlineMs > 0)
            monitor.set_deadline_msecs(deadlineMs);
        return TesseractPage::recognise(m_api, pixels, width, height, bytesPerLine, dpi, words,
                                        &monitor);
    }

    bool loadOrientation(const char *folder) override
    {
        if (m_api.Init(folder, "osd", tesseract::OEM_TESSERACT_ONLY) != 0)
            return false;
        m_api.SetPageSegMode(tesseract::PSM_OSD_ONLY);
        m_api.SetVariable("debug_file", "/dev/null");
        return true;
    }

    bool detectOrientation(const unsigned char *pixels, int width, int height, int bytesPerLine,
                           int dpi, int *degrees, float *confidence) override
    {
        // Tesseract thresholds the page itself.
        m_api.SetImage(pixels, width, height, 1, bytesPerLine);
        m_api.SetSourceResolution(dpi);
        float scriptConfidence = 0.f;
        const char *script = nullptr;
        const bool found =
            m_api.DetectOrientationScript(degrees, confidence, &script, &scriptConfidence);
        m_api.Clear();
        return found;
    }

private:
    tesseract::TessBaseAPI m_api;
};

// Owns a Leptonica image.
struct PixHolder
{
    PIX *pix = nullptr;
    explicit PixHolder(PIX *p) : pix(p) {}
    ~PixHolder() { pixDestroy(&pix); }
    PixHolder(const PixHolder &) = delete;
    PixHolder &operator=(const PixHolder &) = delete;
    l_uint32 *row(int y) const { return pixGetData(pix) + size_t(y) * size_t(pixGetWpl(pix)); }
};

class Library final : public TesseractLibrary
{
public:
    std::unique_ptr<TesseractEngine> newEngine() const override
    {
        return std::make_unique<Engine>();
    }

    bool findSkew(const unsigned char *gray, int width, int height, int bytesPerLine, int threshold,
                  float maxDegrees, float *degrees, float *confidence) const override
    {
        // The ink as a 1-bit image (1 is ink).
        const PixHolder binary(pixCreate(width, height, 1));
        if (!binary.pix)
            return false;
        for (int y = 0; y < height; ++y) {
            const unsigned char *in = gray + size_t(y) * size_t(bytesPerLine);
            l_uint32 *line = binary.row(y);
            for (int x = 0; x < width; ++x) {
                if (in[x] < threshold)
                    SET_DATA_BIT(line, x);
            }
        }
        // Leptonica's own reductions (sweep at 1/4, search at 1/2), over the whole
        // range in 1 degree steps, then halved down to 0.01 degree.
        return pixFindSkewSweepAndSearch(binary.pix, degrees, confidence, 4, 2, maxDegrees, 1.f,
                                         0.01f) == 0;
    }

    bool rotateGray(const unsigned char *in, int inBytesPerLine, unsigned char *out,
                    int outBytesPerLine, int width, int height, float radians,
                    unsigned char fill) const override
    {
        const PixHolder pix(pixCreate(width, height, 8));
        if (!pix.pix)
            return false;
        for (int y = 0; y < height; ++y)
            std::memcpy(pix.row(y), in + size_t(y) * size_t(inBytesPerLine), size_t(width));
        pixEndianByteSwap(pix.pix); // Leptonica keeps bytes in native 32-bit words
        const PixHolder turned(pixRotateAMGray(pix.pix, radians, fill));
        if (!turned.pix)
            return false;
        pixEndianByteSwap(turned.pix);
        for (int y = 0; y < height; ++y)
            std::memcpy(out + size_t(y) * size_t(outBytesPerLine), turned.row(y), size_t(width));
        return true;
    }

    bool rotateColour(const std::uint32_t *in, int inBytesPerLine, std::uint32_t *out,
                      int outBytesPerLine, int width, int height, float radians,
                      std::uint32_t fill) const override
    {
        const PixHolder pix(pixCreate(width, height, 32));
        if (!pix.pix)
            return false;
        // 0xffRRGGBB words to Leptonica's 0xRRGGBB00 and back.
        const auto *source = reinterpret_cast<const unsigned char *>(in);
        for (int y = 0; y < height; ++y) {
            const auto *from = reinterpret_cast<const std::uint32_t *>(
                source + size_t(y) * size_t(inBytesPerLine));
            l_uint32 *to = pix.row(y);
            for (int x = 0; x < width; ++x)
                to[x] = l_uint32(from[x] << 8);
        }
        const PixHolder turned(pixRotateAMColor(pix.pix, radians, l_uint32(fill << 8)));
        if (!turned.pix)
            return false;
        auto *target = reinterpret_cast<unsigned char *>(out);
        for (int y = 0; y < height; ++y) {
            const l_uint32 *from = turned.row(y);
            auto *to =
                reinterpret_cast<std::uint32_t *>(target + size_t(y) * size_t(outBytesPerLine));
            for (int x = 0; x < width; ++x)
                to[x] = 0xff000000u | (from[x] >> 8);
        }
        return true;
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) const TesseractLibrary *
pagora_tesseract_library(int version)
{
    static const Library library;
    return version == TesseractLibrary::Version ? &library : nullptr;
}
