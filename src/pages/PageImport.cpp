#include "pages/PageImport.h"

#include "files/AtomicFile.h"
#include "files/LocalFileName.h"
#include "files/TempFolder.h"
#include "i18n/SystemErrorText.h"
#include "imaging/ImageFileReader.h"
#include "imaging/JpegCheck.h"
#include "imaging/PageFile.h"
#include "ocr/PageStraightener.h"
#include "pages/FreeSpace.h"
#include "pages/PdfPageRenderer.h"
#include "pages/Thumbnail.h"
#include "pages/WorkingCopies.h"
#include "pdf/ImageResolution.h"
#include "scanner/PageImageWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTransform>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <optional>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace PageImport {

namespace {

QString refusal(const QString &path, const QString &reason)
{
    return QCoreApplication::translate("PageImport", "The file %1 cannot be added: %2",
                                       "importRefused")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString translated(const char *text, const char *disambiguation)
{
    return QCoreApplication::translate("PageImport", text, disambiguation);
}

// Why the file cannot be read as a page at all, in the user's words; empty when
// it can. Anything but a regular file is named for what it is: "it does not
// exist" for a folder would send the user looking for a file that is there.
QString unreadable(const QString &path)
{
    PageFile::Failure failure = PageFile::Failure::None;
    const int fd = PageFile::open(path, &failure);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    const int openError = errno;
    if (failure == PageFile::Failure::TooLarge)
        return PageFile::refusalText(QDir::toNativeSeparators(path), failure);
    struct stat st = {};
    const bool known = ::stat(LocalFileName::encode(path).constData(), &st) == 0;
    if (failure == PageFile::Failure::CannotOpen) {
        if (!known && (openError == ENOENT || openError == ENOTDIR))
            return refusal(path, translated("it does not exist.", "importMissing"));
        if (openError == EACCES || openError == EPERM)
            return refusal(path, translated("you are not allowed to read it.", "importDenied"));
        return refusal(path, qt_error_string(openError));
    }
    if (known && S_ISDIR(st.st_mode))
        return refusal(path, translated("it is a folder, not a file.", "importFolder"));
    if (known && S_ISFIFO(st.st_mode))
        return refusal(path, translated("it is a pipe (FIFO), not a file.", "importFifo"));
    return refusal(
        path, translated("it is a device or other special file, not a file.", "importSpecial"));
}

// The working copy's name from the original's: bytes of a name that is not UTF-8
// become "_", so the copy has a plain name every reader opens alike.
QString plainName(QString name)
{
    for (QChar &c : name) {
        if (c.isSurrogate())
            c = QLatin1Char('_');
    }
    return name;
}

QString absolute(const QString &path)
{
    // String work only: QFileInfo would pass a name that is not UTF-8 through Qt's
    // lossy conversion.
    return QDir::cleanPath(
        QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path);
}

// The copy's name in folder: base.ext, or base_1.ext and on when taken.
PageImageWriter::NextName nextNameIn(const QString &folder, const QString &base,
                                     const QString &extension, int *clash)
{
    return [folder, base, extension, clash](const QString &) {
        return ++*clash > 999
                   ? QString()
                   : QDir(folder).filePath(
                         QStringLiteral("%1_%2.%3").arg(base).arg(*clash).arg(extension));
    };
}

// Colour and gray pages as TIFF with zstd at its fastest level behind the
// horizontal predictor (LZW where libtiff was built without zstd). Measured on
// a colour A4 page drawn at 300 dpi with scanner noise: about half the bytes of
// the BMP, written in a quarter of the time PNG at zlib level 1 takes.
bool writeCompressedTiff(const QImage &image, int fd)
{
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return false;
    TIFF *tif = TIFFFdOpen(own, "copy", "w");
    if (!tif) {
        ::close(own);
        return false;
    }
    const bool gray = image.format() == QImage::Format_Grayscale8;
    const int samples = gray ? 1 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    const bool zstd = TIFFIsCODECConfigured(COMPRESSION_ZSTD);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, zstd ? COMPRESSION_ZSTD : COMPRESSION_LZW);
    if (zstd)
        TIFFSetField(tif, TIFFTAG_ZSTD_LEVEL, 1);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    const qsizetype rowBytes = qsizetype(image.width()) * samples;
    const int rowsPerStrip =
        int(qBound<qsizetype>(1, (256 << 10) / rowBytes, qsizetype(image.height())));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rowsPerStrip));
    const int dpi = qRound(image.dotsPerMeterX() * 0.0254);
    if (dpi > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(dpi));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(qRound(image.dotsPerMeterY() * 0.0254)));
    }
    // The predictor works in place: each strip is a copy of its rows.
    std::vector<uchar> strip(size_t(rowBytes * rowsPerStrip));
    bool ok = true;
    for (int first = 0, s = 0; ok && first < image.height(); first += rowsPerStrip, ++s) {
        const int count = qMin(rowsPerStrip, image.height() - first);
        for (int y = 0; y < count; ++y)
            std::memcpy(strip.data() + y * rowBytes, image.constScanLine(first + y),
                        size_t(rowBytes));
        ok = TIFFWriteEncodedStrip(tif, uint32_t(s), strip.data(), tmsize_t(count * rowBytes)) >= 0;
    }
    ok = ok && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    return ok;
}

