#include "pages/FileNaming.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace FileNaming {

namespace {

// Whether an unquoted field letter occurs in a Qt date-time format.
bool hasField(const QString &format, QChar field)
{
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && c == field)
            return true;
    }
    return false;
}

} // namespace

QString dateFormatWithFullYear(const QString &format)
{
    QString out;
    bool quoted = false;
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('y')) {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && format.at(j) == QLatin1Char('y'))
            ++j;
        out += j - i == 2 ? QStringLiteral("yyyy") : format.mid(i, j - i);
        i = j;
    }
    return out;
}

QString timeFormatWithoutZone(const QString &format)
{
    QString out;
    bool quoted = false;
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        if (quoted || c != QLatin1Char('t')) {
            out += c;
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < n && format.at(j) == QLatin1Char('t'))
            ++j;
        // Some locales write the zone in brackets: "H:mm:ss (t)".
        if (out.endsWith(QLatin1Char('(')) && j < n && format.at(j) == QLatin1Char(')')) {
            out.chop(1);
            ++j;
        }
        while (!out.isEmpty() && out.back().isSpace())
            out.chop(1);
        if (out.isEmpty()) {
            while (j < n && format.at(j).isSpace())
                ++j;
        }
        i = j;
    }
    if (!hasField(out, QLatin1Char('s')))
        return QStringLiteral("HH:mm:ss");
    return out;
}

QString stampWithFormats(const QDateTime &when, const QString &dateFormat,
                         const QString &timeFormat, const QLocale &locale)
{
    QString text = locale.toString(when.date(), dateFormat) + QLatin1Char(' ') +
                   locale.toString(when.time(), timeFormat);
    text.replace(QLatin1Char(':'), QLatin1Char('-'));
    text.replace(QLatin1Char('/'), QLatin1Char('-'));
    return text;
}

QString stamp(const QDateTime &when, const QLocale &locale)
{
    return stampWithFormats(when, dateFormatWithFullYear(locale.dateFormat(QLocale::ShortFormat)),
                            timeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)), locale);
}

QString extensionFromFormatItem(const QString &itemText)
{
    return itemText.left(4).trimmed().toLower();
}

QString fileName(const QString &prefix, const QString &suffix, const QString &extension)
{
    return prefix.trimmed() + QLatin1Char('_') + suffix + QLatin1Char('.') + extension;
}

QString pageFilePath(const QString &destination, const QString &fileName)
{
    return destination.trimmed() + QLatin1Char('/') + fileName;
}

QString workingCopyPath(const QString &tempFolder, const QString &prefix, const QString &suffix)
{
    return tempFolder + QLatin1Char('/') + prefix.trimmed() + QLatin1Char('_') + suffix +
           QStringLiteral(".bmp");
}

bool pathTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString freeSuffix(const QString &stamp, const QString &prefix, const QString &extension,
                   const QString &destination, const ExistsPredicate &exists)
{
    return freeSuffixWhere(stamp, [&](const QString &suffix) {
        return exists(pageFilePath(destination, fileName(prefix, suffix, extension)));
    });
}

QString freeSuffixWhere(const QString &stamp, const SuffixTaken &taken)
{
    if (!taken(stamp))
        return stamp;
    // Always from 1 again, so a gap left by a deleted page is filled first.
    for (qint64 n = 1;; ++n) {
        const QString suffix = stamp + QLatin1Char('_') + QString::number(n);
        if (!taken(suffix))
            return suffix;
    }
}

PageNames pageNames(const QString &suffix, const QString &prefix, const QString &extension,
                    const QString &destination, const QString &tempFolder)
{
    PageNames names;
    names.suffix = suffix;
    names.fileName = fileName(prefix, suffix, extension);
    names.pageFile = pageFilePath(destination, names.fileName);
    names.workingCopy = workingCopyPath(tempFolder, prefix, suffix);
    names.prefix = prefix;
    names.extension = extension;
    names.destination = destination;
    names.tempFolder = tempFolder;
    return names;
}

QString stampOfSuffix(const QString &suffix)
{
    const int at = int(suffix.lastIndexOf(QLatin1Char('_')));
    if (at <= 0 || at == suffix.size() - 1)
        return suffix;
    for (int i = at + 1; i < suffix.size(); ++i) {
        if (!suffix.at(i).isDigit())
            return suffix;
    }
    return suffix.left(at);
}

PageNames nextFreeNames(const PageNames &names, const SuffixTaken &taken)
{
    if (names.destination.isEmpty() || names.extension.isEmpty())
        return {};
    const QString suffix = freeSuffixWhere(stampOfSuffix(names.suffix), taken);
    return pageNames(suffix, names.prefix, names.extension, names.destination, names.tempFolder);
}

PrefixProblem prefixProblem(const QString &prefix)
{
    const QString p = prefix.trimmed();
    if (p.contains(QLatin1Char('/')) || p.contains(QLatin1Char('\\')))
        return PrefixProblem::Separator;
    if (p == QLatin1String(".") || p == QLatin1String(".."))
        return PrefixProblem::DotName;
    for (const QChar c : p) {
        if (c.category() == QChar::Other_Control)
            return PrefixProblem::ControlCharacter;
    }
    if (p.size() > kMaxPrefixLength)
        return PrefixProblem::TooLong;
    return PrefixProblem::None;
}

QString resolveDestination(const QString &text, const QString &home)
{
    QString folder = text.trimmed();
    if (folder.isEmpty())
        return {};
    if (folder == QLatin1String("~"))
        folder = home;
    else if (folder.startsWith(QLatin1String("~/")))
        folder = home + folder.mid(1);
    if (QDir::isRelativePath(folder))
        folder = QDir(home).filePath(folder);
    return QDir::cleanPath(folder);
}

} // namespace FileNaming
