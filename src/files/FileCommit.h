#pragma once

#include <QString>

// Putting a written file in place so that no other file is ever lost on the way,
// and making it survive a power cut. Each returns 0 or the errno of the failure.
namespace FileCommit {

// Moves from to to unless something (a file, a link, a folder) holds to: then
// EEXIST and nothing changed. renameat2(RENAME_NOREPLACE) where the file system
// offers it, link() and unlink() where it does not.
int moveNoReplace(const QString &from, const QString &to);

// Swaps the two names in one step (renameat2(RENAME_EXCHANGE)); ENOTSUP, EINVAL
// or ENOSYS where the file system cannot.
int exchange(const QString &a, const QString &b);

// The file's data on the disk.
int syncFile(const QString &path);
// The folder's entries on the disk: a created or renamed file is only there
// for good once its folder is synced too.
int syncFolderOf(const QString &path);

// Tests: acts as a file system without RENAME_NOREPLACE and RENAME_EXCHANGE.
void setRenameFlagsUnsupportedForTest(bool unsupported);

} // namespace FileCommit
