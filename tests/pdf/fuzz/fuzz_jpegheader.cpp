// libFuzzer entry for the JPEG header scan: any byte string must be answered
// without reading outside it, and an accepted header must describe a usable image.

#include "pdf/JpegHeader.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A heap copy of exactly the input size, so AddressSanitizer sees any overrun.
    std::vector<std::uint8_t> exact(data, data + size);
    JpegFrameInfo info;
    const JpegHeaderStatus status =
        ReadJPEGHeader(exact.empty() ? nullptr : exact.data(), exact.size(), info);
    if (status == JpegHeaderStatus::Ok) {
        const bool usable = info.width >= 1 && info.width <= 65535 && info.height >= 1 &&
                            info.height <= 65535 &&
                            (info.components == 1 || info.components == 3 || info.components == 4);
        if (!usable || size < 2 || exact[0] != 0xFF || exact[1] != 0xD8)
            std::abort();
    }
    if (std::strlen(jpegHeaderStatusText(status)) == 0)
        std::abort();
    return 0;
}
