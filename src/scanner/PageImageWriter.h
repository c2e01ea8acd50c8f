#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>

class AtomicFile;
class QIODevice;

// Page files by extension, each carrying the scan resolution:
//   .bmp          24-bit colour, 8-bit gray (gray palette) or 1-bit line art,
//                 uncompressed, pixels per metre in the header;
//   .jpg, .jpeg   baseline JPEG, quality kJpegQuality, JFIF density in dots per inch;
//                 gray and line art stay one-component gray;
//   .tif, .tiff   lossless: LZW with horizontal differencing for colour and gray,
//                 CCITT Group 4 for line art; resolution tags in inches.
// Every file is written under a temporary name and renamed into place.
namespace PageImageWriter {

// 85 keeps text edges clean on scanned pages at about a tenth of the BMP size.
constexpr int kJpegQuality = 85;

enum class Format
{
    Unknown,
    Bmp,
    Jpeg,
    Tiff
};
Format formatForPath(const QString &path);

// False, with a reason in *error, on an unknown extension, a null image or any
// write failure; the final path is then untouched.
bool save(const QImage &image, const QString &path, QString *error = nullptr);

// The name to try after a clash on taken; empty to give up.
using NextName = std::function<QString(const QString &taken)>;

// Like save(), but for page files and working copies: the file is synced (file
// and folder) and never replaces one that holds its name, not even one that
// appeared while it was written; it takes nextName's name instead. *finalPath
// gets the name it was written under.
bool saveNew(const QImage &image, const QString &path, const NextName &nextName, QString *finalPath,
             QString *error = nullptr);

// saveNew() in two halves, for callers that encode the next page while this one
// waits for the disk. writeNew: the image in a new hidden file next to path, its
// writeback started; null, with a reason in *error, on failure. commitNew: the
// file synced and put under path (which may differ from writeNew's, in the same
// folder) or, after a clash, nextName's name.
std::unique_ptr<AtomicFile> writeNew(const QImage &image, const QString &path,
                                     QString *error = nullptr);
bool commitNew(AtomicFile &file, const QString &path, const NextName &nextName, QString *finalPath,
               QString *error = nullptr);

// The encoders on their own, for callers that write elsewhere.
bool writeBmp(const QImage &image, QIODevice *device);
bool writeTiff(const QImage &image, QIODevice *device);

} // namespace PageImageWriter
