#pragma once

#include <Qt>

// What an entry of the image list keeps besides its caption (the file name).
namespace ImageListRoles {

// The full path of the page's working copy; never changes, also not on rename.
constexpr int WorkingCopy = Qt::UserRole;
// Index of the entry's thumbnail in the main window's il_Files.
constexpr int ImageIndex = Qt::UserRole + 1;

} // namespace ImageListRoles
