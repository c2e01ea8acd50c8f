#include "imaging/PageMemory.h"

#include <limits>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace PageMemory {

namespace {

#ifdef Q_OS_LINUX
// Huge pages are 2 MB on the machines we run on; a smaller image gains nothing.
constexpr size_t HugePage = size_t(2) << 20;
constexpr qint64 SmallestMapped = qint64(4) << 20;

struct Mapping
{
    void *base = nullptr;
    size_t length = 0;
};

void unmap(void *info)
{
    auto *mapping = static_cast<Mapping *>(info);
    ::munmap(mapping->base, mapping->length);
    delete mapping;
}
#endif

} // namespace

QImage allocate(int width, int height, QImage::Format format)
{
#ifdef Q_OS_LINUX
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (width <= 0 || height <= 0 || depth <= 0)
        return QImage(width, height, format);
    // Rows padded to 32 bits, as QImage lays them out itself.
    const qint64 bytesPerLine = (qint64(width) * depth + 31) / 32 * 4;
    const qint64 bytes = bytesPerLine * height;
    if (bytes < SmallestMapped || bytesPerLine > std::numeric_limits<int>::max())
        return QImage(width, height, format);
    // One huge page more than needed, so the pixels can start on a boundary.
    const size_t length = size_t(bytes) + HugePage;
    void *base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return QImage();
    auto *start = reinterpret_cast<uchar *>((reinterpret_cast<quintptr>(base) + HugePage - 1) &
                                            ~quintptr(HugePage - 1));
    // Only a hint: without huge pages the image is as any other.
    ::madvise(start, size_t(bytes), MADV_HUGEPAGE);
    auto *mapping = new Mapping{base, length};
    QImage image(start, width, height, qsizetype(bytesPerLine), format, unmap, mapping);
    if (image.isNull())
        unmap(mapping);
    return image;
#else
    return QImage(width, height, format);
#endif
}

} // namespace PageMemory