// A frame's working copy in folder, lossless and compressed; *written gets its path.
bool writeFrameCopy(const QImage &frame, const QString &folder, const QString &base,
                    QString *written, QString *error)
{
    int clash = 0;
    const auto nextName = nextNameIn(folder, base, QStringLiteral("tif"), &clash);
    const QString path = QDir(folder).filePath(base + QStringLiteral(".tif"));
    // Line art stays one bit deep, in the page writer's Group 4.
    if (frame.depth() == 1)
        return PageImageWriter::saveNew(frame, path, nextName, written, error);
    QImage image = frame.allGray() ? frame.convertToFormat(QImage::Format_Grayscale8)
                                   : frame.convertToFormat(QImage::Format_RGB888);
    AtomicFile file(path);
    if (!file.open()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    errno = 0;
    if (!writeCompressedTiff(image, file.file().handle())) {
        // A full disk says so, rather than only that the copy failed.
        const int reason = errno != 0 ? errno : EIO;
        if (error)
            *error =
                QCoreApplication::translate("PageImport", "the copy %1 could not be written: %2.",
                                            "importCopyNotWritten")
                    .arg(QDir::toNativeSeparators(path), SystemErrorText::text(reason));
        return false;
    }
    return PageImageWriter::commitNew(file, path, nextName, written, error);
}

} // namespace

QByteArray formatOf(const QString &path)
{
    QFile f;
    PageFile::Failure failure = PageFile::Failure::None;
    if (!PageFile::open(f, path, &failure))
        return {};
    // A PDF header may follow some bytes of other matter, within the first kilobyte.
    const QByteArray head = f.read(1024);
    if (head.startsWith("BM"))
        return "bmp";
    if (head.startsWith("\xFF\xD8\xFF"))
        return "jpeg";
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return "tiff";
    if (head.contains("%PDF-"))
        return "pdf";
    return {};
}

