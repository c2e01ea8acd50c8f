#pragma once

#include <QImage>
#include <QString>

// Reads one image of a TIFF file through libtiff's RGBA interface, which
// handles every photometric interpretation, bit depth and orientation libtiff knows.
// libtiff's warnings and errors are collected, never printed.
class TiffReader final
{
public:
    // Image frame (0: the first), upright: Format_RGBX8888 when the file has no
    // alpha, Format_RGBA8888_Premultiplied when it has. A null image on failure, also
    // at the first libtiff error (a damaged strip), with the reason in *error:
    // "Unable to open file '<path>'" when the file cannot be opened.
    static QImage read(const QString &path, QString *error = nullptr, int frame = 0);

    // The number of images (directories) in the file; 0 when it cannot be opened.
    static int frameCount(const QString &path);
};
