#pragma once

#include <QString>

// The folder of working copies, the preview image and the update file: the
// value of TEMP when it is set; otherwise a private per-user folder below the
// system's temporary path (mode 0700, refused when it is a link or belongs to
// someone else), never the file-system root.
namespace TempFolder {

QString path();

// Joins folder and name with exactly one inserted separator, as every path of
// the program is built.
QString join(const QString &folder, const QString &name);

} // namespace TempFolder
