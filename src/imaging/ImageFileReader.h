#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Reads a page image from a file: the one way the PDF export, pagora-pdf and the
// preview window decode pages. TIFF goes through TiffReader (every layout libtiff
// knows), JPEG through libjpeg-turbo, everything else (BMP, PNG, ...) through Qt's
// image readers. A damaged file (empty, cut short, a header promising more than
// the file holds) is refused, never shown as a black or garbled picture.
class ImageFileReader final
{
public:
    // The decoder chosen from the file's contents; frame picks the page of a
    // multi-page TIFF (0 for every other file). A null image on failure, with the
    // reason in *error, naming the file: "Unable to open file '<path>'" when it
    // cannot be opened.
    static QImage read(const QString &path, QString *error = nullptr, int frame = 0);

    // The same with the decoder forced: "bmp", "jpeg", "tiff", or any format
    // Qt's readers know. The preview chooses it from the file name.
    static QImage readAs(const QString &path, const QByteArray &format, QString *error = nullptr);

    // Pages of a multi-page TIFF; 1 for every other file, and for a file that
    // cannot be read (reading it then reports why).
    static int frameCount(const QString &path);
};
