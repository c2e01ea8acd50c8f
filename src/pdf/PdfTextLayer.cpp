#include "pdf/PdfTextLayer.h"

#include "pdf/GlyphlessFont.h"

namespace PdfTextLayer {

QByteArray hexCodes(const QString &text)
{
    QByteArray hex;
    hex.reserve(text.size() * 4);
    for (const QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).toUpper().rightJustified(4, '0');
    return hex;
}

QByteArray operators(const PdfWords &words, const QSize &page, const QByteArray &font)
{
    const QRect pageRect(QPoint(0, 0), page);
    QByteArray ops;
    for (const PdfWord &word : words) {
        const QString text = word.text.trimmed();
        const QRect box = word.box.intersected(pageRect);
        if (text.isEmpty() || box.width() <= 0 || box.height() <= 0)
            continue;
        // The font's em is the box's height with the baseline at its bottom; the
        // horizontal scale (percent) stretches the glyphs' fixed advance to its width.
        const double natural =
            double(text.size()) * GlyphlessFont::kAdvance / 1000.0 * box.height();
        const double scale = 100.0 * box.width() / natural;
        ops += '/' + font + ' ' + QByteArray::number(box.height()) + " Tf\n";
        ops += QByteArray::number(scale, 'f', 2) + " Tz\n";
        ops += "1 0 0 1 " + QByteArray::number(box.left()) + ' ' +
               QByteArray::number(page.height() - box.top() - box.height()) + " Tm\n";
        ops += '<' + hexCodes(text) + "> Tj\n";
    }
    if (ops.isEmpty())
        return ops;
    return "BT\n3 Tr\n" + ops + "ET\n";
}

} // namespace PdfTextLayer
