#pragma once

#include <cstddef>
#include <cstdint>

// The frame-header scan of the PDF writer, kept free of Qt so that the fuzz target
// builds from this file alone.

struct JpegFrameInfo
{
    int width = 0;
    int height = 0;
    int components = 0; // 1 gray, 3 colour, 4 CMYK
};

enum class JpegHeaderStatus
{
    Ok,
    NoStartOfImage,        // the data does not begin with 0xFFD8
    NoFrame,               // 0xFFD9 or 0xFFFF came before a frame marker
    Truncated,             // the data ends before the frame header is complete
    BadSegmentLength,      // a segment length below 2 (it could never move forward)
    UnsupportedComponents, // neither 1, 3 nor 4 colour components
    EmptyImage,            // the frame gives a width or height of 0
};

// Scans the markers up to the first baseline (0xFFC0) or progressive (0xFFC2) frame
// and reads its size and component count. Every other segment, other frame types
// included, is skipped by its length. Never reads outside [data, data + size).
JpegHeaderStatus ReadJPEGHeader(const std::uint8_t *data, std::size_t size, JpegFrameInfo &info);

// English reason for a status other than Ok, for error messages.
const char *jpegHeaderStatusText(JpegHeaderStatus status);
