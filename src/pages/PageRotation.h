#pragma once

#include <QString>
#include <QStringList>

// Turning page files by quarter turns. JPEG pages turn losslessly through
// libjpeg-turbo's transform when their size is a whole number of blocks and are
// re-encoded at the page quality otherwise; BMP and TIFF pages are re-encoded
// pixel for pixel. The horizontal and vertical resolutions swap places.
namespace PageRotation {

// Clockwise quarter turns: 1 right, 2 half a turn, 3 left.
enum Turn
{
    Right = 1,
    HalfTurn = 2,
    Left = 3
};

// Writes source turned clockwise by quarterTurns into target (a new file, in the
// format of source's extension). *lossless tells whether a JPEG was transformed
// without decoding. False, with the reason in *error, when it could not.
bool rotateInto(const QString &source, const QString &target, int quarterTurns,
                bool *lossless = nullptr, QString *error = nullptr);

// Turns every file in place, all or none: each turned copy is written next to
// its file first, and the files are replaced only once every copy is written.
// A replacement that fails puts back the files already replaced.
bool rotateFiles(const QStringList &files, int quarterTurns, QString *error = nullptr);

} // namespace PageRotation
