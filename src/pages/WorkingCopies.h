#pragma once

#include <QString>

struct PageEntry;

// Working copies are this program's own files in the temporary folder, but a
// working-copy path can name someone else's file: an added image is its own
// working copy until its first change, a page whose copy failed is read from its
// page file, and a journal left by an ended session says whatever it says.
// Every removal of a working copy goes through here, and only a file directly
// in the folder of working copies that is not the page's own file goes: a
// user's file cannot be reached through a working-copy path.
namespace WorkingCopies {

// folder: the folder of working copies (the temporary folder when empty).
bool removable(const QString &copy, const QString &pageFile, const QString &folder);
// Removes copy when removable(); true when it was removed.
bool remove(const QString &copy, const QString &pageFile, const QString &folder);

// An added file listed as it is, its own working copy: a change writes a copy first.
bool isOriginal(const PageEntry &page);

} // namespace WorkingCopies
