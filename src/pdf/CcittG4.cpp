#include "pdf/CcittG4.h"

#include <cstdarg>
#include <cstring>
#include <tiffio.h>

namespace {

// A TIFF file in a byte array, for libtiff's client interface.
struct MemoryFile
{
    QByteArray data;
    toff_t position = 0;
};

tsize_t readProc(thandle_t handle, tdata_t buffer, tsize_t size)
{
    auto *file = static_cast<MemoryFile *>(handle);
    const toff_t available =
        file->position < toff_t(file->data.size()) ? toff_t(file->data.size()) - file->position : 0;
    const tsize_t n = tsize_t(qMin<toff_t>(toff_t(size), available));
    std::memcpy(buffer, file->data.constData() + file->position, size_t(n));
    file->position += toff_t(n);
    return n;
}

tsize_t writeProc(thandle_t handle, tdata_t buffer, tsize_t size)
{
    auto *file = static_cast<MemoryFile *>(handle);
    const toff_t end = file->position + toff_t(size);
    if (end > toff_t(file->data.size()))
        file->data.resize(qsizetype(end));
    std::memcpy(file->data.data() + file->position, buffer, size_t(size));
    file->position = end;
    return size;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto *file = static_cast<MemoryFile *>(handle);
    if (whence == SEEK_CUR)
        offset += file->position;
    else if (whence == SEEK_END)
        offset += toff_t(file->data.size());
    file->position = offset;
    return offset;
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return toff_t(static_cast<MemoryFile *>(handle)->data.size());
}

int mapProc(thandle_t, tdata_t *, toff_t *)
{
    return 0;
}
void unmapProc(thandle_t, tdata_t, toff_t)
{
}

int quiet(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

TIFF *open(MemoryFile &file, const char *mode)
{
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
    TIFF *tif = TIFFClientOpenExt("memory", mode, &file, readProc, writeProc, seekProc, closeProc,
                                  sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

void describe(TIFF *tif, int width, int height)
{
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_CCITTFAX4));
    // Set bits are black, as in the rows; the code itself holds runs of colours.
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISWHITE));
    TIFFSetField(tif, TIFFTAG_FILLORDER, uint16_t(FILLORDER_MSB2LSB));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(height)); // one strip: one code
}

} // namespace

namespace CcittG4 {

QByteArray encode(const QByteArray &rows, int width, int height)
{
    const qsizetype stride = (qsizetype(width) + 7) / 8;
    if (width <= 0 || height <= 0 || rows.size() < stride * height)
        return {};
    MemoryFile file;
    TIFF *tif = open(file, "w");
    if (!tif)
        return {};
    describe(tif, width, height);
    const bool written = TIFFWriteEncodedStrip(tif, 0, const_cast<char *>(rows.constData()),
                                               tmsize_t(stride * height)) >= 0;
    TIFFClose(tif);
    if (!written)
        return {};

    file.position = 0;
    tif = open(file, "r");
    if (!tif)
        return {};
    QByteArray code;
    uint64_t *counts = nullptr;
    if (TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) && counts && counts[0] > 0) {
        code.resize(qsizetype(counts[0]));
        if (TIFFReadRawStrip(tif, 0, code.data(), tmsize_t(code.size())) != tmsize_t(code.size()))
            code.clear();
    }
    TIFFClose(tif);
    return code;
}

} // namespace CcittG4
