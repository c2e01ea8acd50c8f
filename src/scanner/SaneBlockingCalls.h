#pragma once

#include <QElapsedTimer>
#include <QMutex>

// The SANE calls that may block on the device (sane_start, a blocking sane_read),
// marked by the SANE thread so that a stop on another thread can cancel the one
// under way. Thread-safe.
class SaneBlockingCalls final
{
public:
    // SANE thread: around the call. cancellable is false for backends whose
    // sane_cancel must not run beside another of their calls.
    void enter(void *handle, bool cancellable);
    void leave();
    // Any thread: sane_cancel on the handle when a cancellable call has been under
    // way for at least minMs. The call stays marked until it returns, so the handle
    // cannot be closed meanwhile.
    bool cancelIfLonger(int minMs);
    // SANE thread: the last call was cancelled from outside.
    bool lastCallCancelled();

private:
    QMutex m_mutex;
    void *m_handle = nullptr; // a call on it is under way; null otherwise
    bool m_cancellable = false;
    bool m_cancelled = false; // this call was cancelled already
    QElapsedTimer m_since;
};

// Marks one call for its scope.
class SaneBlockingCall final
{
public:
    SaneBlockingCall(SaneBlockingCalls *calls, void *handle, bool cancellable) : m_calls(calls)
    {
        if (m_calls)
            m_calls->enter(handle, cancellable);
    }
    ~SaneBlockingCall()
    {
        if (m_calls)
            m_calls->leave();
    }
    Q_DISABLE_COPY_MOVE(SaneBlockingCall)

private:
    SaneBlockingCalls *m_calls;
};
