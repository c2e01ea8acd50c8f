#include "scanner/PageBuffer.h"

void PageBuffer::clear()
{
    m_newest.clear();
    m_count = 0;
}

void PageBuffer::append(const QImage &image)
{
    m_newest.append(image);
    while (m_newest.size() > m_keep)
        m_newest.removeFirst();
    ++m_count;
}

QImage PageBuffer::at(int index) const
{
    const int first = m_count - int(m_newest.size());
    if (index < first || index >= m_count)
        return QImage();
    return m_newest.at(index - first);
}
