#include "gallery/PagePicture.h"

#include "gallery/GalleryLog.h"
#include "gallery/GalleryRules.h"
#include "imaging/JpegCodec.h"
#include "imaging/TiffReader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The decoder for a file extension (any letter case); empty when none handles it.
QByteArray formatForExtension(const QString &extension)
{
    const QString e = extension.toLower();
    if (e == QLatin1String("bmp"))
        return QByteArrayLiteral("bmp");
    if (e == QLatin1String("jpg") || e == QLatin1String("jpeg") || e == QLatin1String("jpe"))
        return QByteArrayLiteral("jpeg");
    return QByteArray();
}

} // namespace

namespace PagePicture {

QImage load(const QString &path, const QString &caption, QString *error)
{
    if (GalleryRules::readsAsTiff(caption)) {
        qCDebug(lcGallery) << "preview through libtiff:" << path;
        return TiffReader::read(path, error);
    }

    // The extension is what follows the last dot of the name, if any.
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    const QByteArray format = formatForExtension(extension);
    if (format.isEmpty()) {
        setError(error, QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
        return QImage();
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Unable to open file '%1'").arg(path));
        return QImage();
    }
    QString reason;
    QImage image;
    if (format == "jpeg") {
        // libjpeg-turbo directly, as every JPEG of the program.
        image = JpegCodec::decode(file.readAll(), &reason);
    } else {
        QImageReader reader(&file, format);
        reader.setDecideFormatFromContent(false);
        image = reader.read();
        reason = reader.errorString();
    }
    if (image.isNull())
        setError(error, QStringLiteral("Unable to read the picture in '%1': %2").arg(path, reason));
    return image;
}

} // namespace PagePicture
