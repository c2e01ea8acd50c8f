#pragma once

// For tests that need a tool or service of the machine (CUPS with its PDF queue,
// saned, qpdf, cjpeg, recognition data, Qt's own translations) or root's rights
// (a small file system mounted, a file given to another user). On a developer's
// machine a missing one skips the test with the reason; in CI (CI=true), which
// runs as root and where scripts/test.sh installs and starts all of them, it fails
// instead: a skip there would hide a broken set-up behind "100% tests passed".

#include <QByteArray>
#include <QString>
#include <QtTest>

namespace Prerequisite {

inline bool inCi()
{
    return qEnvironmentVariable("CI").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

inline QByteArray reason(const char *text)
{
    return QByteArray(text);
}

inline QByteArray reason(const QString &text)
{
    return text.toLocal8Bit();
}

} // namespace Prerequisite

// Ends the test function: QSKIP, or QFAIL in CI. `why` is a C string or a QString.
#define SKIP_OR_FAIL_IN_CI(why)                                                                    \
    do {                                                                                           \
        const QByteArray prerequisiteWhy = Prerequisite::reason(why);                              \
        if (Prerequisite::inCi())                                                                  \
            QFAIL(("missing in CI: " + prerequisiteWhy).constData());                              \
        QSKIP(prerequisiteWhy.constData());                                                        \
    } while (false)
