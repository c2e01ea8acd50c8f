#include "scanner/SanePageReader.h"

#include "imaging/PageMemory.h"
#include "scanner/ScanRules.h"
#include "scanner/ScannerLog.h"

#include <QElapsedTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sane/sane.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kChunkBytes = 256 * 1024;

struct FrameLayout
{
    SANE_Parameters p{};
    int channel = -1; // 0, 1, 2 for a separate red, green or blue frame; -1 otherwise
    int samples = 1;  // samples per pixel in this frame
    QImage::Format format = QImage::Format_Grayscale8;
    qint64 usefulBytes = 0; // bytes of a line that hold pixels (the rest is padding)
};

bool describeFrame(const SANE_Parameters &p, FrameLayout *f)
{
    f->p = p;
    if (p.pixels_per_line <= 0 || (p.depth != 1 && p.depth != 8 && p.depth != 16))
        return false;
    switch (p.format) {
    case SANE_FRAME_GRAY:
        f->format = p.depth == 1 ? QImage::Format_Mono : QImage::Format_Grayscale8;
        break;
    case SANE_FRAME_RGB:
        if (p.depth == 1)
            return false;
        f->samples = 3;
        f->format = QImage::Format_BGR888;
        break;
    case SANE_FRAME_RED:
    case SANE_FRAME_GREEN:
    case SANE_FRAME_BLUE:
        if (p.depth == 1)
            return false;
        f->channel = 2 - (int(p.format) - int(SANE_FRAME_RED)); // blue first in memory
        f->format = QImage::Format_BGR888;
        break;
    default:
        return false; // compressed or vendor frames are not offered by any mode we choose
    }
    f->usefulBytes = (qint64(p.pixels_per_line) * f->samples * p.depth + 7) / 8;
    return p.bytes_per_line >= f->usefulBytes;
}

// One device line into one image row, reducing 16-bit samples to their high byte.
void storeLine(const FrameLayout &f, const uchar *in, uchar *out)
{
    const int n = f.p.pixels_per_line * f.samples;
    if (f.channel >= 0) {
        if (f.p.depth == 16) {
            const auto *in16 = reinterpret_cast<const quint16 *>(in);
            for (int x = 0; x < n; ++x)
                out[3 * x + f.channel] = uchar(in16[x] >> 8);
        } else {
            for (int x = 0; x < n; ++x)
                out[3 * x + f.channel] = in[x];
        }
    } else if (f.samples == 3) {
        // Colour is kept blue first, as BMP page files store it: saving one is a copy.
        const auto *in16 = reinterpret_cast<const quint16 *>(in);
        for (int x = 0; x < n; x += 3) {
            for (int c = 0; c < 3; ++c)
                out[x + 2 - c] = f.p.depth == 16 ? uchar(in16[x + c] >> 8) : in[x + c];
        }
    } else if (f.p.depth == 16) {
        const auto *in16 = reinterpret_cast<const quint16 *>(in);
        for (int x = 0; x < n; ++x)
            out[x] = uchar(in16[x] >> 8);
    } else {
        std::memcpy(out, in, size_t(f.usefulBytes));
    }
}

} // namespace

SanePageReader::SanePageReader(void *handle, StopFn stopRequested, qint64 maxPageBytes,
                               ProgressFn progress)
    : m_handle(handle), m_stopRequested(std::move(stopRequested)), m_maxPageBytes(maxPageBytes),
      m_progress(std::move(progress))
{
}

namespace {

// Threads of this process now, from /proc (-1 when it cannot be read).
int threadCount()
{
    char buffer[1024];
    const int fd = ::open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0)
        return -1;
    buffer[n] = 0;
    // Field 20, counted after the command name's closing parenthesis (field 2).
    const char *p = std::strrchr(buffer, ')');
    for (int field = 2; p && field < 20; ++field)
        p = std::strchr(p + 1, ' ');
    return p ? std::atoi(p + 1) : -1;
}

} // namespace

void SanePageReader::noteThreadsBeforeStart()
{
    m_threadsBeforeStart = threadCount();
}

bool SanePageReader::pipeHolds(qint64 bytes) const
{
    int available = 0;
    return m_selectIsPipe && bytes > 0 && ::ioctl(m_selectFd, FIONREAD, &available) == 0 &&
           available >= bytes;
}

