#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

class QIODevice;

// JPEG encoding and decoding over libjpeg-turbo, shared by the page files of the
// scanner control and the pages of the PDF writer.
namespace JpegCodec {

struct EncodeOptions
{
    int quality = 75;
    // Always write three components (the PDF pages); otherwise gray and line-art
    // images stay one-component gray.
    bool forceRgb = false;
    // JFIF density in dots per inch; 0 writes no density (aspect ratio 1:1).
    int dotsPerInch = 0;
    // Huffman tables made for the image: the same pixels in a few per cent fewer
    // bytes, at some encoding time.
    bool optimizeCoding = false;
};

// Baseline JPEG with libjpeg's standard settings (4:2:0, integer DCT, no Huffman
// optimisation). Returns an empty array and sets *error on failure.
QByteArray encode(const QImage &image, const EncodeOptions &options, QString *error = nullptr);

// Pixel rows that are not held in a QImage, such as rows read straight from a BMP file.
enum class RowLayout
{
    Bgr888,   // blue, green, red bytes
    Bgrx8888, // blue, green, red and an unused byte
};

// Encodes colour rows (always three components) that the caller hands out from
// top to bottom; row(y) must stay valid until the next call.
QByteArray encodeRows(int width, int height, RowLayout layout,
                      const std::function<const uchar *(int y)> &row, const EncodeOptions &options,
                      QString *error = nullptr);

// The same JPEG with Huffman tables made for it: the quantised coefficients are
// copied, not decoded and encoded again, so every decoder shows exactly the pixels
// the original shows. Only the JFIF or Adobe marker is kept (the PDF image
// dictionary says the rest). The original when that is not smaller (a progressive
// file often is already), when libjpeg warns about the data, or on any error.
QByteArray optimizedCoding(const QByteArray &jpeg);

// Decodes a JPEG held in memory; a null image and *error on failure.
QImage decode(const QByteArray &data, QString *error = nullptr);
// The same read from device in blocks, never further than the decoder needs.
QImage decode(QIODevice &device, QString *error = nullptr);

} // namespace JpegCodec
