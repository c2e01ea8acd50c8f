#include "session/PrintLayout.h"

QRect printRectangle(int imageWidth, int imageHeight, int printableWidth, int printableHeight)
{
    if (imageWidth <= 0 || imageHeight <= 0 || printableWidth <= 0 || printableHeight <= 0)
        return QRect();
    // 64 bits: a 2400 dpi page times a high-resolution printer overflows an int.
    qint64 outWidth = printableWidth;
    qint64 outHeight = qint64(imageHeight) * printableWidth / imageWidth;
    if (outHeight > printableHeight) {
        outHeight = printableHeight;
        outWidth = qint64(printableHeight) * imageWidth / imageHeight;
    }
    return QRect(0, 0, int(outWidth), int(outHeight));
}
