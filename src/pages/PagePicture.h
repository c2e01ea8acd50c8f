#pragma once

#include <QImage>
#include <QString>

// Loads a page file for the preview window. A caption naming a TIFF file goes
// through libtiff's whole-image RGBA reader; any other file is decoded by its
// extension (BMP and JPEG, the formats the program writes).
namespace PagePicture {

// path is the page file, caption the entry's file name (which decides the reader).
// A null image on failure, with the reason in *error: "Unable to open file '...'"
// for a file that cannot be opened, "Unknown picture file extension (.png)" for an
// extension no decoder handles.
QImage load(const QString &path, const QString &caption, QString *error = nullptr);

} // namespace PagePicture
