#pragma once

// A 300 dpi page with text drawn in a large, clear font, for the recognition tests:
// the page and where each word stands on it. Needs a QGuiApplication.

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRectF>
#include <QString>

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

inline TextPage textPage(const QString &text, int width = 2480, int height = 1200)
{
    TextPage result{QImage(width, height, QImage::Format_RGB32), {}};
    result.image.fill(Qt::white);
    result.image.setDotsPerMeterX(11811);
    result.image.setDotsPerMeterY(11811);
    QFont font(QStringLiteral("DejaVu Sans"));
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
