#include "imaging/ImageFileReader.h"

#include "imaging/ImageFileCheck.h"
#include "imaging/JpegCodec.h"
#include "imaging/PageFile.h"
#include "imaging/PageLimits.h"
#include "imaging/TiffReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

namespace {

bool isTiff(const QByteArray &magic)
{
    return magic.startsWith(QByteArrayLiteral("II*\0")) ||
           magic.startsWith(QByteArrayLiteral("MM\0*")) ||
           magic.startsWith(QByteArrayLiteral("II+\0")) || // BigTIFF
           magic.startsWith(QByteArrayLiteral("MM\0+"));
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString cannotOpen(const QString &path)
{
    return QCoreApplication::translate("PageImages", "Unable to open file '%1'").arg(path);
}

// Opens path and refuses a file that is plainly damaged before any decoder runs.
bool openWhole(QFile &file, const QString &path, QString *error)
{
    PageFile::Failure failure = PageFile::Failure::None;
    if (!PageFile::open(file, path, &failure)) {
        setError(error, failure == PageFile::Failure::CannotOpen
                            ? cannotOpen(path)
                            : PageFile::refusalText(path, failure));
        return false;
    }
    const QString problem = ImageFileCheck::problem(file, path);
    if (!problem.isEmpty()) {
        setError(error, problem);
        return false;
    }
    return true;
}

QImage decode(QFile &file, const QString &path, const QByteArray &format, QString *error)
{
    QString reason;
    QImage image;
    if (format == "jpeg") {
        // libjpeg-turbo directly, as every JPEG of the program, reading no further
        // than the picture goes.
        image = JpegCodec::decode(file, &reason);
    } else {
        PageLimits::applyToQt();
        QImageReader reader(&file, format);
        reader.setDecideFormatFromContent(format.isEmpty());
        image = reader.read();
        reason = reader.errorString();
    }
    if (image.isNull())
        setError(error,
                 QCoreApplication::translate("PageImages", "'%1' is not a readable image: %2")
                     .arg(path, reason));
    return image;
}

} // namespace

QImage ImageFileReader::read(const QString &path, QString *error, int frame)
{
    QFile file;
    if (!openWhole(file, path, error))
        return {};
    if (isTiff(file.peek(4))) {
        file.close();
        return TiffReader::read(path, error, frame);
    }
    const QByteArray format = file.peek(2) == QByteArrayLiteral("\xFF\xD8") ? "jpeg" : "";
    return decode(file, path, format, error);
}

QImage ImageFileReader::readAs(const QString &path, const QByteArray &format, QString *error)
{
    if (format == "tiff")
        return TiffReader::read(path, error);
    QFile file;
    if (!openWhole(file, path, error))
        return {};
    return decode(file, path, format, error);
}

int ImageFileReader::frameCount(const QString &path)
{
    // Anything but a regular page file is one page, which the page reader then refuses.
    QFile file;
    PageFile::Failure failure = PageFile::Failure::None;
    if (!PageFile::open(file, path, &failure) || !isTiff(file.peek(4)))
        return 1;
    file.close();
    return qMax(1, TiffReader::frameCount(path));
}
