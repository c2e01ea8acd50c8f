#pragma once

// Whether a file was last changed before the current tick of the system's coarse
// clock, the one file times are taken from: a program starting from now on
// finds it older than its start, however fast the test runs.

#include <QFile>
#include <QString>
#include <ctime>
#include <sys/stat.h>

inline bool changedBeforeThisTick(const QString &path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return st.st_ctim.tv_sec < now.tv_sec ||
           (st.st_ctim.tv_sec == now.tv_sec && st.st_ctim.tv_nsec < now.tv_nsec);
}
