#include "ocr/PageStraightener.h"
#include "support/TextPage.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// Mean difference of two pages of the same size, in gray levels, at a scale where
// text lines still stand apart: small when both show the same text the same way up.
double difference(const QImage &a, const QImage &b)
{
    const QSize size(a.width() / 8, a.height() / 8);
    const QImage x = a.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_Grayscale8);
    const QImage y = b.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_Grayscale8);
    qint64 sum = 0;
    for (int row = 0; row < size.height(); ++row) {
        for (int col = 0; col < size.width(); ++col)
            sum += qAbs(int(x.constScanLine(row)[col]) - int(y.constScanLine(row)[col]));
    }
    return double(sum) / (double(size.width()) * size.height());
}

} // namespace

class TestPageStraightener : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textPages_data();
    void textPages();
    void doubtfulPages_data();
    void doubtfulPages();

private:
    PageStraightener m_straightener;
    TextPage m_upright;
};

void TestPageStraightener::initTestCase()
{
    QString error;
    QVERIFY2(m_straightener.init(&error), qPrintable(error));
    m_upright = textPage(pageOfWords(), 2480, 3508);
}

void TestPageStraightener::textPages_data()
{
    QTest::addColumn<double>("fed");  // clockwise degrees the page was fed at
    QTest::addColumn<int>("turns");   // clockwise quarter turns that set it upright
    QTest::addColumn<double>("skew"); // clockwise degrees that straighten it after
    QTest::addColumn<QColor>("paper");

    const QColor white(Qt::white), cream(246, 238, 214);
    QTest::newRow("upright") << 0.0 << 0 << 0.0 << white;
    QTest::newRow("right") << 90.0 << 3 << 0.0 << white;
    QTest::newRow("upside down") << 180.0 << 2 << 0.0 << white;
    QTest::newRow("left") << 270.0 << 1 << 0.0 << white;
    QTest::newRow("right and a half") << 91.5 << 3 << -1.5 << white;
    QTest::newRow("upside down, tilted") << 177.0 << 2 << 3.0 << cream;
    QTest::newRow("tilted 4.5") << 4.5 << 0 << -4.5 << white;
    QTest::newRow("tilted -4.5") << -4.5 << 0 << 4.5 << cream;
    QTest::newRow("tilted 0.7") << 0.7 << 0 << -0.7 << white;
    QTest::newRow("tilted -9") << -9.0 << 0 << 9.0 << white;
}

void TestPageStraightener::textPages()
{
    QFETCH(double, fed);
    QFETCH(int, turns);
    QFETCH(double, skew);
    QFETCH(QColor, paper);

    const QImage upright = paper == QColor(Qt::white)
                               ? m_upright.image
                               : textPage(pageOfWords(), 2480, 3508, paper).image;
    const QImage page = fedTurned(upright, fed, paper);

    PageCorrection found;
    const QImage corrected = m_straightener.correct(page, true, true, &found);
    QCOMPARE(PageStraightener::turnsToApply(found), turns);
    QVERIFY2(qAbs(found.skewDegrees - skew) < 0.15,
             qPrintable(QStringLiteral("measured %1").arg(found.skewDegrees)));

    // Upright and straight: the page as it was drawn, its corners the paper's colour.
    QCOMPARE(corrected.size(), upright.size());
    QCOMPARE(corrected.dotsPerMeterY(), upright.dotsPerMeterY());
    const double sameWayUp = difference(corrected, upright);
    QVERIFY2(sameWayUp < 6.0, qPrintable(QStringLiteral("differs by %1").arg(sameWayUp)));
    const QColor corner = corrected.pixelColor(0, 0);
    QVERIFY2(qAbs(corner.red() - paper.red()) < 8 && qAbs(corner.blue() - paper.blue()) < 8,
             qPrintable(corner.name()));
    PageCorrection after;
    m_straightener.measure(corrected, true, true, &after);
    QCOMPARE(PageStraightener::turnsToApply(after), 0);
    QVERIFY2(qAbs(after.skewDegrees) < 0.3,
             qPrintable(QStringLiteral("left at %1").arg(after.skewDegrees)));
}

void TestPageStraightener::doubtfulPages_data()
{
    QTest::addColumn<QImage>("page");

    QImage white(2480, 3508, QImage::Format_RGB32);
    white.fill(Qt::white);
    QImage gray(2480, 3508, QImage::Format_Grayscale8);
    gray.fill(200);
    QImage noise(2480, 3508, QImage::Format_Grayscale8);
    for (int y = 0; y < noise.height(); ++y)
        QRandomGenerator(y).fillRange(reinterpret_cast<quint32 *>(noise.scanLine(y)),
                                      noise.width() / 4);
    // A photo: soft shapes and gradients, no lines of text.
    QImage photo(2480, 3508, QImage::Format_RGB32);
    {
        QPainter painter(&photo);
        QLinearGradient sky(0, 0, 0, photo.height());
        sky.setColorAt(0, QColor(90, 140, 220));
        sky.setColorAt(1, QColor(40, 110, 50));
        painter.fillRect(photo.rect(), sky);
        painter.setBrush(QColor(250, 220, 60));
        painter.drawEllipse(QPoint(1700, 700), 400, 400);
        painter.setBrush(QColor(60, 60, 60));
        painter.drawRect(300, 2200, 900, 1000);
    }
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::black);
    QImage huge(10000, 10000, QImage::Format_Grayscale8);
    huge.fill(255);
    {
        QPainter painter(&huge);
        painter.fillRect(QRect(4000, 4000, 300, 40), Qt::black);
    }

    QTest::newRow("blank") << white;
    QTest::newRow("gray paper") << gray;
    QTest::newRow("noise") << noise;
    QTest::newRow("photo") << photo;
    QTest::newRow("1x1") << dot;
    QTest::newRow("null") << QImage();
    QTest::newRow("10000x10000") << huge;
}

void TestPageStraightener::doubtfulPages()
{
    QFETCH(QImage, page);

    PageCorrection found;
    const QImage corrected = m_straightener.correct(page, true, true, &found);
    QCOMPARE(PageStraightener::turnsToApply(found), 0);
    QCOMPARE(PageStraightener::skewToApply(found), 0.0);
    QVERIFY(!PageStraightener::changes(found));
    QCOMPARE(corrected, page);
}

QTEST_MAIN(TestPageStraightener)
#include "tst_pagestraightener.moc"
