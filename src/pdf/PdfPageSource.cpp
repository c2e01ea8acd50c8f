#include "pdf/PdfPageSource.h"

#include "i18n/SystemErrorText.h"
#include "imaging/BmpRowReader.h"
#include "imaging/ImageFileReader.h"
#include "imaging/JpegCheck.h"
#include "imaging/JpegCodec.h"
#include "imaging/PageFile.h"
#include "pdf/JpegHeader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <cerrno>

namespace {

// Held pages by key; several exports (and their workers) may read at once.
struct HeldPages
{
    QMutex mutex;
    QHash<QString, QImage> images;
};

HeldPages &held()
{
    static HeldPages pages;
    return pages;
}

QImage heldImage(const QString &path)
{
    HeldPages &h = held();
    const QMutexLocker lock(&h.mutex);
    return h.images.value(path);
}

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

// Only regular files no larger than a page file can be: reading a FIFO or a device
// could block the export for ever or never end.
bool openRegular(QFile &file, const QString &path, QString *error)
{
    PageFile::Failure failure = PageFile::Failure::None;
    if (PageFile::open(file, path, &failure))
        return true;
    if (failure == PageFile::Failure::CannotOpen)
        setError(error, QCoreApplication::translate("PageImages", "Unable to open file '%1': %2")
                            .arg(path, SystemErrorText::text(errno)));
    else
        setError(error, PageFile::refusalText(path, failure));
    return false;
}

bool readAll(QFile &file, const QString &path, QByteArray &data, QString *error)
{
    data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, QCoreApplication::translate("PageImages", "Unable to read file '%1': %2")
                            .arg(path, file.errorString()));
        return false;
    }
    return true;
}

// JPEG data is embedded unchanged, so it is decoded once here (cheaply) to refuse
// a damaged file instead of writing a PDF whose page cannot be shown. The header is
// checked first, for the writer's own, more precise reasons.
bool checkJpeg(const QString &path, const QByteArray &jpeg, QString *error)
{
    JpegFrameInfo frame;
    const JpegHeaderStatus header = ReadJPEGHeader(
        reinterpret_cast<const std::uint8_t *>(jpeg.constData()), std::size_t(jpeg.size()), frame);
    QString reason;
    if (header != JpegHeaderStatus::Ok)
        reason = QString::fromLatin1(jpegHeaderStatusText(header));
    else if (JpegCheck::decodes(jpeg, &reason))
        return true;
    setError(error, QStringLiteral("'%1': %2").arg(path, reason));
    return false;
}

JpegCodec::EncodeOptions pageOptions()
{
    JpegCodec::EncodeOptions options;
    options.quality = 75;
    options.forceRgb = true;
    return options;
}

} // namespace

namespace PdfPageSource {

HeldPage::HeldPage(const QString &key, const QImage &image) : m_key(key)
{
    HeldPages &h = held();
    const QMutexLocker lock(&h.mutex);
    h.images.insert(key, image);
}

HeldPage::~HeldPage()
{
    HeldPages &h = held();
    const QMutexLocker lock(&h.mutex);
    h.images.remove(m_key);
}

bool readFile(const QString &path, QByteArray &data, QString *error)
{
    // A held page reads as the JPEG of its page: what a bitmap page becomes anyway.
    if (const QImage image = heldImage(path); !image.isNull())
        return imagePage(image, path, data, error);
    QFile file;
    return openRegular(file, path, error) && readAll(file, path, data, error);
}

bool bitmapPage(const QString &path, QByteArray &jpeg, QString *error, int frame)
{
    if (const QImage image = heldImage(path); !image.isNull())
        return imagePage(image, path, jpeg, error);
    const JpegCodec::EncodeOptions options = pageOptions();
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
    if (const QImage image = heldImage(path); !image.isNull())
        return imagePage(image, path, jpeg, error);
    QFile file;
    if (!openRegular(file, path, error))
        return false;
    const bool soi = file.peek(2) == QByteArrayLiteral("\xFF\xD8");
    if (!hasJpegName(path) && !soi) {
        file.close();
        return bitmapPage(path, jpeg, error, frame);
    }
    // A file named as a JPEG that does not start as one is refused from its start.
    if (!soi)
        return checkJpeg(path, file.peek(64), error);
    return readAll(file, path, jpeg, error) && checkJpeg(path, jpeg, error);
}

bool pageWithImage(const QString &path, QByteArray &jpeg, QImage &image, QString *error, int frame,
                   bool encodeBitmap)
{
    if (const QImage page = heldImage(path); !page.isNull()) {
        image = page;
        return !encodeBitmap || imagePage(image, path, jpeg, error);
    }
    QFile file;
    if (!openRegular(file, path, error))
        return false;
    QString reason;
    if (!hasJpegName(path) && file.peek(2) != QByteArrayLiteral("\xFF\xD8")) {
        file.close();
        image = ImageFileReader::read(path, error, frame);
        if (image.isNull())
            return false;
        if (!encodeBitmap)
            return true;
        jpeg = JpegCodec::encode(image, pageOptions(), &reason);
    } else {
        if (file.peek(2) != QByteArrayLiteral("\xFF\xD8"))
            return checkJpeg(path, file.peek(64), error);
        if (!readAll(file, path, jpeg, error) || !checkJpeg(path, jpeg, error))
            return false;
        image = JpegCodec::decode(jpeg, &reason);
    }
    if (jpeg.isEmpty() || image.isNull()) {
        setError(error, QStringLiteral("'%1': %2").arg(path, reason));
        return false;
    }
    return true;
}

bool imagePage(const QImage &image, const QString &path, QByteArray &jpeg, QString *error)
{
    QString reason;
    jpeg = JpegCodec::encode(image, pageOptions(), &reason);
    if (jpeg.isEmpty()) {
        setError(error, QStringLiteral("'%1': %2").arg(path, reason));
        return false;
    }
    return true;
}

} // namespace PdfPageSource
