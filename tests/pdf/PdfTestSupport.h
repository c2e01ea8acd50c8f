#pragma once

// Helpers shared by the PDF tests: JPEG files built byte by byte, files on disk,
// and the external PDF checkers.

#include "support/PdfInspector.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace PdfTestSupport {

inline QByteArray word(int value)
{
    QByteArray bytes;
    bytes += char((value >> 8) & 0xff);
    bytes += char(value & 0xff);
    return bytes;
}

// A marker segment with a payload of the given size.
inline QByteArray segment(int marker, int payloadSize, char fill = 0)
{
    return word(marker) + word(payloadSize + 2) + QByteArray(payloadSize, fill);
}

inline QByteArray frame(int marker, int width, int height, int components)
{
    QByteArray payload;
    payload += char(8);
    payload += word(height);
    payload += word(width);
    payload += char(components);
    for (int c = 0; c < components; ++c)
        payload += QByteArray("\x01\x11\x00", 3);
    return word(marker) + word(int(payload.size()) + 2) + payload;
}

// A file the header scan accepts: start of image, an APP0, a quantisation table,
// the frame, filler and the end of image, padded to exactly totalSize bytes. The
// writer never decodes it, so the scan data need not be real.
inline QByteArray fakeJpeg(int width, int height, int components, int totalSize = 1000,
                           int frameMarker = 0xFFC0)
{
    QByteArray data = word(0xFFD8);
    data += word(0xFFE0) + word(16) + QByteArray("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14);
    data += segment(0xFFDB, 65);
    data += frame(frameMarker, width, height, components);
    const int rest = totalSize - int(data.size()) - 2;
    data += QByteArray(qMax(0, rest), char(0x55));
    data += word(0xFFD9);
    return data;
}

struct PageSpec
{
    int width;
    int height;
    int components;
    int size;
    int frameMarker;
    QByteArray data = {}; // the JPEG itself; empty: fakeJpeg of the numbers above
};

// The document as the layout tables describe it, built independently of the writer.
inline QByteArray expectedDocument(const QList<PageSpec> &pages)
{
    QByteArray doc = "%PDF-1.5\n";
    QList<qint64> offsets{doc.size()};
    doc += "1 0 obj\n<<\n/Type /Catalog\n/Pages 2 0 R\n>>\nendobj\n";
    offsets << doc.size();
    doc += "2 0 obj\n<<\n/Type /Pages\n/Kids [ ";
    for (int k = 0; k < pages.size(); ++k)
        doc += QByteArray::number(4 * k + 3) + " 0 R ";
    doc += "]\n/Count " + QByteArray::number(pages.size()) + "\n>>\nendobj\n";

    for (int k = 0; k < pages.size(); ++k) {
        const PageSpec &p = pages[k];
        const QByteArray n = QByteArray::number(4 * k + 3), im = QByteArray::number(4 * k + 4),
                         c = QByteArray::number(4 * k + 5);
        const QByteArray w = QByteArray::number(p.width), h = QByteArray::number(p.height);
        offsets << doc.size();
        doc += n + " 0 obj\n<<\n/Type /Page\n/Parent 2 0 R\n/Resources\n<<\n/XObject << /Im" + im +
               " " + im + " 0 R >>\n/ProcSet [ /PDF /ImageC ]\n>>\n/MediaBox [ 0 0 " + w + " " + h +
               " ]\n/Contents " + c + " 0 R\n>>\nendobj\n";
        offsets << doc.size();
        doc += im + " 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Name /Im" + im + "\n/Width " +
               w + "\n/Height " + h + "\n/BitsPerComponent 8\n/Filter [/DCTDecode]\n";
        if (p.components == 4)
            doc += "/ColorSpace /DeviceCMYK\n/Decode[1 0 1 0 1 0 1 0]\n";
        else if (p.components == 3)
            doc += "/ColorSpace /DeviceRGB\n";
        else
            doc += "/ColorSpace /DeviceGray\n";
        doc += "/Length " + QByteArray::number(p.size) + " >>\nstream\n";
        doc += p.data.isEmpty() ? fakeJpeg(p.width, p.height, p.components, p.size, p.frameMarker)
                                : p.data;
        doc += "endstream\nendobj\n";
        offsets << doc.size();
        const QByteArray content = "q\n" + w + " 0 0 " + h + " 0 0 cm\n/Im" + im + " Do\nQ\n";
        doc += c + " 0 obj\n<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" +
               content + "endstream\nendobj\n";
        if (k + 1 < pages.size())
            offsets << -1; // the reserved fourth number
    }

    const qint64 xref = doc.size();
    const int size = 4 * int(pages.size()) + 2;
    doc += "xref\n0 " + QByteArray::number(size) + "\n0000000000 65535 f \n";
    for (qint64 offset : offsets) {
        doc += offset < 0 ? QByteArray("0000000000 00001 f \n")
                          : QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    }
    doc += "trailer\n<<\n/Size " + QByteArray::number(size) + "\n/Root 1 0 R\n>>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF";
    return doc;
}

inline bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The checkers every PDF-writing test uses.
using PdfInspector::haveTool;
using PdfInspector::ListedImage;
using PdfInspector::listImages;
using PdfInspector::runTool;
using PdfInspector::ToolResult;

// A word of a PDF's text as "pdftotext -bbox" finds it: page (from 1) and box in
// PDF units from the page's top left corner.
struct FoundWord
{
    int page = 0;
    QString text;
    QRectF box;
};

inline QList<FoundWord> findWords(const QString &pdf)
{
    QList<FoundWord> words;
    const ToolResult result =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression tag(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                       "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    int page = 0;
    for (auto it = tag.globalMatch(QString::fromUtf8(result.out)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0) == QLatin1String("<page ")) {
            ++page;
            continue;
        }
        words.append({page, m.captured(5),
                      QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                             QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return words;
}

// The share of a's area that b covers.
inline double covered(const QRectF &a, const QRectF &b)
{
    const QRectF common = a.intersected(b);
    return a.isEmpty() ? 0 : common.width() * common.height() / (a.width() * a.height());
}

} // namespace PdfTestSupport
