#include "pdf/PdfPageSource.h"

#include "imaging/BmpRowReader.h"
#include "imaging/ImageFileReader.h"
#include "imaging/JpegCodec.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool hasJpegName(const QString &path)
{
    static const QStringList suffixes = {QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                         QStringLiteral("jpe"), QStringLiteral("jfif")};
    return suffixes.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

} // namespace

namespace PdfPageSource {

bool readFile(const QString &path, QByteArray &data, QString *error)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        setError(error,
                 QCoreApplication::translate("PageImages", "Unable to open file '%1'").arg(path));
        return false;
    }
    data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, QCoreApplication::translate("PageImages", "Unable to read file '%1': %2")
                            .arg(path, file.errorString()));
        return false;
    }
    return true;
}

bool bitmapPage(const QString &path, QByteArray &jpeg, QString *error, int frame)
{
    JpegCodec::EncodeOptions options;
    options.quality = 75;
    options.forceRgb = true;
    QString reason;

    // Colour working copies are encoded row by row straight from the file: the same
    // JPEG as from the decoded image, without a full-size copy of the page.
    BmpRowReader bmp;
    if (frame == 0 && bmp.open(path)) {
        jpeg = JpegCodec::encodeRows(
            bmp.width(), bmp.height(),
            bmp.bitsPerPixel() == 24 ? JpegCodec::RowLayout::Bgr888
                                     : JpegCodec::RowLayout::Bgrx8888,
            [&bmp](int y) { return bmp.row(y); }, options, &reason);
        if (bmp.failed()) {
            setError(
                error,
                QCoreApplication::translate("PageImages", "Unable to read file '%1'").arg(path));
            return false;
        }
    } else {
        const QImage image = ImageFileReader::read(path, error, frame);
        if (image.isNull())
            return false;
        jpeg = JpegCodec::encode(image, options, &reason);
    }
    if (jpeg.isEmpty()) {
        setError(error, QStringLiteral("'%1': %2").arg(path, reason));
        return false;
    }
    return true;
}

bool page(const QString &path, QByteArray &jpeg, QString *error, int frame)
{
    if (hasJpegName(path))
        return readFile(path, jpeg, error);

    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        setError(error,
                 QCoreApplication::translate("PageImages", "Unable to open file '%1'").arg(path));
        return false;
    }
    if (file.peek(2) == QByteArrayLiteral("\xFF\xD8")) {
        file.close();
        return readFile(path, jpeg, error);
    }
    file.close();
    return bitmapPage(path, jpeg, error, frame);
}

} // namespace PdfPageSource
