#include "about/VersionNumber.h"

#include <array>
#include <limits>

namespace VersionNumber {

std::optional<qint64> value(const QString &version)
{
    constexpr std::array<qint64, 4> Weights = {1000000, 10000, 100, 1};
    constexpr qint64 MaxRun = std::numeric_limits<qint32>::max();

    qint64 total = 0;
    int found = 0;
    const int length = version.size();
    for (int i = 0; i < length && found < 4;) {
        // ASCII digits only: other scripts' digits are not version numbers here.
        if (version.at(i) < QLatin1Char('0') || version.at(i) > QLatin1Char('9')) {
            ++i;
            continue;
        }
        qint64 run = 0;
        for (; i < length && version.at(i) >= QLatin1Char('0') && version.at(i) <= QLatin1Char('9');
             ++i) {
            run = run * 10 + (version.at(i).unicode() - '0');
            if (run > MaxRun)
                return std::nullopt;
        }
        total += run * Weights[found++];
    }
    return total;
}

std::optional<bool> isNewer(const QString &local, const QString &announced)
{
    const std::optional<qint64> mine = value(local);
    const std::optional<qint64> theirs = value(announced);
    if (!mine || !theirs)
        return std::nullopt;
    return *mine < *theirs;
}

} // namespace VersionNumber
