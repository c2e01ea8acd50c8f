#pragma once

#include <QString>

// Files installed with the program for it alone (the recognition helper, the Tesseract
// module): beside the program, in the package's folder for them, or, for a program
// of the build tree, where the build puts them. An installed program never reaches
// into a folder it was once built in.
namespace Companion {

// The first of those places where name is a file that usable accepts; empty when
// there is none.
QString find(const QString &name, bool (*usable)(const QString &path));

} // namespace Companion
