#pragma once

// A 300 dpi page with text drawn in a large, clear font, for the recognition tests:
// the page and where each word stands on it. Needs a QGuiApplication.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRandomGenerator>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <cmath>

struct DrawnWord
{
    QString text;
    QRectF box; // in pixels
};

struct TextPage
{
    QImage image;
    QList<DrawnWord> words;
};

inline TextPage textPage(const QString &text, int width = 2480, int height = 1200,
                         const QColor &paper = Qt::white,
                         const QString &family = QStringLiteral("DejaVu Sans"))
{
    TextPage result{QImage(width, height, QImage::Format_RGB32), {}};
    result.image.fill(paper);
    result.image.setDotsPerMeterX(11811);
    result.image.setDotsPerMeterY(11811);
    QFont font(family);
    font.setPixelSize(64);
    QPainter painter(&result.image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(font);
    int x = 200, baseline = 200;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int advance = metrics.horizontalAdvance(word);
        if (x + advance > width - 200) {
            x = 200;
            baseline += 110;
        }
        painter.drawText(x, baseline, word);
        result.words.append(
            {word, QRectF(x, baseline - metrics.ascent(), advance, metrics.height())});
        x += advance + metrics.horizontalAdvance(QLatin1Char(' '));
    }
    return result;
}

// The page as a scanner would deliver it when fed turned clockwise by degrees: a
// quarter turn swaps the sides, a few degrees more tilt it on a sheet of the same
// size, the corners showing the paper.
inline QImage fedTurned(const QImage &page, double degrees, const QColor &paper = Qt::white)
{
    const int quarter = int(std::lround(degrees / 90.0)) % 4;
    const bool sideways = (quarter + 4) % 2 == 1;
    QImage fed(sideways ? page.height() : page.width(), sideways ? page.width() : page.height(),
               QImage::Format_RGB32);
    fed.fill(paper);
    fed.setDotsPerMeterX(page.dotsPerMeterX());
    fed.setDotsPerMeterY(page.dotsPerMeterY());
    QPainter painter(&fed);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(fed.width() / 2.0, fed.height() / 2.0);
    painter.rotate(degrees);
    painter.drawImage(QPointF(-page.width() / 2.0, -page.height() / 2.0), page);
    return fed;
}

// Enough English and Russian words to fill most of an A4 page at 300 dpi.
inline QString pageOfWords()
{
    const QString english =
        QStringLiteral("The quick brown fox jumps over the lazy dog while seven tired clerks count "
                       "every invoice twice before lunch and the printer hums along the wall ");
    const QString russian =
        QStringLiteral("Съешь же ещё этих мягких французских булок да выпей чаю пока светит "
                       "солнце над тихой рекой и старый мельник считает мешки ");
    QString text;
    for (int i = 0; i < 5; ++i)
        text += english + russian;
    return text;
}

// A page of gray noise: Tesseract spends half a minute finding its layout (2000 x
// 2000), without once looking at its cancel flag or deadline.
inline QImage noisePage(int side = 2000)
{
    QImage page(side, side, QImage::Format_Grayscale8);
    QRandomGenerator random(24);
    for (int y = 0; y < side; ++y) {
        uchar *line = page.scanLine(y);
        for (int x = 0; x < side; ++x)
            line[x] = uchar(random.generate());
    }
    return page;
}
