#pragma once

#include <QImage>

// Pixel memory for whole scanned pages. A fresh A4 300 dpi colour page is 26 MB;
// touched a 4 KB page at a time it costs thousands of page faults, which on a
// virtual machine took 70 ms a sheet, longer than reading it from the scanner.
// Large images are therefore placed where the kernel may back them with huge
// pages (Linux); elsewhere, and for small images, this is a plain QImage.
namespace PageMemory {

// An uninitialised image, like QImage(width, height, format); a null image
// when the memory cannot be had.
QImage allocate(int width, int height, QImage::Format format);

} // namespace PageMemory
