#pragma once

// The recognition the helper runs for every page and the program runs through its
// Tesseract module when no helper can be started: the same calls on both sides, so
// both give the same words. Needs Tesseract's headers; no Qt.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace TesseractPage {

inline void appendInt(std::string &out, std::int32_t value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

// Tesseract's networks run their loops on OpenMP teams of up to four threads. Pages
// are recognised in parallel instead, one engine per worker, which makes better use
// of the cores (teams on busy cores spin and slow everything down). The setting
// belongs to the calling thread.
inline void keepThisThreadSingle()
{
#ifdef _OPENMP
    omp_set_max_active_levels(0);
#endif
}

// Recognises one gray page with an engine whose languages are loaded; false when
// Tesseract fails or its monitor stops it. The engine is cleared for the next page.
inline bool recognise(tesseract::TessBaseAPI &api, const unsigned char *pixels, int width,
                      int height, int bytesPerLine, int dpi, std::string &words,
                      tesseract::ETEXT_DESC *monitor = nullptr)
{
    keepThisThreadSingle();
    words.clear();
    api.SetImage(pixels, width, height, 1, bytesPerLine);
    api.SetSourceResolution(dpi);
    if (api.Recognize(monitor) != 0) {
        api.Clear();
        return false;
    }
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (it) {
        do {
            if (it->Empty(tesseract::RIL_WORD))
                continue;
            const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!text || !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                continue;
            // Right and bottom are exclusive.
            const std::size_t length = std::strlen(text.get());
            appendInt(words, left);
            appendInt(words, top);
            appendInt(words, right - left);
            appendInt(words, bottom - top);
            appendInt(words, std::int32_t(length));
            words.append(text.get(), length);
        } while (it->Next(tesseract::RIL_WORD));
    }
    api.Clear();
    return true;
}

// Loads the languages ("rus+eng") from the folder; on failure *culprit is the first
// language that does not load alone (all of them when each does).
inline bool loadLanguages(tesseract::TessBaseAPI &api, const char *folder,
                          const std::string &languages, std::string *culprit)
{
    if (api.Init(folder, languages.c_str(), tesseract::OEM_DEFAULT) == 0) {
        // Nothing on the terminal for every page.
        api.SetVariable("debug_file", "/dev/null");
        // The line network finds the words and their spaces itself, whatever the
        // pitch: the test for typewriter-like rows costs some 3 % of a page
        // and changes no word or box, only Tesseract's paragraphs, unused here. The
        // older engine cuts fixed-pitch rows by it, so it keeps the test (the mode
        // Init settled on, as language data may hold either engine).
        int engine = tesseract::OEM_DEFAULT;
        if (api.GetIntVariable("tessedit_ocr_engine_mode", &engine) &&
            engine == tesseract::OEM_LSTM_ONLY)
            api.SetVariable("textord_all_prop", "1");
        return true;
    }
    *culprit = languages;
    std::size_t start = 0;
    while (start <= languages.size()) {
        std::size_t end = languages.find('+', start);
        if (end == std::string::npos)
            end = languages.size();
        const std::string code = languages.substr(start, end - start);
        tesseract::TessBaseAPI probe;
        if (probe.Init(folder, code.c_str(), tesseract::OEM_DEFAULT) != 0) {
            *culprit = code;
            break;
        }
        start = end + 1;
    }
    return false;
}

} // namespace TesseractPage
