#include "imaging/JpegCodec.h"

#include "imaging/ImagingLog.h"
#include "imaging/JpegRowSource.h"
#include "imaging/PageLimits.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <functional>
#include <jerror.h>
#include <jpeglib.h>
#include <vector>

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: jump back
// to the caller with the formatted message. Warnings are logged, never printed.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void outputMessage(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    qCDebug(lcImaging) << "libjpeg:" << text;
}

void setupErrors(ErrorManager &err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = outputMessage;
    err.message[0] = '\0';
}

// Compressed data read from a device in blocks as the decoder asks for it, so a
// file is never read further than the decoder gets (a damaged file stops early).
struct DeviceSource
{
    jpeg_source_mgr pub;
    QIODevice *device;
    QByteArray buffer;
};

void initSource(j_decompress_ptr)
{
}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    auto *src = reinterpret_cast<DeviceSource *>(cinfo->src);
    const qint64 got = src->device->read(src->buffer.data(), src->buffer.size());
    if (got <= 0) {
        // The end of the file inside the picture: an EOI marker ends it, with a
        // warning, as libjpeg's memory source does for data held in memory.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        static const JOCTET eoi[2] = {0xFF, JPEG_EOI};
        src->pub.next_input_byte = eoi;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }
    src->pub.next_input_byte = reinterpret_cast<const JOCTET *>(src->buffer.constData());
    src->pub.bytes_in_buffer = size_t(got);
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    auto *src = reinterpret_cast<DeviceSource *>(cinfo->src);
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        fillInputBuffer(cinfo);
    }
    if (count > 0) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= size_t(count);
    }
}

void termSource(j_decompress_ptr)
{
}

// Compressed data goes straight into a QByteArray that doubles when full.
struct ByteArrayDestination
{
    jpeg_destination_mgr pub;
    QByteArray *out;
};

void initDestination(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<ByteArrayDestination *>(cinfo->dest);
    // A quality-75 page is typically a tenth of its raw size or less.
    const qsizetype raw =
        qsizetype(cinfo->image_width) * cinfo->image_height * std::max(1, cinfo->input_components);
    dest->out->resize(std::clamp<qsizetype>(raw / 8, 64 * 1024, 64 * 1024 * 1024));
    dest->pub.next_output_byte = reinterpret_cast<JOCTET *>(dest->out->data());
    dest->pub.free_in_buffer = size_t(dest->out->size());
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<ByteArrayDestination *>(cinfo->dest);
    const qsizetype used = dest->out->size();
    dest->out->resize(used * 2);
    dest->pub.next_output_byte = reinterpret_cast<JOCTET *>(dest->out->data() + used);
    dest->pub.free_in_buffer = size_t(dest->out->size() - used);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<ByteArrayDestination *>(cinfo->dest);
    dest->out->resize(dest->out->size() - qsizetype(dest->pub.free_in_buffer));
}

void attach(ByteArrayDestination &dest, QByteArray *out)
{
    dest.pub.init_destination = initDestination;
    dest.pub.empty_output_buffer = emptyOutputBuffer;
    dest.pub.term_destination = termDestination;
    dest.out = out;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The one compression loop behind every encode call. Rows are fetched from top to
// bottom.
QByteArray compress(int width, int height, J_COLOR_SPACE colorSpace, int components,
                    const std::function<const JSAMPLE *(int y)> &row,
                    const JpegCodec::EncodeOptions &options, QString *error)
{
    if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
        setError(error, QStringLiteral("An image of %1 x %2 pixels cannot be stored as JPEG")
                            .arg(width)
                            .arg(height));
        return {};
    }

    QByteArray out;
    jpeg_compress_struct cinfo;
    ErrorManager err;
    ByteArrayDestination dest;
    attach(dest, &out);

    cinfo.err = &err.pub;
    setupErrors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        setError(
            error,
            QStringLiteral("JPEG encoding failed: %1").arg(QString::fromLocal8Bit(err.message)));
        return {};
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.pub;
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = colorSpace;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(options.quality, 1, 100), TRUE);
    cinfo.optimize_coding = options.optimizeCoding ? TRUE : FALSE;
    if (options.dotsPerInch > 0) {
        cinfo.density_unit = 1; // dots per inch
        cinfo.X_density = UINT16(std::min(options.dotsPerInch, 65535));
        cinfo.Y_density = cinfo.X_density;
    }

    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rowPointer = const_cast<JSAMPLE *>(row(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &rowPointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return out;
}

} // namespace

namespace JpegCodec {

QByteArray encode(const QImage &image, const EncodeOptions &options, QString *error)
{
    if (image.isNull()) {
        setError(error, QStringLiteral("Cannot encode an empty image as JPEG"));
        return {};
    }
    const bool gray = !options.forceRgb && JpegRowSource::isGrayImage(image);
    JpegRowSource rows(image, gray);
    return compress(
        image.width(), image.height(), rows.colorSpace(), rows.components(),
        [&rows](int y) { return rows.row(y); }, options, error);
}

QByteArray encodeRows(int width, int height, RowLayout layout,
                      const std::function<const uchar *(int y)> &row, const EncodeOptions &options,
                      QString *error)
{
    const bool bgr = layout == RowLayout::Bgr888;
    return compress(width, height, bgr ? JCS_EXT_BGR : JCS_EXT_BGRX, bgr ? 3 : 4, row, options,
                    error);
}

} // namespace JpegCodec

