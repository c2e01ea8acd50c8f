#pragma once

// Reads back PDF documents the program wrote, through the external checkers
// (qpdf, pdfinfo, pdfimages), for every test that writes one.

#include <QByteArray>
#include <QDebug>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QSize>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace PdfInspector {

struct ToolResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline bool haveTool(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

inline ToolResult runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForFinished(120000))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// qpdf finds nothing wrong with the document (what it says is logged otherwise).
inline bool qpdfClean(const QString &pdf)
{
    const ToolResult r = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf});
    if (r.exitCode != 0)
        qWarning().noquote() << r.out << r.err;
    return r.exitCode == 0;
}

// The number of pages, -1 when the file is not a readable PDF.
inline int pageCount(const QString &pdf)
{
    const ToolResult r = runTool(QStringLiteral("pdfinfo"), {pdf});
    const auto m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(r.out));
    return r.exitCode == 0 && m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Page sizes in points, in page order, as poppler reads them.
inline QList<QSize> pageSizes(const QString &pdf)
{
    const int count = pageCount(pdf);
    QList<QSize> sizes;
    if (count <= 0)
        return sizes;
    const ToolResult r =
        runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                            QStringLiteral("-l"), QString::number(count), pdf});
    const QRegularExpression line(QStringLiteral("Page +\\d+ size: +([\\d.]+) x ([\\d.]+) pts"));
    for (auto it = line.globalMatch(QString::fromUtf8(r.out)); it.hasNext();) {
        const auto match = it.next();
        sizes.append(
            QSize(qRound(match.captured(1).toDouble()), qRound(match.captured(2).toDouble())));
    }
    return sizes;
}

// One row of "pdfimages -list": page, width, height, colour, components, encoding.
struct ListedImage
{
    int page = 0;
    int width = 0;
    int height = 0;
    QString color;
    int components = 0;
    QString encoding;
};

inline QList<ListedImage> listImages(const QString &pdf)
{
    QList<ListedImage> images;
    const ToolResult result = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    const QList<QByteArray> lines = result.out.split('\n');
    for (int i = 2; i < lines.size(); ++i) { // two header lines
        const QList<QByteArray> f = lines[i].simplified().split(' ');
        if (f.size() < 10)
            continue;
        images.append({f[0].toInt(), f[3].toInt(), f[4].toInt(), QString::fromLatin1(f[5]),
                       f[6].toInt(), QString::fromLatin1(f[8])});
    }
    return images;
}

} // namespace PdfInspector
