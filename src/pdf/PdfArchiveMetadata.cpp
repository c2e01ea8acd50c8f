#include "pdf/PdfArchiveMetadata.h"

#include <QFile>
#include <QFileInfo>

namespace {

QByteArray offset(const QDateTime &time, const char *separator, const char *end)
{
    const int seconds = time.offsetFromUtc();
    const int minutes = qAbs(seconds) / 60;
    return (seconds < 0 ? "-" : "+") + QByteArray::number(minutes / 60).rightJustified(2, '0') +
           separator + QByteArray::number(minutes % 60).rightJustified(2, '0') + end;
}

QByteArray xmlEscaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

} // namespace

namespace PdfArchiveMetadata {

QString producer()
{
    return QStringLiteral("Pagora Pro " PAGORA_VERSION);
}

QString titleFor(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName();
}

QByteArray pdfDate(const QDateTime &time)
{
    return "D:" + time.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
           offset(time, "'", "'");
}

QByteArray xmpDate(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + offset(time, ":", "");
}

QByteArray textString(const QString &text)
{
    bool plain = true;
    for (const QChar c : text)
        plain = plain && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (plain) {
        QByteArray literal = text.toLatin1();
        literal.replace('\\', "\\\\").replace('(', "\\(").replace(')', "\\)");
        return '(' + literal + ')';
    }
    QByteArray hex = "<FEFF";
    for (const QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).toUpper().rightJustified(4, '0');
    return hex + '>';
}

QByteArray infoEntries(const PdfArchiveInfo &info)
{
    const QByteArray date = '(' + pdfDate(info.created) + ')';
    return "/Title " + textString(info.title) + " /Producer " + textString(producer()) +
           " /Creator " + textString(producer()) + "\n/CreationDate " + date + " /ModDate " + date;
}

QByteArray xmp(const PdfArchiveInfo &info)
{
    const QByteArray date = xmpDate(info.created);
    const QByteArray tool = xmlEscaped(producer());
    QByteArray x;
    x += "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n";
    x += "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n";
    x += "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n";
    x += "<rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n";
    x += "<pdfaid:part>2</pdfaid:part>\n<pdfaid:conformance>B</pdfaid:conformance>\n";
    x += "</rdf:Description>\n";
    x += "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n";
    x += "<dc:format>application/pdf</dc:format>\n";
    x += "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + xmlEscaped(info.title) +
         "</rdf:li></rdf:Alt></dc:title>\n";
    x += "</rdf:Description>\n";
    x += "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n";
    x += "<xmp:CreateDate>" + date + "</xmp:CreateDate>\n";
    x += "<xmp:ModifyDate>" + date + "</xmp:ModifyDate>\n";
    x += "<xmp:MetadataDate>" + date + "</xmp:MetadataDate>\n";
    x += "<xmp:CreatorTool>" + tool + "</xmp:CreatorTool>\n";
    x += "</rdf:Description>\n";
    x += "<rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n";
    x += "<pdf:Producer>" + tool + "</pdf:Producer>\n";
    x += "</rdf:Description>\n";
    x += "</rdf:RDF>\n</x:xmpmeta>\n";
    x += "<?xpacket end=\"w\"?>";
    return x;
}

QByteArray srgbProfile()
{
    QFile file(QStringLiteral(":/pagora/icc/sRGB.icc"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace PdfArchiveMetadata
