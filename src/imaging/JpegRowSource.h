#pragma once

#include <QImage>
#include <array>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

// How the scanlines of a QImage reach libjpeg: passed as they are where libjpeg-turbo
// reads the layout itself, otherwise converted one scanline (or a small strip) at a
// time into a buffer, so no second full-size image is ever made. Internal to JpegCodec.
class JpegRowSource final
{
    Q_DISABLE_COPY_MOVE(JpegRowSource)

public:
    // grayOutput: write one gray component (only for gray images).
    JpegRowSource(const QImage &image, bool grayOutput);

    J_COLOR_SPACE colorSpace() const { return m_colorSpace; }
    int components() const { return m_components; }
    // Row y, valid until the next call.
    const JSAMPLE *row(int y);

    // Gray and line-art images whose pixels are all shades of gray.
    static bool isGrayImage(const QImage &image);

private:
    enum Mode
    {
        Direct,
        Gray8ToRgb,
        Gray16,
        Palette,
        Strip
    };

    void buildPalette();
    const JSAMPLE *paletteRow(int y);
    const JSAMPLE *stripRow(int y);

    const QImage &m_image;
    const bool m_gray;
    Mode m_mode = Strip;
    J_COLOR_SPACE m_colorSpace = JCS_RGB;
    int m_components = 3;
    std::vector<JSAMPLE> m_buffer;
    std::array<QRgb, 256> m_palette{};
    QImage m_strip;
    int m_stripTop = 0;
};