Result importFile(const QString &path, const QString &tempFolder,
                  const std::function<bool()> &cancelled,
                  const std::function<void(int done, int total)> &progress)
{
    Result result;
    result.error = unreadable(path);
    if (!result.error.isEmpty())
        return result;
    const QString original = absolute(path);
    const QString fileName = original.section(QLatin1Char('/'), -1);
    // The name up to its last dot, as QFileInfo::completeBaseName() gives it.
    const QString baseName = plainName(fileName.lastIndexOf(QLatin1Char('.')) > 0
                                           ? fileName.left(fileName.lastIndexOf(QLatin1Char('.')))
                                           : fileName);
    const QByteArray format = formatOf(path);
    if (format.isEmpty()) {
        result.error = refusal(
            path, QCoreApplication::translate(
                      "PageImport", "it is not a BMP, JPEG, PNG or TIFF image nor a PDF document.",
                      "importUnknownKind"));
        return result;
    }
    // A JPEG cut short or damaged decodes with a warning into a mostly gray page:
    // refused here as the PDF export refuses it, before a copy is made.
    if (format == "jpeg") {
        QFile file;
        PageFile::Failure failure = PageFile::Failure::None;
        QString why;
        const QByteArray jpeg =
            PageFile::open(file, path, &failure) ? file.readAll() : QByteArray();
        if (jpeg.isEmpty() || !JpegCheck::decodes(jpeg, &why)) {
            result.error = refusal(path, why.isEmpty() ? unreadable(path) : why + QLatin1Char('.'));
            return result;
        }
    }
    // A PDF is drawn page by page here: its pages are pictures of their own, with
    // the document as their original, like the frames of a TIFF.
    PdfPageRenderer pdf;
    QString why;
    if (format == "pdf" && !pdf.open(path, &why)) {
        result.error = refusal(path, why);
        return result;
    }
    const int frames = format == "pdf"    ? pdf.pageCount()
                       : format == "tiff" ? ImageFileReader::frameCount(path)
                                          : 1;
    // A picture every reader opens as it is needs no copy until it changes; a
    // name that is not UTF-8 is opened alike only by some of them. A JPEG gets its
    // copy as before: the PDF export would take its data as it is, and the page
    // would no longer come out as the same bytes.
    const bool asItIs =
        frames == 1 && (format == "bmp" || format == "png") && plainName(original) == original;
    const auto dropCopies = [&result, &tempFolder] {
        for (const PageEntry &page : std::as_const(result.pages))
            WorkingCopies::remove(page.workingCopy, page.pageFile, tempFolder);
        result.pages.clear();
    };
    // Each frame's copy is compressed and written while the next frame is drawn:
    // the two take the two cores. One copy at a time is under way.
    struct Writing
    {
        PageEntry page;
        QString why;
        std::future<bool> written;
    };
    std::optional<Writing> writing;
    // The copy under way, once whole: listed; when it failed, the file is refused.
    const auto settle = [&]() {
        if (!writing)
            return true;
        const bool ok = writing->written.get();
        const Writing done = std::move(*writing);
        writing.reset();
        if (!ok) {
            dropCopies();
            result.error = refusal(path, done.why);
            return false;
        }
        result.pages.append(done.page);
        if (progress)
            progress(int(result.pages.size()), frames);
        return true;
    };
    for (int frame = 0; frame < frames; ++frame) {
        // Pages read so far are whole (their copies synced) and stay.
        if (cancelled && cancelled()) {
            settle();
            return result;
        }
        QImage image =
            format == "pdf" ? pdf.render(frame, &why) : ImageFileReader::read(path, &why, frame);
        // The decoders leave the resolution at Qt's 96 dpi; the page keeps the one
        // the file records (as the PDF export of the file itself reads it), so its
        // PDF page has the paper's size.
        if (format != "pdf" && !image.isNull()) {
            const QSizeF dpi = ImageResolution::ofFile(path, frame);
            if (!dpi.isEmpty()) {
                image.setDotsPerMeterX(qRound(dpi.width() / 0.0254));
                image.setDotsPerMeterY(qRound(dpi.height() / 0.0254));
            }
        }
        // A cancel while the frame was read: writing it would only delay the end.
        if (cancelled && cancelled()) {
            settle();
            return result;
        }
        if (image.isNull()) {
            settle();
            dropCopies();
            result.error = refusal(path, why);
            return result;
        }
        // The copies of the whole file, estimated from its first page, must fit:
        // said now, before any is written, rather than when the disk is full.
        if (frame == 0 && !asItIs) {
            const QString shortage = FreeSpace::shortfall(
                QString(), 0, tempFolder, FreeSpace::compressedCopyBytes(image.size()), frames);
            if (!shortage.isEmpty()) {
                result.error = refusal(path, shortage);
                return result;
            }
        }
        PageEntry page;
        page.pageFile = original;
        page.caption =
            frames > 1 ? QStringLiteral("%1 (%2)").arg(fileName).arg(frame + 1) : fileName;
        page.size = image.size();
        page.dpi = qRound(image.dotsPerMeterX() * 0.0254);
        page.added = true;
        if (asItIs) {
            page.workingCopy = original;
            page.thumbnail = Thumbnail::fromImage(image, image.width(), image.height());
            result.pages.append(page);
            if (progress)
                progress(frame + 1, frames);
            continue;
        }
        // A cancel while the frame before was written: this one is not begun.
        if (!settle() || (cancelled && cancelled()))
            return result;
        const QString base =
            frames > 1 ? QStringLiteral("%1-%2").arg(baseName).arg(frame + 1) : baseName;
        writing.emplace();
        writing->page = page;
        Writing *w = &*writing;
        w->written = std::async(std::launch::async, [w, image, tempFolder, base] {
            w->page.thumbnail = Thumbnail::fromImage(image, image.width(), image.height());
            return writeFrameCopy(image, tempFolder, base, &w->page.workingCopy, &w->why);
        });
    }
    settle();
    return result;
}

bool writeChangedCopy(const PageEntry &page, const QString &folder, int quarterTurns,
                      double degrees, QString *copy, QString *error)
{
    QImage image = ImageFileReader::read(page.workingCopy, error);
    if (image.isNull())
        return false;
    const QSizeF dpi = ImageResolution::ofFile(page.workingCopy);
    const bool lineArt = image.depth() == 1;
    if (image.depth() < 8)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    quarterTurns = ((quarterTurns % 4) + 4) % 4;
    if (quarterTurns != 0)
        image = image.transformed(QTransform().rotate(90.0 * quarterTurns));
    if (degrees != 0)
        image = PageStraightener::rotated(image, degrees);
    if (lineArt)
        image = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    if (!dpi.isEmpty()) {
        const bool swap = quarterTurns % 2 != 0;
        image.setDotsPerMeterX(qRound((swap ? dpi.height() : dpi.width()) / 0.0254));
        image.setDotsPerMeterY(qRound((swap ? dpi.width() : dpi.height()) / 0.0254));
    }
    const QString into = folder.isEmpty() ? TempFolder::path() : folder;
    const QString name = absolute(page.workingCopy).section(QLatin1Char('/'), -1);
    const QString base =
        plainName(name.lastIndexOf(QLatin1Char('.')) > 0 ? name.left(name.lastIndexOf('.')) : name);
    int clash = 0;
    return PageImageWriter::saveNew(image, QDir(into).filePath(base + QStringLiteral(".bmp")),
                                    nextNameIn(into, base, QStringLiteral("bmp"), &clash), copy,
                                    error);
}

} // namespace PageImport
