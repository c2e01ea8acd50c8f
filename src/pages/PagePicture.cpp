#include "pages/PagePicture.h"

#include "pages/GalleryLog.h"
#include "pages/GalleryRules.h"
#include "imaging/ImageFileReader.h"

#include <QCoreApplication>
#include <QFileInfo>

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
        return ImageFileReader::readAs(path, QByteArrayLiteral("tiff"), error);
    }

    // The extension is what follows the last dot of the name, if any.
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    const QByteArray format = formatForExtension(extension);
    if (format.isEmpty()) {
        setError(error,
                 QCoreApplication::translate("PageImages", "Unknown picture file extension (.%1)")
                     .arg(extension));
        return QImage();
    }
    // The same reader as the PDF export: a damaged file is refused, not shown black.
    return ImageFileReader::readAs(path, format, error);
}

} // namespace PagePicture
