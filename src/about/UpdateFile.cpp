#include "about/UpdateFile.h"

#include "about/AboutLog.h"

#include <QXmlStreamReader>

namespace UpdateFile {

namespace {

// Skips from "from" past the next "end"; the size of data when there is none (the
// reader then finds the document unfinished).
qsizetype skipPast(const QByteArray &data, qsizetype from, const char *end)
{
    const qsizetype at = data.indexOf(end, from);
    return at < 0 ? data.size() : at + qsizetype(qstrlen(end));
}

// One linear pass over the raw markup before Qt's reader sees it. Inside a tag a
// quote can only open an attribute value, and '<' never stands unescaped in text
// or values, so outside comments, CDATA sections and processing instructions
// every '<' opens a tag and every '=' outside quotes belongs to one attribute.
bool withinLimits(const QByteArray &data)
{
    const qsizetype size = data.size();
    qsizetype i = 0;
    while (i < size) {
        i = data.indexOf('<', i);
        if (i < 0)
            return true;
        const QByteArrayView rest = QByteArrayView(data).sliced(i);
        if (rest.startsWith("<!--")) {
            i = skipPast(data, i + 4, "-->");
        } else if (rest.startsWith("<![CDATA[")) {
            i = skipPast(data, i + 9, "]]>");
        } else if (rest.startsWith("<?")) {
            i = skipPast(data, i + 2, "?>");
        } else if (rest.startsWith("<!")) {
            return false; // a document type declaration
        } else {
            int attributes = 0;
            char quote = 0;
            for (++i; i < size; ++i) {
                const char c = data.at(i);
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '=') {
                    if (++attributes > MaxAttributes)
                        return false;
                } else if (c == '>') {
                    break;
                }
            }
        }
    }
    return true;
}

} // namespace

Result read(const QByteArray &data)
{
    Result result;
    if (data.size() > MaxSize) {
        result.status = Status::TooLarge;
        return result;
    }

    if (!withinLimits(data)) {
        qCDebug(lcAbout) << "update file with a document type or too many attributes";
        result.status = Status::TooComplex;
        return result;
    }

    QXmlStreamReader xml(data);
    int depth = 0;
    // Depth of Program_Info (2) and Program_Version (3) while inside them, else 0.
    int infoDepth = 0;
    int versionDepth = 0;
    bool infoSeen = false;
    bool versionSeen = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > MaxDepth) {
                qCDebug(lcAbout) << "update file nested deeper than" << MaxDepth;
                result.status = Status::TooDeep;
                return result;
            }
            if (depth == 2 && !infoSeen && xml.name() == QLatin1String("Program_Info")) {
                infoSeen = true;
                infoDepth = depth;
            } else if (depth == 3 && infoDepth && !versionSeen &&
                       xml.name() == QLatin1String("Program_Version")) {
                versionSeen = true;
                versionDepth = depth;
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == versionDepth)
                versionDepth = 0;
            if (depth == infoDepth)
                infoDepth = 0;
            --depth;
            break;
        case QXmlStreamReader::Characters:
            // A text of blanks alone between elements is no text, as in a DOM tree.
            if (versionDepth && (xml.isCDATA() || !xml.isWhitespace()))
                result.version += xml.text();
            break;
        default:
            break;
        }
    }
    if (xml.hasError()) {
        qCDebug(lcAbout) << "not XML, line" << xml.lineNumber() << xml.errorString();
        result.status = Status::NotXml;
        result.version.clear();
        return result;
    }
    if (!infoSeen) {
        result.version.clear();
        result.status = Status::NoProgramInfo;
        return result;
    }
    result.status = Status::Ok;
    return result;
}

} // namespace UpdateFile
