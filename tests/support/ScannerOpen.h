#pragma once

// Opens a scanner control's source the way the program's commands do: start,
// source, open, the fixed settings, then pixel type and resolution.

#include "scanner/TTwainControl.h"

#include <QSignalSpy>
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

constexpr int kAnswerMs = 30000;

// A source list, read first when the control holds none.
inline bool list(TTwainControl &c)
{
    if (c.StartDevice())
        return true;
    QSignalSpy listed(&c, &TTwainControl::OnSourcesListed);
    c.ListSources();
    return (!listed.isEmpty() || listed.wait(kAnswerMs)) && listed.last().first().toInt() != 0;
}

// Opens the chosen source and waits for the answer.
inline bool openSource(TTwainControl &c)
{
    QSignalSpy opened(&c, &TTwainControl::OnSourceOpened);
    c.OpenSource();
    return (!opened.isEmpty() || opened.wait(kAnswerMs)) && opened.last().first().toInt() != 0;
}

// False when the list cannot be read, the device is not in it or does not open.
inline bool open(TTwainControl &c, const std::function<bool(const QString &)> &matches, int dpi,
                 int pixelType = 2)
{
    if (!list(c))
        return false;
    const int index = find(c, matches);
    if (index < 0)
        return false;
    c.setSourceIndex(index);
    if (!openSource(c))
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
