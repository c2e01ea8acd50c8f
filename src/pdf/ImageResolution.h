#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>

// The resolution a page file records, in dots per inch across and down, read from
// its header: BMP pixels per metre, PNG pHYs, JPEG JFIF density, TIFF resolution
// tags. An empty size when the file records none (or only an aspect ratio), or
// values no scanner writes.
namespace ImageResolution {

// head: at least the file's first 64 KB (JPEG and PNG keep it near the start).
QSizeF fromHeader(const QByteArray &head);
// Reads the file itself; frame picks the page of a multi-page TIFF.
QSizeF ofFile(const QString &path, int frame = 0);

} // namespace ImageResolution