void SanePageReader::waitForReaderExit() const
{
    if (m_threadsBeforeStart < 0)
        return;
    QElapsedTimer clock;
    clock.start();
    while (threadCount() > m_threadsBeforeStart && clock.elapsed() < kReaderExitMs)
        ::poll(nullptr, 0, 1);
    qCDebug(lcScanner) << "backend reader"
                       << (clock.elapsed() < kReaderExitMs ? "ended" : "still running") << "after"
                       << clock.elapsed() << "ms";
}

bool SanePageReader::emptyPipe(qint64 bytes)
{
    if (!m_selectIsPipe || bytes <= 0)
        return false;
    QElapsedTimer clock;
    clock.start();
    std::vector<char> sink(64 * 1024);
    while (bytes > 0 && clock.elapsed() < kDrainMs) {
        pollfd p{m_selectFd, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0)
            continue;
        const ssize_t n =
            ::read(m_selectFd, sink.data(), size_t(qMin<qint64>(bytes, qint64(sink.size()))));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes -= n;
    }
    return bytes == 0;
}

void SanePageReader::prepareIo()
{
    auto *h = static_cast<SANE_Handle>(m_handle);
    SANE_Int fd = -1;
    m_selectFd = sane_get_select_fd(h, &fd) == SANE_STATUS_GOOD ? fd : -1;
    struct stat st = {};
    m_selectIsPipe = m_selectFd >= 0 && ::fstat(m_selectFd, &st) == 0 && S_ISFIFO(st.st_mode);
    // With a select fd the reads stay blocking and are made only once poll() says
    // data is there. The test backend's non-blocking mode takes a read that finds
    // no data yet for the end of the page and stops its reader thread as it starts.
    m_nonBlocking = m_selectFd < 0 && sane_set_io_mode(h, SANE_TRUE) == SANE_STATUS_GOOD;
}

bool SanePageReader::waitForData()
{
    if (m_selectFd >= 0) {
        pollfd p{m_selectFd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0 && errno != EINTR)
            m_selectFd = -1; // not pollable after all: plain reads from now on
        return ready != 0;   // data, end of data, or an error for sane_read to report
    }
    if (m_nonBlocking)
        ::poll(nullptr, 0, 5); // nothing to wait on: do not spin
    return true;
}

