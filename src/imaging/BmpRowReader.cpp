#include "imaging/BmpRowReader.h"

#include "imaging/PageFile.h"

#include <QtEndian>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr qint64 kMaxSide = 65535;        // the largest JPEG
constexpr qint64 kBandBytes = 512 * 1024; // stays in the cache while it is encoded
} // namespace

bool BmpRowReader::open(const QString &path)
{
    PageFile::Failure failure = PageFile::Failure::None;
    const int fd = PageFile::open(path, &failure);
    if (fd < 0)
        return false;
    if (!m_file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                     QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    const QByteArray header = m_file.read(BmpLayout::HeadersSize);
    BmpLayout layout;
    if (!BmpLayout::parse(reinterpret_cast<const uchar *>(header.constData()), header.size(),
                          m_file.size(), &layout) ||
        layout.width > kMaxSide || layout.height > kMaxSide)
        return false;
    m_layout = layout;
    m_bandRows = int(qBound<qint64>(1, kBandBytes / layout.stride, qint64(layout.height)));
    m_band = QByteArray(qsizetype(m_bandRows * layout.stride), Qt::Uninitialized);
    m_bandFirst = -1;
    m_failed = false;
    // A bottom-up file is read from its end backwards, which the kernel's read-ahead
    // does not follow: ask for the rows now, so that a page on disk streams in
    // while the earlier bands are encoded.
    ::posix_fadvise(fd, layout.pixelOffset, layout.stride * layout.height, POSIX_FADV_WILLNEED);
    return true;
}

// Rows first .. first + m_bandRows - 1 (from the top) lie next to each other in the
// file, in reverse order when it is bottom-up: one read fetches them all.
bool BmpRowReader::readBand(int first)
{
    const int last = qMin(first + m_bandRows, m_layout.height) - 1;
    const qint64 start = qMin(m_layout.rowOffset(first), m_layout.rowOffset(last));
    const qint64 bytes = qint64(last - first + 1) * m_layout.stride;
    m_bandFirst = first;
    return m_file.seek(start) && m_file.read(m_band.data(), bytes) == bytes;
}

const uchar *BmpRowReader::row(int y)
{
    Q_ASSERT(y >= 0 && y < m_layout.height);
    if (m_failed)
        return reinterpret_cast<const uchar *>(m_band.constData());
    if (m_bandFirst < 0 || y < m_bandFirst || y >= m_bandFirst + m_bandRows) {
        if (!readBand(y)) {
            m_failed = true;
            m_band.fill('\0');
            return reinterpret_cast<const uchar *>(m_band.constData());
        }
    }
    const int inBand = y - m_bandFirst;
    const int lastInBand = qMin(m_bandFirst + m_bandRows, m_layout.height) - 1 - m_bandFirst;
    const int index = m_layout.bottomUp ? lastInBand - inBand : inBand;
    return reinterpret_cast<const uchar *>(m_band.constData()) + qint64(index) * m_layout.stride;
}
