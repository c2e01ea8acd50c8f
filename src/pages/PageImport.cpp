#include "pages/PageImport.h"

#include "imaging/ImageFileReader.h"
#include "pages/PdfPageRenderer.h"
#include "pages/Thumbnail.h"
#include "scanner/PageImageWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PageImport {

namespace {

QString refusal(const QString &path, const QString &reason)
{
    return QCoreApplication::translate("PageImport", "The file %1 cannot be added: %2",
                                       "importRefused")
        .arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

QByteArray formatOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
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
    const QFileInfo info(path);
    if (!info.isFile()) {
        result.error = refusal(
            path, QCoreApplication::translate("PageImport", "it does not exist.", "importMissing"));
        return result;
    }
    const QByteArray format = formatOf(path);
    if (format.isEmpty()) {
        result.error = refusal(
            path, QCoreApplication::translate(
                      "PageImport", "it is not a BMP, JPEG, PNG or TIFF image nor a PDF document.",
                      "importUnknownKind"));
        return result;
    }
    const QString original = QDir::cleanPath(info.absoluteFilePath());
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
        const QImage image =
            format == "pdf" ? pdf.render(frame, &why) : ImageFileReader::read(path, &why, frame);
        // A cancel while the frame was read: writing it would only delay the end.
        if (cancelled && cancelled())
            return result;
        if (image.isNull()) {
            dropCopies();
            result.error = refusal(path, why);
            return result;
        }
        const QString base =
            frames > 1 ? QStringLiteral("%1-%2").arg(info.completeBaseName()).arg(frame + 1)
                       : info.completeBaseName();
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
        page.caption = frames > 1 ? QStringLiteral("%1 (%2)").arg(info.fileName()).arg(frame + 1)
                                  : info.fileName();
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
