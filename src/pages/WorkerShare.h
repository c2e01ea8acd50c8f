#pragma once

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

// Work on whole pages keeps a core busy for a long time; on two cores the
// window's thread would queue behind it. A lower share for the worker's thread
// lets the window run at once when it wakes (nice is per thread on Linux).
inline void yieldToWindow()
{
#ifdef Q_OS_LINUX
    thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
    }
#endif
}
