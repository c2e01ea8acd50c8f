#pragma once

// What the gallery benchmarks share: the page size and how a time is taken.
#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

namespace GalleryBench {

constexpr int PageWidth = 2480; // A4 at 300 dots per inch
constexpr int PageHeight = 3508;

// The median of runs timings of work, in milliseconds.
inline double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace GalleryBench
