#pragma once

#include <QString>

// The folder of working copies, the preview image and the update file: the
// value of TEMP when it is set; otherwise a private per-user folder below the
// system's temporary path (mode 0700, refused when it is a link or belongs to
// someone else), never the file-system root.
namespace TempFolder {

QString path();

// Whether the file lies directly in that folder (links and ".." resolved), so
// that it is created readable by its owner only.
bool holds(const QString &filePath);

// Joins folder and name with exactly one inserted separator, as every path of
// the program is built.
QString join(const QString &folder, const QString &name);

} // namespace TempFolder
