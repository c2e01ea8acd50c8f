#include "imaging/PageCrop.h"
#include "support/TextPage.h"

#include <QPainter>
#include <QtTest>

class TestPageCrop : public QObject
{
    Q_OBJECT

private slots:
    // Flatbed scans (a US letter bed at 300 dpi): the cut holds all of the paper
    // and little of the bed; where no paper stands out from an even bed the scan
    // stays whole.
    void paperRect_data()
    {
        QTest::addColumn<QColor>("bed");
        QTest::addColumn<QRect>("paper"); // empty: no paper laid on the bed
        QTest::addColumn<bool>("cut");

        const QColor dark(70, 70, 75), gray(150, 150, 150), lid(245, 245, 245);
        QTest::newRow("A5 in the middle, dark bed") << dark << QRect(400, 500, 1748, 2480) << true;
        QTest::newRow("A5 in the corner") << dark << QRect(0, 0, 1748, 2480) << true;
        QTest::newRow("card, gray bed") << gray << QRect(900, 1200, 1050, 640) << true;
        QTest::newRow("white paper, white lid") << lid << QRect(400, 500, 1748, 2480) << false;
        QTest::newRow("paper fills the bed") << dark << QRect(0, 0, 2550, 3300) << false;
        QTest::newRow("empty bed") << dark << QRect() << false;
    }

    void paperRect()
    {
        QFETCH(QColor, bed);
        QFETCH(QRect, paper);
        QFETCH(bool, cut);

        QImage scan(2550, 3300, QImage::Format_RGB32);
        scan.fill(bed);
        if (!paper.isEmpty()) {
            // Paper with text on it, so that the page's own marks are kept too.
            const TextPage text =
                textPage(QStringLiteral("Crop to the page keeps every word"), paper.width(),
                         std::min(paper.height(), 1200), Qt::white);
            QPainter painter(&scan);
            painter.fillRect(paper, Qt::white);
            painter.drawImage(paper.topLeft(), text.image);
        }
        const QRect found = PageCrop::paperRect(scan);
        if (!cut) {
            QCOMPARE(found, scan.rect());
            QCOMPARE(PageCrop::cropped(scan), scan);
            return;
        }
        QVERIFY2(found.contains(paper), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                       .arg(found.x())
                                                       .arg(found.y())
                                                       .arg(found.width())
                                                       .arg(found.height())));
        QVERIFY(found.width() <= paper.width() + 24 && found.height() <= paper.height() + 24);
        QCOMPARE(PageCrop::cropped(scan).size(), found.size());
    }

    void tinyAndNull()
    {
        QImage dot(1, 1, QImage::Format_RGB32);
        dot.fill(Qt::black);
        QCOMPARE(PageCrop::paperRect(dot), dot.rect());
        QCOMPARE(PageCrop::paperRect(QImage()), QRect());
    }
};

QTEST_MAIN(TestPageCrop)
#include "tst_pagecrop.moc"
