#include "imaging/BmpRowReader.h"

#include "imaging/PageFile.h"

#include <QtEndian>
#include <unistd.h>

namespace {
constexpr qint64 kMaxSide = 65535; // the largest JPEG
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
    m_row = QByteArray(qsizetype(layout.stride), '\0');
    return true;
}

const uchar *BmpRowReader::row(int y)
{
    Q_ASSERT(y >= 0 && y < m_layout.height);
    if (!m_failed) {
        if (!m_file.seek(m_layout.rowOffset(y)) ||
            m_file.read(m_row.data(), m_layout.stride) != m_layout.stride)
            m_failed = true;
    }
    if (m_failed)
        m_row.fill('\0');
    return reinterpret_cast<const uchar *>(m_row.constData());
}
