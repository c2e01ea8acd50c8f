#pragma once

#include <QString>
#include <functional>

class QDateTime;
class QLocale;

// The names and places of the files a scanned page produces. Pure rules: the
// window reads its edit fields and the clock, these functions do the rest.
namespace FileNaming {

// The locale's short date with a four-digit year, one blank, its time with
// seconds and without a time zone; then ":" and "/" become "-" so the text can
// be part of a file name.
QString stamp(const QDateTime &when, const QLocale &locale);

// The same with explicit Qt date and time formats.
QString stampWithFormats(const QDateTime &when, const QString &dateFormat,
                         const QString &timeFormat, const QLocale &locale);

// A date format whose two-digit year ("yy") is written with four digits: a page
// name always shows the whole year, whatever the locale's short date.
QString dateFormatWithFullYear(const QString &format);

// A time format with its time-zone fields (and the blanks or brackets around
// them) removed; "HH:mm:ss" when nothing with seconds is left.
QString timeFormatWithoutZone(const QString &format);

// Extension from a "File format:" item: its first four characters, trimmed,
// lower case ("BMP (Windows Bitmap)" gives bmp, "TIFF (...)" gives tiff).
QString extensionFromFormatItem(const QString &itemText);

// Trimmed prefix, "_", suffix, ".", extension: the page file's name and the
// caption of its list entry.
QString fileName(const QString &prefix, const QString &suffix, const QString &extension);

// Trimmed destination, one separator (always inserted), file name.
QString pageFilePath(const QString &destination, const QString &fileName);

// Temporary folder, one separator, trimmed prefix, "_", suffix, ".bmp": the
// working copy is a BMP whatever the page format.
QString workingCopyPath(const QString &tempFolder, const QString &prefix, const QString &suffix);

// Whether a file (or a link, even a broken one) holds the path.
using ExistsPredicate = std::function<bool(const QString &path)>;
bool pathTaken(const QString &path);

// The free-suffix search over any test: the stamp alone when it is not taken,
// otherwise stamp "_" N for the smallest N >= 1 that is not.
using SuffixTaken = std::function<bool(const QString &suffix)>;
QString freeSuffixWhere(const QString &stamp, const SuffixTaken &taken);

// The free-suffix search: the stamp alone when its page file path is free,
// otherwise stamp "_" N for the smallest N >= 1 whose path is free. Only the
// path the page file will be written under is tested.
QString freeSuffix(const QString &stamp, const QString &prefix, const QString &extension,
                   const QString &destination, const ExistsPredicate &exists = pathTaken);

// Everything one page needs, named from one suffix.
struct PageNames
{
    QString suffix;
    QString fileName;    // caption of the list entry
    QString pageFile;    // in the destination folder
    QString workingCopy; // BMP in the temporary folder
    // What they were made of, so a clash at commit can name the page again.
    QString prefix;
    QString extension;
    QString destination;
    QString tempFolder;
};

// What makes a prefix unusable: it would put the page outside the destination
// folder or lose it (separators, "." and ".."), or make a name other programs
// choke on (control characters, very long names).
enum class PrefixProblem
{
    None,
    Separator,
    DotName,
    ControlCharacter,
    TooLong
};
constexpr int kMaxPrefixLength = 100;
PrefixProblem prefixProblem(const QString &prefix);

// The folder a destination text names: trimmed, a leading "~" is the home
// folder, and a relative path is taken relative to home (never to wherever the
// program was started from). Cleaned, absolute; empty for an empty text.
QString resolveDestination(const QString &text, const QString &home);

PageNames pageNames(const QString &suffix, const QString &prefix, const QString &extension,
                    const QString &destination, const QString &tempFolder);

// The stamp a suffix was made from: the suffix without its "_N" (a stamp holds
// no "_").
QString stampOfSuffix(const QString &suffix);

// The names again from the first free suffix of the same stamp, for a page whose
// name was taken after it was chosen. Empty names when they were not made by
// pageNames().
PageNames nextFreeNames(const PageNames &names, const SuffixTaken &taken);

} // namespace FileNaming
