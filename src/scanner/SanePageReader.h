#pragma once

#include "scanner/SaneBlockingCalls.h"

#include <QImage>
#include <atomic>
#include <functional>

// Reads one page from a started SANE handle into a QImage: gray (8 or 16 bit,
// reduced to 8), line art (1 bit, bit 1 = black), colour in one frame or three
// (held as Format_BGR888).
// The page size the device announces is checked against a memory limit before
// anything is allocated, so an oversized page fails cleanly.
//
// Where the backend offers a select fd, reads wait in poll() on it (non-blocking
// reads where it offers only those), so a stop is seen within kPollMs while no
// data comes.
// After a stop the rest of the sheet is read rather than cancelled: backends that
// produce the page in a reader thread (SANE's test backend) end it with an
// asynchronous pthread_cancel, which is safe only once that thread has written its
// last byte; cancelled while it starts or while a write fails, it can die holding
// the allocator's or the locale lock and hang the process. A sheet that ends within
// kDrainMs has left the scanner and is kept; only one that does not is left to
// sane_cancel.
class SanePageReader final
{
public:
    struct Result
    {
        int status = 0; // SANE_Status of the transfer
        QImage image;
        bool tooLarge = false; // the page would not fit in the memory limit
        // A stop came. With status SANE_STATUS_GOOD the sheet was still read to its
        // end and is in image; otherwise there is no page and drained tells whether
        // the backend's reader is gone (read to the end of a frame).
        bool stopped = false;
        bool drained = false;
        // After a failure: the backend's data pipe was emptied, its reader thread has
        // written its last byte and ends by itself.
        bool readerDone = false;
    };

    using ProgressFn = std::function<void(int percent)>;
    using StopFn = std::function<bool()>;

    static constexpr int kPollMs = 50;
    static constexpr int kDrainMs = 500;

    SanePageReader(void *handle, StopFn stopRequested, qint64 maxPageBytes, ProgressFn progress);

    static constexpr int kReaderExitMs = 50;

    // Call right before sane_start: the backend's reader thread is told from the
    // threads counted here.
    void noteThreadsBeforeStart();
    // Call after sane_start returned SANE_STATUS_GOOD; dpi is stored in the image.
    Result read(double dpi);
    // Reads that block on the device (no select fd, no non-blocking mode) and the
    // start of further frames are marked in calls, so that a stop can cancel them.
    void markBlockingCalls(SaneBlockingCalls *calls, bool cancellable)
    {
        m_calls = calls;
        m_cancellable = cancellable;
    }

private:
    // A transfer that failed leaves the backend's reader thread (if it streams through
    // a pipe, as the test backend's does) writing the rest of the frame; sane_cancel
    // would stop it asynchronously in mid-write, where it may hold the locale or the
    // allocator's lock. The rest of the frame (bytes) is read from the pipe and thrown
    // away, kDrainMs at most; true when all of it came.
    bool emptyPipe(qint64 bytes);
    // Whether the backend's pipe holds at least bytes: its reader has written them.
    bool pipeHolds(qint64 bytes) const;
    // Even at the end of a frame the test backend stops its reader thread with an
    // asynchronous cancel, in the read that takes the last bytes; the thread may
    // then still be freeing its buffer. Waits (kReaderExitMs at most) until the
    // thread counted since noteThreadsBeforeStart() has ended.
    void waitForReaderExit() const;
    // After every sane_start: non-blocking where offered, and the fd to wait on.
    void prepareIo();
    // Waits (at most kPollMs) until data may be there, so stops are seen in time;
    // false when none came yet.
    bool waitForData();

    void *m_handle;
    StopFn m_stopRequested;
    qint64 m_maxPageBytes;
    ProgressFn m_progress;
    int m_selectFd = -1;
    bool m_selectIsPipe = false;
    int m_threadsBeforeStart = -1;
    bool m_nonBlocking = false;
    SaneBlockingCalls *m_calls = nullptr;
    bool m_cancellable = false;
};
