#include "imaging/BmpRowReader.h"

#include <QtEndian>

namespace {

constexpr qint64 kFileHeaderSize = 14;
constexpr qint64 kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr quint32 kCompressionNone = 0; // BI_RGB
constexpr qint64 kMaxSide = 65535;      // the largest JPEG

} // namespace

bool BmpRowReader::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray header = m_file.read(kFileHeaderSize + kInfoHeaderSize);
    if (header.size() < kFileHeaderSize + kInfoHeaderSize || !header.startsWith("BM"))
        return false;
    const auto *data = reinterpret_cast<const uchar *>(header.constData());
    const quint32 pixelOffset = qFromLittleEndian<quint32>(data + 10);
    const uchar *info = data + kFileHeaderSize;
    const quint32 infoSize = qFromLittleEndian<quint32>(info);
    const qint32 width = qFromLittleEndian<qint32>(info + 4);
    const qint32 height = qFromLittleEndian<qint32>(info + 8);
    const quint16 planes = qFromLittleEndian<quint16>(info + 12);
    const quint16 bits = qFromLittleEndian<quint16>(info + 14);
    const quint32 compression = qFromLittleEndian<quint32>(info + 16);

    // BITMAPINFOHEADER and its later versions; the old core header has no
    // compression field and is left to the general reader.
    if (infoSize < kInfoHeaderSize || planes != 1 || (bits != 24 && bits != 32) ||
        compression != kCompressionNone)
        return false;
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    if (width <= 0 || width > kMaxSide || rows == 0 || rows > kMaxSide)
        return false;
    const qint64 stride = ((qint64(width) * bits + 31) / 32) * 4;
    if (pixelOffset < kFileHeaderSize + infoSize ||
        qint64(pixelOffset) + stride * rows > m_file.size())
        return false;

    m_pixelOffset = pixelOffset;
    m_stride = stride;
    m_width = int(width);
    m_height = int(rows);
    m_bitsPerPixel = bits;
    m_bottomUp = height > 0;
    m_row = QByteArray(qsizetype(stride), '\0');
    return true;
}

const uchar *BmpRowReader::row(int y)
{
    Q_ASSERT(y >= 0 && y < m_height);
    const qint64 fileRow = m_bottomUp ? m_height - 1 - y : y;
    if (!m_failed) {
        if (!m_file.seek(m_pixelOffset + fileRow * m_stride) ||
            m_file.read(m_row.data(), m_stride) != m_stride)
            m_failed = true;
    }
    if (m_failed)
        m_row.fill('\0');
    return reinterpret_cast<const uchar *>(m_row.constData());
}
