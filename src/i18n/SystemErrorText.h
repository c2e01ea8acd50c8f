#pragma once

#include <QString>

class QFileDevice;

// The system's reason for a failed file operation ("No space left on device"):
// in the interface language where Qt's own translations have the text, else in
// English. Never taken from the C library's locale, which need not match the
// interface language.
namespace SystemErrorText {

QString text(int errorNumber);

// Why a write to an open file failed. Qt reports a write that stopped part way (a
// full disk) as a short count without an error; the next write then fails with
// the reason, so one more byte is tried. Only for files that are thrown away.
QString afterFailedWrite(QFileDevice &file);

} // namespace SystemErrorText
