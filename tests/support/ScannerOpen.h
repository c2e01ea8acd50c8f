#pragma once

// Opens a scanner control's source the way the program's commands do: start,
// source, open, the fixed settings, then pixel type and resolution.

#include "scanner/TTwainControl.h"

#include <QString>
#include <functional>

namespace ScannerOpen {

// The first source whose device name matches, or -1.
inline int find(const TTwainControl &c, const std::function<bool(const QString &)> &matches)
{
    for (int i = 0; i < c.sourceCount(); ++i) {
        if (matches(c.GetSourceDeviceName(i)))
            return i;
    }
    return -1;
}

// False when the list cannot be read, the device is not in it or does not open.
inline bool open(TTwainControl &c, const std::function<bool(const QString &)> &matches, int dpi,
                 int pixelType = 2)
{
    if (!c.StartDevice())
        return false;
    const int index = find(c, matches);
    if (index < 0)
        return false;
    c.setSourceIndex(index);
    if (!c.OpenDataSource())
        return false;
    c.setTransferMode(1);
    c.setShowUI(0);
    c.setShowIndicators(0);
    c.setDisableAfterAcquire(1);
    c.setUnitOfMeasure(0);
    c.setPixelType(pixelType);
    c.setResolution(dpi);
    return true;
}

} // namespace ScannerOpen
