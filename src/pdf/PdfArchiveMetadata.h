#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What an archival (PDF/A-2b) document says about itself, and the pieces the
// writer embeds for it: the XMP packet, the matching Info dictionary and the sRGB
// profile of the output intent. The same values go into both places, as
// validators require.
struct PdfArchiveInfo
{
    QString title;     // the file name without its extension
    QDateTime created; // local time with its offset from UTC
};

namespace PdfArchiveMetadata {

// "Pagora Pro" and the program's version.
QString producer();
// The title for a document written to fileName: the name without folder and extension.
QString titleFor(const QString &fileName);

// The XMP packet in UTF-8, with the PDF/A-2b identification.
QByteArray xmp(const PdfArchiveInfo &info);
// The entries of the Info dictionary, between "<<" and ">>".
QByteArray infoEntries(const PdfArchiveInfo &info);
// The embedded sRGB ICC profile (a Zlib-licensed profile shipped with the program).
QByteArray srgbProfile();

// Date forms of both places: "D:20261209023453+01'00'" and "2026-12-09T02:34:53+01:00".
QByteArray pdfDate(const QDateTime &time);
QByteArray xmpDate(const QDateTime &time);
// A PDF text string: literal when plain ASCII, else UTF-16BE with its byte order mark.
QByteArray textString(const QString &text);

} // namespace PdfArchiveMetadata
