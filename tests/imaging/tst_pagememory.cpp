#include "imaging/PageMemory.h"

#include <QTest>
#include <cstring>

// Scanned pages are written row by row into this memory and then handed on as
// ordinary images: the layout must be QImage's own, writing must not copy the
// page, and a copy must stand alone once the page is gone.
class TestPageMemory : public QObject
{
    Q_OBJECT

private slots:
    void behavesAsAPlainImage_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QImage::Format>("format");
        QTest::newRow("small colour") << QSize(31, 17) << QImage::Format_BGR888;
        QTest::newRow("A4 300 dpi colour") << QSize(2480, 3508) << QImage::Format_BGR888;
        QTest::newRow("odd width colour") << QSize(2481, 2000) << QImage::Format_BGR888;
        QTest::newRow("odd width gray") << QSize(2483, 3508) << QImage::Format_Grayscale8;
        QTest::newRow("line art 1200 dpi") << QSize(9921, 14031) << QImage::Format_Mono;
    }
    void behavesAsAPlainImage()
    {
        QFETCH(QSize, size);
        QFETCH(QImage::Format, format);
        QImage page = PageMemory::allocate(size.width(), size.height(), format);
        QImage plain(size, format);
        QVERIFY(!page.isNull());
        QCOMPARE(page.size(), size);
        QCOMPARE(page.format(), format);
        QCOMPARE(page.bytesPerLine(), plain.bytesPerLine());

        const uchar *pixels = page.constBits();
        for (int y = 0; y < size.height(); ++y) {
            std::memset(page.scanLine(y), y * 7, size_t(page.bytesPerLine()));
            std::memset(plain.scanLine(y), y * 7, size_t(plain.bytesPerLine()));
        }
        if (format == QImage::Format_Mono) {
            page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
            plain.setColorTable(page.colorTable());
        }
        QCOMPARE(page.constBits(), pixels); // written in place, not copied
        QImage copy = page.copy();
        QCOMPARE(page, plain);
        page = QImage(); // the memory is given back; the copy keeps its own
        QCOMPARE(copy, plain);
    }
};

QTEST_GUILESS_MAIN(TestPageMemory)
#include "tst_pagememory.moc"
