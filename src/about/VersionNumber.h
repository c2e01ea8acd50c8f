#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Version strings read as up to four numbers: the first four runs of decimal
// digits, whatever stands between them ("2.0.3.41", "build 2.0.3.41.7"). Missing
// numbers count as 0. The comparison value weighs them 1000000, 10000, 100 and 1,
// so a number above 99 carries into the place before it (1.0.100.0 == 1.1).
namespace VersionNumber {

// Each run must fit a 32-bit signed integer, as the update file format has
// always required; a longer run makes the whole string unreadable (nullopt).
// The weighted sum is 64-bit, so every readable string has an exact value.
std::optional<qint64> value(const QString &version);

// True when announced is newer than local; nullopt when either is unreadable.
std::optional<bool> isNewer(const QString &local, const QString &announced);

} // namespace VersionNumber
