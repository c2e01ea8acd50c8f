#pragma once

#include <QByteArray>

// One page picture ready for an archival PDF: the stream data with what the image
// dictionary must say about it, and the resolution that gives the page its size.
struct PdfImage
{
    enum class Filter
    {
        Dct,   // JPEG data (a file's own or encoded at page quality)
        Ccitt, // CCITT Group 4, 1 bit per pixel, 0 black
        Flate, // zlib, 8 bits per component, rows top to bottom
    };

    QByteArray data;
    Filter filter = Filter::Dct;
    int width = 0;
    int height = 0;
    int components = 3; // 1 gray (or black and white), 3 RGB
    // Flate: each row starts with its PNG filter type (predictor 15).
    bool pngPredicted = false;
    // Dots per inch across and down; pictures that carry none count as 72, one
    // pixel per point.
    double dpiX = 72;
    double dpiY = 72;
};
