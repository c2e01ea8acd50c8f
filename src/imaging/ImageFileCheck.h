#pragma once

#include <QString>

class QIODevice;

// Tells whether an image file holds all the data its header promises, before any
// decoder sees it. Decoders that meet the end of the data early fill the rest of
// the picture with black and report success; a damaged page must be refused
// instead. Checks an empty file and the pixel rows of a BMP; other formats are
// checked by their own decoders.
namespace ImageFileCheck {

// An empty string when the file looks whole, otherwise the problem as a message
// naming path. Reads the header from file, which must be open; leaves the
// position where it was.
QString problem(QIODevice &file, const QString &path);

} // namespace ImageFileCheck
