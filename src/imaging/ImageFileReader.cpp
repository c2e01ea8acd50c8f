#include "imaging/ImageFileReader.h"

#include "imaging/TiffReader.h"

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

} // namespace

QImage ImageFileReader::read(const QString &path, QString *error)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Unable to open file '%1'").arg(path);
        return {};
    }
    if (isTiff(file.peek(4))) {
        file.close();
        return TiffReader::read(path, error);
    }

    QImageReader reader(&file);
    QImage image = reader.read();
    if (image.isNull() && error)
        *error = QStringLiteral("'%1' is not a readable image: %2").arg(path, reader.errorString());
    return image;
}