namespace {

QImage decodeFrom(const std::function<void(j_decompress_ptr)> &setSource, QString *error)
{
    QImage image;
    std::vector<JSAMPLE> cmykRow;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = &err.pub;
    setupErrors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        setError(
            error,
            QStringLiteral("JPEG decoding failed: %1").arg(QString::fromLocal8Bit(err.message)));
        return {};
    }
    jpeg_create_decompress(&cinfo);
    setSource(&cinfo);
    jpeg_read_header(&cinfo, TRUE);

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    QImage::Format format = QImage::Format_RGB32;
    if (cinfo.num_components == 1) {
        cinfo.out_color_space = JCS_GRAYSCALE;
        format = QImage::Format_Grayscale8;
    } else if (cmyk) {
        cinfo.out_color_space = JCS_CMYK;
    } else {
        cinfo.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    }
    // Refuse absurd frame sizes from damaged files before allocating.
    if (!PageLimits::fits(cinfo.image_width, cinfo.image_height,
                          format == QImage::Format_Grayscale8 ? 1 : 4)) {
        jpeg_destroy_decompress(&cinfo);
        setError(error, QStringLiteral("JPEG image of %1 x %2 pixels is too large")
                            .arg(cinfo.image_width)
                            .arg(cinfo.image_height));
        return {};
    }
    image = QImage(int(cinfo.image_width), int(cinfo.image_height), format);
    if (image.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        setError(error, QStringLiteral("Not enough memory for the JPEG image"));
        return {};
    }

    jpeg_start_decompress(&cinfo);
    if (cmyk)
        cmykRow.resize(size_t(cinfo.output_width) * 4);
    // Adobe writes CMYK inverted; files with the Adobe marker are read that way.
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW row = cmyk ? cmykRow.data() : image.scanLine(y);
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk) {
            auto *dst = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
                const JSAMPLE *p = cmykRow.data() + x * 4;
                int c = p[0], m = p[1], ye = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                dst[x] = qRgb(c * k / 255, m * k / 255, ye * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

} // namespace

namespace JpegCodec {

QByteArray optimizedCoding(const QByteArray &jpeg)
{
    QByteArray out;
    ByteArrayDestination dest;
    attach(dest, &out);
    ErrorManager err;
    setupErrors(err);
    // Zeroed: destroying a structure libjpeg never set up does nothing.
    jpeg_decompress_struct source = {};
    jpeg_compress_struct target = {};
    source.err = &err.pub;
    target.err = &err.pub;
    const auto destroy = [&] {
        jpeg_destroy_compress(&target);
        jpeg_destroy_decompress(&source);
    };
    if (setjmp(err.jump)) {
        destroy();
        qCDebug(lcImaging) << "Huffman optimisation skipped:" << err.message;
        return jpeg;
    }
    jpeg_create_decompress(&source);
    jpeg_create_compress(&target);
    jpeg_mem_src(&source, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&source, TRUE);
    jvirt_barray_ptr *coefficients = jpeg_read_coefficients(&source);
    jpeg_copy_critical_parameters(&source, &target);
    target.optimize_coding = TRUE;
    target.dest = &dest.pub;
    jpeg_write_coefficients(&target, coefficients);
    jpeg_finish_compress(&target);
    jpeg_finish_decompress(&source);
    // Damaged data decodes differently from one decoder to the next: kept as it is.
    const bool clean = err.pub.num_warnings == 0;
    destroy();
    return clean && out.size() < jpeg.size() ? out : jpeg;
}

QImage decode(const QByteArray &data, QString *error)
{
    if (data.isEmpty()) {
        setError(error, QStringLiteral("No JPEG data"));
        return {};
    }
    return decodeFrom(
        [&data](j_decompress_ptr cinfo) {
            jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char *>(data.constData()),
                         static_cast<unsigned long>(data.size()));
        },
        error);
}

QImage decode(QIODevice &device, QString *error)
{
    if (device.atEnd()) {
        setError(error, QStringLiteral("No JPEG data"));
        return {};
    }
    DeviceSource source;
    source.device = &device;
    source.buffer = QByteArray(64 * 1024, Qt::Uninitialized);
    source.pub.init_source = initSource;
    source.pub.fill_input_buffer = fillInputBuffer;
    source.pub.skip_input_data = skipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = termSource;
    source.pub.bytes_in_buffer = 0;
    source.pub.next_input_byte = nullptr;
    return decodeFrom([&source](j_decompress_ptr cinfo) { cinfo->src = &source.pub; }, error);
}

} // namespace JpegCodec
