#include "imaging/JpegRowSource.h"

#include <algorithm>

namespace {

bool hasGrayPalette(const QImage &image)
{
    const QList<QRgb> table = image.colorTable();
    return std::all_of(table.begin(), table.end(), [](QRgb c) { return qIsGray(c); });
}

} // namespace

bool JpegRowSource::isGrayImage(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return true;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        return hasGrayPalette(image);
    default:
        return false;
    }
}

JpegRowSource::JpegRowSource(const QImage &image, bool grayOutput)
    : m_image(image), m_gray(grayOutput)
{
    const int width = image.width();
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        // 0xAARRGGBB words: B, G, R, A in memory on little-endian machines.
        m_mode = Direct;
        m_colorSpace = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        m_components = 4;
        break;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
        m_mode = Direct;
        m_colorSpace = JCS_EXT_RGBX;
        m_components = 4;
        break;
    case QImage::Format_RGB888:
        m_mode = Direct;
        m_colorSpace = JCS_RGB;
        m_components = 3;
        break;
    case QImage::Format_BGR888:
        m_mode = Direct;
        m_colorSpace = JCS_EXT_BGR;
        m_components = 3;
        break;
    case QImage::Format_Grayscale8:
        m_mode = m_gray ? Direct : Gray8ToRgb;
        m_colorSpace = JCS_GRAYSCALE;
        m_components = 1;
        break;
    case QImage::Format_Grayscale16:
        m_mode = Gray16;
        break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        m_mode = Palette;
        buildPalette();
        break;
    default:
        m_mode = Strip;
        break;
    }
    if (m_mode != Direct) {
        m_colorSpace = m_gray ? JCS_GRAYSCALE : JCS_RGB;
        m_components = m_gray ? 1 : 3;
    }
    if (m_mode != Direct && m_mode != Strip)
        m_buffer.resize(size_t(width) * size_t(m_components));
}

const JSAMPLE *JpegRowSource::row(int y)
{
    const int width = m_image.width();
    switch (m_mode) {
    case Direct:
        return m_image.constScanLine(y);
    case Gray8ToRgb: {
        const uchar *src = m_image.constScanLine(y);
        JSAMPLE *dst = m_buffer.data();
        for (int x = 0; x < width; ++x, dst += 3)
            dst[0] = dst[1] = dst[2] = src[x];
        return m_buffer.data();
    }
    case Gray16: {
        const auto *src = reinterpret_cast<const quint16 *>(m_image.constScanLine(y));
        JSAMPLE *dst = m_buffer.data();
        for (int x = 0; x < width; ++x) {
            const JSAMPLE v = JSAMPLE((src[x] + 128) / 257);
            if (m_gray) {
                *dst++ = v;
            } else {
                dst[0] = dst[1] = dst[2] = v;
                dst += 3;
            }
        }
        return m_buffer.data();
    }
    case Palette:
        return paletteRow(y);
    case Strip:
        return stripRow(y);
    }
    return nullptr;
}

void JpegRowSource::buildPalette()
{
    // Indices beyond the colour table come out black, as in Qt's own conversions.
    m_palette.fill(qRgb(0, 0, 0));
    const QList<QRgb> table = m_image.colorTable();
    for (int i = 0; i < std::min<int>(int(table.size()), 256); ++i)
        m_palette[size_t(i)] = table[i];
    if (m_image.format() != QImage::Format_Indexed8 && table.isEmpty()) {
        m_palette[0] = qRgb(0, 0, 0);
        m_palette[1] = qRgb(255, 255, 255);
    }
}

const JSAMPLE *JpegRowSource::paletteRow(int y)
{
    const uchar *src = m_image.constScanLine(y);
    const int width = m_image.width();
    JSAMPLE *dst = m_buffer.data();
    for (int x = 0; x < width; ++x) {
        int index = 0;
        switch (m_image.format()) {
        case QImage::Format_Mono:
            index = (src[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        case QImage::Format_MonoLSB:
            index = (src[x >> 3] >> (x & 7)) & 1;
            break;
        default:
            index = src[x];
            break;
        }
        const QRgb c = m_palette[size_t(index)];
        if (m_gray) {
            *dst++ = JSAMPLE(qRed(c));
        } else {
            dst[0] = JSAMPLE(qRed(c));
            dst[1] = JSAMPLE(qGreen(c));
            dst[2] = JSAMPLE(qBlue(c));
            dst += 3;
        }
    }
    return m_buffer.data();
}

// Rare formats (premultiplied alpha, 16-bit and 64-bit colour): Qt converts a strip
// of rows at a time.
const JSAMPLE *JpegRowSource::stripRow(int y)
{
    constexpr int kStripRows = 32;
    if (m_strip.isNull() || y < m_stripTop || y >= m_stripTop + m_strip.height()) {
        m_stripTop = y;
        const int rows = std::min(kStripRows, m_image.height() - y);
        m_strip = m_image.copy(0, y, m_image.width(), rows).convertToFormat(QImage::Format_RGB888);
    }
    return m_strip.constScanLine(y - m_stripTop);
}
