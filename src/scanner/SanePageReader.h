#pragma once

#include <QImage>
#include <atomic>
#include <functional>

// Reads one page from a started SANE handle into a QImage: gray (8 or 16 bit,
// reduced to 8), line art (1 bit, bit 1 = black), colour in one frame or three
// (held as Format_BGR888).
// The page size the device announces is checked against a memory limit before
// anything is allocated, so an oversized page fails cleanly.
class SanePageReader final
{
public:
    struct Result
    {
        int status = 0; // SANE_Status of the transfer
        QImage image;
        bool tooLarge = false; // the page would not fit in the memory limit
    };

    using ProgressFn = std::function<void(int percent)>;

    SanePageReader(void *handle, const std::atomic_bool &cancel, qint64 maxPageBytes,
                   ProgressFn progress);

    // Call after sane_start returned SANE_STATUS_GOOD; dpi is stored in the image.
    Result read(double dpi);

private:
    void *m_handle;
    const std::atomic_bool &m_cancel;
    qint64 m_maxPageBytes;
    ProgressFn m_progress;
};
