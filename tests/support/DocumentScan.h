#pragma once

// A colour scan of a typed document as a flatbed delivers it: tinted paper with
// sensor noise, lines of dark text, a coloured heading and a photograph (a
// smooth picture of many tones). Sizes follow the resolution, so the same page
// can be made at 150, 300 or 600 dpi.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QRect>

namespace DocumentScan {

struct Scan
{
    QImage image;
    QRect photo; // where the photograph lies
};

inline Scan make(int width, int height, int dpi, quint32 seed = 1,
                 const QColor &paper = QColor(236, 229, 210),
                 const QColor &ink = QColor(30, 30, 40))
{
    Scan scan;
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(paper);
    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double mm = dpi / 25.4;
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setBold(true);
    heading.setPixelSize(int(6 * mm));
    painter.setFont(heading);
    painter.setPen(QColor(160, 25, 25));
    painter.drawText(QPointF(15 * mm, 20 * mm), QStringLiteral("Quarterly Report"));
    QFont body(QStringLiteral("DejaVu Serif"));
    body.setPixelSize(int(3.7 * mm)); // 10.5 pt
    painter.setFont(body);
    painter.setPen(ink);
    const QString line =
        QStringLiteral("The committee thanks every member for the signed copy of the contract.");
    scan.photo = QRect(int(width * 0.55), int(30 * mm), int(width * 0.35), int(height * 0.2));
    for (double y = 32 * mm; y < height - 10 * mm; y += 6 * mm) {
        const bool besidePhoto = y < scan.photo.bottom() + 6 * mm;
        painter.save();
        if (besidePhoto)
            painter.setClipRect(QRect(0, 0, scan.photo.left() - int(3 * mm), height));
        painter.drawText(QPointF(15 * mm, y), line);
        painter.restore();
    }
    QLinearGradient sky(scan.photo.topLeft(), scan.photo.bottomRight());
    sky.setColorAt(0, QColor(60, 110, 190));
    sky.setColorAt(0.5, QColor(200, 180, 120));
    sky.setColorAt(1, QColor(40, 100, 50));
    painter.fillRect(scan.photo, sky);
    painter.setBrush(QColor(240, 210, 90));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(scan.photo.center(), scan.photo.width() / 6, scan.photo.width() / 6);
    painter.end();

    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(17u)) - 8;
            row[x] = qRgb(qBound(0, qRed(row[x]) + n, 255), qBound(0, qGreen(row[x]) + n, 255),
                          qBound(0, qBlue(row[x]) + n, 255));
        }
    }
    const int dpm = int(dpi / 0.0254 + 0.5);
    page.setDotsPerMeterX(dpm);
    page.setDotsPerMeterY(dpm);
    scan.image = page;
    return scan;
}

} // namespace DocumentScan
