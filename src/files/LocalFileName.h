#pragma once

#include <QByteArray>
#include <QString>

// File names as the system holds them: bytes, which need not be UTF-8. Qt's own
// conversion (QFile::encodeName) turns every byte that is not UTF-8 into U+FFFD,
// so such a file could not be opened and an output would be written under another
// name. Here each such byte is kept as a lone surrogate U+DC80..U+DCFF that
// encode() turns back into the byte: decode and encode give back the exact bytes.
// Names that are UTF-8 come out exactly as Qt's conversion gives them.
namespace LocalFileName {

QString decode(const QByteArray &bytes);
QByteArray encode(const QString &name);

// open(2) of the name's exact bytes; -1 with errno set on failure.
int open(const QString &name, int flags, unsigned mode = 0);

} // namespace LocalFileName
