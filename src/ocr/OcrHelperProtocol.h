#pragma once

// What the program and its recognition helper (pagora-ocr) say to each other over the
// helper's standard input and a pipe of its own. No Qt here: the helper loads nothing
// but Tesseract.
//
// The helper is run as `pagora-ocr DATA_FOLDER LANGUAGES`. It answers once with a
// Status message (Ok, or LoadFailed naming the language that does not load), then
// for every Page message one Status message whose text is the page's words. Integers
// are 32-bit in the machine's order: both ends are the same build.

#include <cstdint>

namespace OcrHelperProtocol {

// The program's pages go up to 1 GiB of pixels; anything larger is a broken stream.
constexpr std::int64_t MaxPixels = std::int64_t(1) << 30;

// To the helper: width, height, dots per inch, then width x height gray bytes, rows
// top to bottom without padding.
struct PageHeader
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t dpi = 0;
};

// From the helper: a result and the length of the text that follows.
enum Result : std::int32_t
{
    Ok = 0,
    LoadFailed = 1,
    RecogniseFailed = 2
};
struct StatusHeader
{
    std::int32_t result = Ok;
    std::int32_t length = 0;
};

inline bool validPage(const PageHeader &page)
{
    return page.width > 0 && page.height > 0 && page.dpi > 0 &&
           std::int64_t(page.width) * page.height <= MaxPixels;
}

// The words as handed over: per word its box (left, top, width, height) and its
// UTF-8 text, a 32-bit length then the bytes (TesseractPage::recognise writes them).

} // namespace OcrHelperProtocol
