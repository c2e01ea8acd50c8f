#pragma once

// JPEG files written with libjpeg, of every kind the PDF writer embeds unchanged;
// unlike the hand-built ones of PdfTestSupport they decode.

#include <QByteArray>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace RealJpeg {

// components: 1 gray, 3 colour, 4 CMYK. Patterned so the data is not trivially small.
inline QByteArray make(int width, int height, int components, bool progressive = false)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * size_t(components));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                row[size_t(x * components + c)] =
                    JSAMPLE((x * (c + 1) + y * 3 + ((x * y) >> (c + 2))) & 0xff);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray data(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return data;
}

// The three damaged files a page must be refused for.
inline QByteArray cutInHalf()
{
    const QByteArray whole = make(400, 300, 3);
    return whole.left(whole.size() / 2);
}

// The frame of a 65535 x 65535 page and nothing else: 23 bytes.
inline QByteArray headerOnly()
{
    return QByteArray("\xFF\xD8\xFF\xC0\x00\x11\x08\xFF\xFF\xFF\xFF\x03"
                      "\x01\x22\x00\x02\x11\x01\x03\x11\x01\xFF\xD9",
                      23);
}

// 2,000 bytes in the middle of the scan data overwritten with noise.
inline QByteArray damagedInTheMiddle()
{
    QByteArray data = make(400, 300, 3);
    quint32 noise = 12345;
    for (qsizetype i = data.size() / 2 - 1000; i < data.size() / 2 + 1000; ++i) {
        noise = noise * 1103515245u + 12345u;
        data[i] = char(noise >> 24);
    }
    return data;
}

} // namespace RealJpeg
