#include "scanner/SaneBlockingCalls.h"

#include "scanner/ScannerLog.h"

#include <sane/sane.h>

void SaneBlockingCalls::enter(void *handle, bool cancellable)
{
    QMutexLocker lock(&m_mutex);
    m_handle = handle;
    m_cancellable = cancellable;
    m_cancelled = false;
    m_since.start();
}

void SaneBlockingCalls::leave()
{
    // Waits for a cancel that runs right now: the handle must outlive it.
    QMutexLocker lock(&m_mutex);
    m_handle = nullptr;
}

bool SaneBlockingCalls::cancelIfLonger(int minMs)
{
    QMutexLocker lock(&m_mutex);
    if (!m_handle || !m_cancellable || m_cancelled || m_since.elapsed() < minMs)
        return false;
    qCDebug(lcScanner) << "cancelling a device call blocked for" << m_since.elapsed() << "ms";
    m_cancelled = true;
    sane_cancel(static_cast<SANE_Handle>(m_handle));
    return true;
}

bool SaneBlockingCalls::lastCallCancelled()
{
    QMutexLocker lock(&m_mutex);
    return m_cancelled;
}
