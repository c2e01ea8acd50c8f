#include "pdf/JpegHeader.h"

namespace {

constexpr unsigned kStartOfImage = 0xFFD8;
constexpr unsigned kEndOfImage = 0xFFD9;
constexpr unsigned kBaselineFrame = 0xFFC0;
constexpr unsigned kProgressiveFrame = 0xFFC2;
constexpr unsigned kFill = 0xFFFF;

// Reads big-endian values; every read is checked against the end of the data.
class ByteReader
{
public:
    ByteReader(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

    bool readByte(unsigned &value)
    {
        if (m_size - m_pos < 1)
            return false;
        value = m_data[m_pos++];
        return true;
    }

    bool readWord(unsigned &value)
    {
        if (m_size - m_pos < 2)
            return false;
        value = (unsigned(m_data[m_pos]) << 8) | m_data[m_pos + 1];
        m_pos += 2;
        return true;
    }

    bool skip(std::size_t count)
    {
        if (m_size - m_pos < count)
            return false;
        m_pos += count;
        return true;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace

JpegHeaderStatus ReadJPEGHeader(const std::uint8_t *data, std::size_t size, JpegFrameInfo &info)
{
    if (data == nullptr)
        size = 0;
    ByteReader reader(data, size);

    unsigned marker = 0;
    if (!reader.readWord(marker))
        return JpegHeaderStatus::Truncated;
    if (marker != kStartOfImage)
        return JpegHeaderStatus::NoStartOfImage;

    for (;;) {
        if (!reader.readWord(marker))
            return JpegHeaderStatus::Truncated;

        if (marker == kBaselineFrame || marker == kProgressiveFrame) {
            unsigned height = 0, width = 0, components = 0;
            // Segment length and sample precision are not needed: pages are always
            // declared with 8 bits per component.
            if (!reader.skip(3) || !reader.readWord(height) || !reader.readWord(width) ||
                !reader.readByte(components))
                return JpegHeaderStatus::Truncated;
            if (components != 1 && components != 3 && components != 4)
                return JpegHeaderStatus::UnsupportedComponents;
            if (width == 0 || height == 0)
                return JpegHeaderStatus::EmptyImage;
            info.width = int(width);
            info.height = int(height);
            info.components = int(components);
            return JpegHeaderStatus::Ok;
        }

        if (marker == kFill || marker == kEndOfImage)
            return JpegHeaderStatus::NoFrame;

        unsigned length = 0;
        if (!reader.readWord(length))
            return JpegHeaderStatus::Truncated;
        if (length < 2)
            return JpegHeaderStatus::BadSegmentLength;
        if (!reader.skip(length - 2))
            return JpegHeaderStatus::Truncated;
    }
}

const char *jpegHeaderStatusText(JpegHeaderStatus status)
{
    switch (status) {
    case JpegHeaderStatus::Ok:
        return "no error";
    case JpegHeaderStatus::NoStartOfImage:
        return "not a JPEG file (no start-of-image marker)";
    case JpegHeaderStatus::NoFrame:
        return "no baseline or progressive JPEG frame before the end of the image";
    case JpegHeaderStatus::Truncated:
        return "the JPEG file ends before its frame header (truncated or damaged)";
    case JpegHeaderStatus::BadSegmentLength:
        return "damaged JPEG segment (invalid length)";
    case JpegHeaderStatus::UnsupportedComponents:
        return "unsupported number of colour components (only gray, RGB and CMYK JPEGs)";
    case JpegHeaderStatus::EmptyImage:
        return "the JPEG frame gives no image size";
    }
    return "unknown JPEG header error";
}
