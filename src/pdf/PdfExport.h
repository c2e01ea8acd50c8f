#pragma once

#include "ocr/PdfWord.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

class OcrEnginePool;

struct PdfExportOptions
{
    // Encoding threads; 0 means one per core.
    int workers = 0;
    // Called on the calling thread after each page is appended, in page order;
    // pageCount counts the frames of multi-page TIFF files.
    std::function<void(int pagesDone, int pageCount)> progress;
    // Polled while pages are encoded; set it from any thread to stop the export.
    const std::atomic_bool *cancel = nullptr;
    // Engines for text recognition, with their languages; null: none. Each page's
    // words become its invisible text layer (a searchable PDF). The caller loads
    // one engine ahead (OcrEnginePool::preload) to report a missing language.
    OcrEnginePool *ocr = nullptr;
    // Called on the calling thread, in page order, for a page written without
    // its text layer because its recognition took too long; the text names the
    // file and the time limit (OcrEnginePool).
    std::function<void(const QString &warning)> warning;
    // Words already recognised, by image file (single-page files only): those
    // pages are not recognised again.
    QHash<QString, PdfWords> knownWords;
    // An archival document (PDF/A-2b): pages sized by their resolution, each picture
    // stored in its smallest faithful form, written to the file as it grows. Off,
    // the document is exactly what it always was.
    bool archival = false;
    // Pages turned upright (Tesseract's orientation detection, a confident answer
    // only) and straightened (skew over 0.1 degree) before they are written and
    // recognised. Such pages are re-encoded; pages left as they are are written
    // exactly as without these options.
    bool rotatePages = false;
    bool deskew = false;
    // A compact document: each page that is a document (light paper, dark text)
    // is split into a low-resolution background, a full-resolution text stencil
    // and the text's colour (CompactPage); other pages are stored as an archival
    // document stores them. Pages are sized by their resolution and the document
    // is written to the file as it grows. Combines with archival and recognition.
    bool compact = false;
};

// Writes one PDF page per image file, in list order; a multi-page TIFF gives one
// page per frame, in the file's order. Pages are read and encoded in
// parallel but appended strictly in order, so the document is byte for byte what a
// single TPDF fed page by page would write. At most a few pages more than there are
// workers are in flight; what accumulates is the encoded JPEG data.
//
// JPEG files are embedded unchanged; BMP, PNG, TIFF and other images are decoded and
// encoded as three-component JPEGs of quality 75.
//
// Archival documents take their title from the output's file name and their date
// from the clock; see ArchivalPage for how each picture is stored.
//
// With recognition on, every worker also recognises its pages with an engine of its
// own, each page decoded once; a page that cannot be recognised stops the export
// with the page's name, and a page without text simply gets no text layer. A page
// whose recognition takes longer than the pool's time limit gets no text layer
// and a warning; the document is still written.
//
// With rotatePages or deskew, every page is decoded and measured first; a page that
// cannot be measured (the orientation model missing) stops the export.
//
// Blocks until done: a window calls it from a worker thread and shows progress
// through the callback. On failure or cancellation it answers false with the reason
// in *error (naming the file) and writes nothing; an existing output file is left
// as it was.
class PdfExport final
{
public:
    static bool run(const QStringList &files, const QString &output,
                    const PdfExportOptions &options = {}, QString *error = nullptr);
};