SanePageReader::Result SanePageReader::read(double dpi)
{
    auto *h = static_cast<SANE_Handle>(m_handle);
    Result result;
    QImage image;
    int rowsRead = 0;
    bool first = true;
    std::vector<uchar> chunk(kChunkBytes);

    bool draining = false;
    QElapsedTimer drainClock;
    prepareIo();
    for (;;) {
        SANE_Parameters params;
        SANE_Status status = sane_get_parameters(h, &params);
        FrameLayout f;
        if (status != SANE_STATUS_GOOD || !describeFrame(params, &f)) {
            qCWarning(lcScanner) << "unusable frame parameters, format" << params.format << "depth"
                                 << params.depth;
            result.status = status != SANE_STATUS_GOOD ? status : SANE_STATUS_INVAL;
            return result;
        }
        const int width = params.pixels_per_line;
        const qint64 rowBytes = ScanRules::imageBytes(width, 1, f.format);
        const qint64 maxRows = rowBytes > 0 ? m_maxPageBytes / rowBytes : 0;
        if (first) {
            // A device that does not know the height (hand-held, some feeders) says -1:
            // start with a guess and grow, within the same limit.
            const qint64 rows =
                params.lines > 0 ? params.lines : qMin<qint64>(width * 3 / 2, maxRows);
            const qint64 pageBytes =
                params.lines > 0 ? qint64(params.bytes_per_line) * params.lines : 0;
            if (params.lines > maxRows || rows <= 0) {
                result.tooLarge = true;
                result.status = SANE_STATUS_NO_MEM;
                result.readerDone = emptyPipe(pageBytes);
                return result;
            }
            image = PageMemory::allocate(width, int(rows), f.format);
            if (image.isNull()) {
                result.status = SANE_STATUS_NO_MEM;
                result.readerDone = emptyPipe(pageBytes);
                return result;
            }
            if (f.channel >= 0)
                image.fill(Qt::black);
        } else if (width != image.width() || f.format != image.format()) {
            result.status = SANE_STATUS_INVAL;
            return result;
        }

        const int frames = f.channel >= 0 ? 3 : 1;
        const qint64 frameBytes =
            params.lines > 0 ? qint64(params.bytes_per_line) * params.lines : 0;
        const qint64 doneBefore = f.channel > 0 ? frameBytes * f.channel : 0;
        std::vector<uchar> line(size_t(params.bytes_per_line));
        qint64 lineFill = 0;
        qint64 frameRead = 0;
        bool lastPieceSeen = false;
        int row = 0;

        for (;;) {
            if (!draining && m_stopRequested()) {
                draining = true;
                drainClock.start();
            }
            if (draining && drainClock.elapsed() > kDrainMs) {
                result.stopped = true;
                result.status = SANE_STATUS_CANCELLED;
                return result;
            }
            if (m_selectFd >= 0 && !waitForData())
                continue;
            if (!lastPieceSeen && frameBytes > 0 && pipeHolds(frameBytes - frameRead)) {
                // The read that takes the last bytes stops the backend's reader thread:
                // let it end by itself first.
                lastPieceSeen = true;
                waitForReaderExit();
            }
            SANE_Int len = 0;
            {
                const bool blocking = m_selectFd < 0 && !m_nonBlocking;
                SaneBlockingCall mark(blocking ? m_calls : nullptr, m_handle, m_cancellable);
                status = sane_read(h, chunk.data(), SANE_Int(chunk.size()), &len);
            }
            if (status == SANE_STATUS_EOF)
                break;
            if (status != SANE_STATUS_GOOD) {
                result.stopped = draining;
                result.status = status;
                result.readerDone = emptyPipe(frameBytes - frameRead);
                return result;
            }
            if (len <= 0) {
                if (m_selectFd < 0)
                    waitForData();
                continue;
            }
            frameRead += len;
            const uchar *in = chunk.data();
            qint64 left = len;
            while (left > 0) {
                const qint64 take = qMin<qint64>(left, params.bytes_per_line - lineFill);
                const bool whole = lineFill == 0 && take == params.bytes_per_line;
                if (!whole)
                    std::memcpy(line.data() + lineFill, in, size_t(take));
                lineFill += take;
                if (lineFill == params.bytes_per_line) {
                    if (row >= image.height() && params.lines <= 0) {
                        if (image.height() >= maxRows) {
                            result.tooLarge = true;
                            result.status = SANE_STATUS_NO_MEM;
                            return result;
                        }
                        image = image.copy(0, 0, width,
                                           int(qMin<qint64>(maxRows, qint64(image.height()) * 2)));
                        if (image.isNull()) {
                            result.status = SANE_STATUS_NO_MEM;
                            return result;
                        }
                    }
                    // Lines beyond the announced height are dropped, not written past the end.
                    if (row < image.height())
                        storeLine(f, whole ? in : line.data(), image.scanLine(row));
                    ++row;
                    lineFill = 0;
                }
                in += take;
                left -= take;
            }
            if (m_progress && frameBytes > 0)
                m_progress(
                    int((doneBefore + qMin(frameRead, frameBytes)) * 100 / (frameBytes * frames)));
        }
        rowsRead = qMax(rowsRead, qMin(row, image.height()));
        if (params.last_frame)
            break;
        if (draining) {
            // A stop between the frames of a three-pass colour sheet: the sheet
            // is not whole and no further frame is started.
            result.stopped = true;
            result.drained = true;
            result.status = SANE_STATUS_CANCELLED;
            return result;
        }
        noteThreadsBeforeStart();
        {
            SaneBlockingCall mark(m_calls, m_handle, m_cancellable);
            status = sane_start(h);
        }
        if (status != SANE_STATUS_GOOD) {
            result.status = status;
            return result;
        }
        prepareIo();
        first = false;
    }

    if (rowsRead == 0) {
        result.status = SANE_STATUS_IO_ERROR;
        return result;
    }
    // A sheet shorter than announced: keep what came. It is better to return a
    // cropped page than nothing.
    if (rowsRead < image.height())
        image = image.copy(0, 0, image.width(), rowsRead);
    if (image.format() == QImage::Format_Mono)
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    const int dpm = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    result.status = SANE_STATUS_GOOD;
    result.image = image;
    // Read to its end although a stop came: the sheet has left the scanner.
    result.stopped = draining;
    result.drained = draining;
    return result;
}
