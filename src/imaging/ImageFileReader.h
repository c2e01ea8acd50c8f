#pragma once

#include <QImage>
#include <QString>

// Reads a page image from a file: TIFF through TiffReader (every layout libtiff
// knows), everything else (BMP, PNG, ...) through Qt's image readers.
class ImageFileReader final
{
public:
    // A null image on failure, with the reason in *error, naming the file:
    // "Unable to open file '<path>'" when it cannot be opened.
    static QImage read(const QString &path, QString *error = nullptr);
};
