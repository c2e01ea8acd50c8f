#pragma once

// PDF documents made on the spot for the tests that add files: pages of given
// sizes in points, each with an ink block in its top-left quarter on a white
// page, and a copy locked with a password (through qpdf).

#include "support/PdfInspector.h"

#include <QColor>
#include <QList>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSizeF>
#include <QString>

namespace PdfSamples {

inline bool writePages(const QString &path, const QList<QSizeF> &pointSizes,
                       const QColor &ink = QColor(200, 30, 30))
{
    if (pointSizes.isEmpty())
        return false;
    QPdfWriter writer(path);
    writer.setResolution(72);
    const auto pageSize = [](const QSizeF &points) {
        return QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch);
    };
    writer.setPageMargins({});
    writer.setPageSize(pageSize(pointSizes.first()));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int i = 0; i < pointSizes.size(); ++i) {
        if (i > 0) {
            writer.setPageSize(pageSize(pointSizes.at(i)));
            if (!writer.newPage())
                return false;
        }
        const QSizeF s = pointSizes.at(i);
        painter.fillRect(QRectF(0, 0, s.width() / 2, s.height() / 2), ink);
    }
    return painter.end();
}

// A copy of source that opens only with the password "secret".
inline bool lockWithPassword(const QString &source, const QString &target)
{
    return PdfInspector::runTool(QStringLiteral("qpdf"),
                                 {QStringLiteral("--encrypt"), QStringLiteral("secret"),
                                  QStringLiteral("owner"), QStringLiteral("256"),
                                  QStringLiteral("--"), source, target})
               .exitCode == 0;
}

} // namespace PdfSamples
