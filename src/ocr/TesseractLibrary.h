#pragma once

// What the program asks of Tesseract and Leptonica in its own process. They live in a
// module (pagora-tesseract.so) loaded the first time a page is straightened, turned
// upright or recognised without the helper: the forty-odd libraries they bring
// (network, TLS, image formats) would cost every start of every program some 30 ms,
// and most runs never use them. No Qt and no Tesseract types here: the module and the
// program meet only through these classes, built by the same build.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class QString;

// One Tesseract engine; used by one thread at a time.
class TesseractEngine
{
public:
    virtual ~TesseractEngine() = default;

    // Languages like "rus+eng" from the folder; on failure *culprit is the first
    // language that does not load alone (all of them when each does).
    virtual bool loadLanguages(const char *folder, const std::string &languages,
                               std::string *culprit) = 0;
    // The words of a gray page, as the helper hands them over (OcrHelperProtocol);
    // false when Tesseract fails, *cancel is set or deadlineMs (0: none) passes.
    virtual bool recognise(const unsigned char *pixels, int width, int height, int bytesPerLine,
                           int dpi, std::string &words, const std::atomic_bool *cancel,
                           int deadlineMs) = 0;

    // The orientation model (osd.traineddata) from the folder.
    virtual bool loadOrientation(const char *folder) = 0;
    // How far a gray page is turned clockwise, in degrees, and Tesseract's
    // confidence; false when it cannot tell.
    virtual bool detectOrientation(const unsigned char *pixels, int width, int height,
                                   int bytesPerLine, int dpi, int *degrees, float *confidence) = 0;
};

class TesseractLibrary
{
public:
    // The module answers only a program of its own build.
    static constexpr int Version = 1;

    // Loaded once, on the first call; null, with the reason in *error, when the
    // module cannot be found or loaded. Safe from any thread.
    static const TesseractLibrary *get(QString *error = nullptr);

    virtual std::unique_ptr<TesseractEngine> newEngine() const = 0;

    // The skew of the ink (gray levels below threshold), searched up to maxDegrees
    // either way, in degrees with Leptonica's confidence; false when none is found.
    virtual bool findSkew(const unsigned char *gray, int width, int height, int bytesPerLine,
                          int threshold, float maxDegrees, float *degrees,
                          float *confidence) const = 0;
    // Leptonica's area-mapping rotation about the centre into an image of the same
    // size; the corners that come in take fill. Gray: one byte a pixel. Colour:
    // 0xffRRGGBB words, fill 0xRRGGBB. False when memory runs out.
    virtual bool rotateGray(const unsigned char *in, int inBytesPerLine, unsigned char *out,
                            int outBytesPerLine, int width, int height, float radians,
                            unsigned char fill) const = 0;
    virtual bool rotateColour(const std::uint32_t *in, int inBytesPerLine, std::uint32_t *out,
                              int outBytesPerLine, int width, int height, float radians,
                              std::uint32_t fill) const = 0;

protected:
    ~TesseractLibrary() = default;
};

// The module's one entry point: its library when version is its own, else null.
extern "C" {
using PagoraTesseractEntry = const TesseractLibrary *(*)(int version);
}
#define PAGORA_TESSERACT_ENTRY "pagora_tesseract_library"
