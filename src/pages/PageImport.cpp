#include "pages/PageImport.h"

#include "files/LocalFileName.h"
#include "imaging/ImageFileReader.h"
#include "imaging/JpegCheck.h"
#include "imaging/PageFile.h"
#include "pages/PdfPageRenderer.h"
#include "pages/Thumbnail.h"
#include "pdf/ImageResolution.h"
#include "scanner/PageImageWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

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
        if (!PageFile::open(file, path, &failure) || !JpegCheck::decodes(file.readAll(), &why)) {
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
    const auto dropCopies = [&result] {
        for (const PageEntry &page : std::as_const(result.pages))
            QFile::remove(page.workingCopy);
        result.pages.clear();
    };
    for (int frame = 0; frame < frames; ++frame) {
        // Pages read so far are whole (their copies synced) and stay.
        if (cancelled && cancelled())
            return result;
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
        if (cancelled && cancelled())
            return result;
        if (image.isNull()) {
            dropCopies();
            result.error = refusal(path, why);
            return result;
        }
        const QString base =
            frames > 1 ? QStringLiteral("%1-%2").arg(baseName).arg(frame + 1) : baseName;
        int clash = 0;
        const PageImageWriter::NextName nextName = [&](const QString &) {
            return ++clash > 999 ? QString()
                                 : QDir(tempFolder)
                                       .filePath(QStringLiteral("%1_%2.bmp").arg(base).arg(clash));
        };
        PageEntry page;
        if (!PageImageWriter::saveNew(image, QDir(tempFolder).filePath(base + ".bmp"), nextName,
                                      &page.workingCopy, &why)) {
            dropCopies();
            result.error = refusal(path, why);
            return result;
        }
        page.pageFile = original;
        page.caption =
            frames > 1 ? QStringLiteral("%1 (%2)").arg(fileName).arg(frame + 1) : fileName;
        page.size = image.size();
        page.dpi = qRound(image.dotsPerMeterX() * 0.0254);
        page.added = true;
        page.thumbnail = Thumbnail::fromImage(image, image.width(), image.height());
        result.pages.append(page);
        if (progress)
            progress(frame + 1, frames);
    }
    return result;
}

} // namespace PageImport
