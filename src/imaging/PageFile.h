#pragma once

#include <QString>

class QFile;

// Opens a page image for reading by the exact bytes of its name, and refuses before
// anything is read what cannot be a page: anything but a regular file (a FIFO would
// block, a device never end) and a file larger than the largest page file the
// program could write (PageLimits). Opened without blocking, so a FIFO without a
// writer is refused at once.
namespace PageFile {

enum class Failure
{
    None,
    CannotOpen, // errno tells why
    NotRegular,
    TooLarge,
};

// A descriptor (close it, or hand it over), or -1 with the failure.
int open(const QString &path, Failure *failure);
// The same on file, which then closes the descriptor.
bool open(QFile &file, const QString &path, Failure *failure);

// The message of a NotRegular or TooLarge refusal, naming path; the readers word
// CannotOpen themselves.
QString refusalText(const QString &path, Failure failure);

} // namespace PageFile
