#include "imaging/JpegCheck.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

struct CheckErrors
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void stop(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<CheckErrors *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Level -1 is a warning about the data ("Premature end of JPEG file", "Corrupt
// JPEG data: ..."): as fatal here as an error. Trace messages are ignored.
void message(j_common_ptr cinfo, int level)
{
    if (level < 0)
        stop(cinfo);
}

// Beyond this the coefficients of a progressive file alone would not fit.
constexpr long kMaxMemory = 1024L * 1024 * 1024;

} // namespace

namespace JpegCheck {

bool decodes(const QByteArray &jpeg, QString *reason)
{
    if (jpeg.isEmpty()) {
        if (reason)
            *reason = QStringLiteral("No JPEG data");
        return false;
    }
    jpeg_decompress_struct cinfo;
    CheckErrors err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = stop;
    err.pub.emit_message = message;
    err.message[0] = '\0';
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (reason)
            *reason =
                QStringLiteral("damaged JPEG data (%1)").arg(QString::fromLocal8Bit(err.message));
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxMemory;
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.do_block_smoothing = FALSE;
    jpeg_start_decompress(&cinfo);
    // From libjpeg's own pool, freed by jpeg_destroy_decompress: after a longjmp
    // no C++ object of this function could be trusted to clean up.
    const JDIMENSION rowCount = JDIMENSION(cinfo.rec_outbuf_height);
    JSAMPARRAY rows = (*cinfo.mem->alloc_sarray)(
        reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
        cinfo.output_width * JDIMENSION(cinfo.output_components), rowCount);
    while (cinfo.output_scanline < cinfo.output_height)
        jpeg_read_scanlines(&cinfo, rows, rowCount);
    // Reads up to the end-of-image marker, so data cut after the last scan is found too.
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace JpegCheck
