#include "imaging/PageLimits.h"

#include <QCoreApplication>
#include <QImageReader>
#include <mutex>

namespace PageLimits {

bool fits(qint64 width, qint64 height, int bytesPerPixel)
{
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0)
        return false;
    // Divided, not multiplied: a damaged header's sides may overflow a product.
    return width <= LargestDecodedBytes / bytesPerPixel / height;
}

void applyToQt()
{
    // Readers on worker threads call it too: the limit is a global of Qt's.
    static std::once_flag once;
    std::call_once(once, [] {
        if (QImageReader::allocationLimit() < QtAllocationLimitMb)
            QImageReader::setAllocationLimit(QtAllocationLimitMb);
    });
}

} // namespace PageLimits

namespace {
void applyAtStart()
{
    PageLimits::applyToQt();
}
} // namespace

// Every program that reads pages creates an application object first.
Q_COREAPP_STARTUP_FUNCTION(applyAtStart)
