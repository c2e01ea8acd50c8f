#pragma once

#include <QImage>
#include <QList>

// The control's image buffer. Counts every image since the source was opened but
// keeps only the newest few, because the program only ever asks for the newest
// page: memory stays bounded however long the feeder batch.
class PageBuffer final
{
public:
    explicit PageBuffer(int keep = 2) : m_keep(qMax(1, keep)) {}

    void clear();
    void append(const QImage &image);
    int count() const { return m_count; }
    // Null when the index was never filled or its image has been dropped.
    QImage at(int index) const;
    bool contains(int index) const { return !at(index).isNull(); }

private:
    int m_keep;
    int m_count = 0;
    QList<QImage> m_newest; // images m_count - m_newest.size() .. m_count - 1
};
