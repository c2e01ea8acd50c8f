#pragma once

#include <QImage>
#include <QString>

// Reads the first image of a TIFF file through libtiff's RGBA interface, which
// handles every photometric interpretation, bit depth and orientation libtiff knows.
// libtiff's warnings and errors are collected, never printed.
class TiffReader final
{
public:
    // The first image, upright: Format_RGBX8888 when the file has no alpha,
    // Format_RGBA8888_Premultiplied when it has. A null image on failure, with the
    // reason in *error: "Unable to open file '<path>'" when the file cannot be opened.
    static QImage read(const QString &path, QString *error = nullptr);
};
