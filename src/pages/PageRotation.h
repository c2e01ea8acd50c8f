#pragma once

#include <QString>
#include <QStringList>
#include <functional>

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

// Writes source turned clockwise by degrees about its centre into target (same size,
// in the format of source's extension, at its resolution); the corners that come
// in take the page's background colour. Always re-encoded.
bool straightenInto(const QString &source, const QString &target, double degrees,
                    QString *error = nullptr);

// Writes the changed copy of file into copy; false with the reason in *error.
using WriteCopy = std::function<bool(const QString &file, const QString &copy, QString *error)>;
// Replaces every file by the copy writeCopy makes of it, all or none, as below.
bool replaceFiles(const QStringList &files, const WriteCopy &writeCopy, QString *error = nullptr);
// replaceFiles with straightenInto.
bool straightenFiles(const QStringList &files, double degrees, QString *error = nullptr);

// Turns every file in place, all or none. Each turned copy is written next to
// its file with the file's mode, group and (where the process may) owner, and
// synced; only then are the files swapped with their copies, each in one step
// (or renamed over where the file system cannot swap). A step that fails puts
// back the files already swapped: every file is as it was.
bool rotateFiles(const QStringList &files, int quarterTurns, QString *error = nullptr);

// The steps of rotateFiles, per file, in order.
enum class Step
{
    WriteCopy,  // the turned copy written
    Attributes, // mode, group and owner given to the copy
    SyncCopy,   // the copy on the disk
    Swap        // the copy put in the file's place
};
// Tests: called before each step (of rotateFiles and every replaceFiles); answering true makes that
// step fail.
using FailureInjector = std::function<bool(Step step, int fileIndex)>;
void setFailureInjector(const FailureInjector &injector);

} // namespace PageRotation
