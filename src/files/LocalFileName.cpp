#include "files/LocalFileName.h"

#include <fcntl.h>

namespace {

constexpr char16_t EscapeBase = 0xDC00; // a byte b >= 0x80 that is not UTF-8: 0xDC00 + b

bool isContinuation(uchar c)
{
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at data[i] (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF) and its code point; 0 when none.
int sequence(const uchar *data, int size, int i, char32_t *codePoint)
{
    const uchar c = data[i];
    int length = 0;
    char32_t value = 0, minimum = 0;
    if (c < 0x80) {
        *codePoint = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        length = 2, value = c & 0x1F, minimum = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, value = c & 0x0F, minimum = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, value = c & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if (!isContinuation(data[i + k]))
            return 0;
        value = (value << 6) | (data[i + k] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

void appendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

namespace LocalFileName {

QString decode(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const int size = int(bytes.size());
    QString name;
    name.reserve(size);
    for (int i = 0; i < size;) {
        char32_t cp = 0;
        const int length = sequence(data, size, i, &cp);
        if (length == 0) {
            name += QChar(char16_t(EscapeBase + data[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            name += QChar(QChar::highSurrogate(cp));
            name += QChar(QChar::lowSurrogate(cp));
        } else {
            name += QChar(char16_t(cp));
        }
        i += length;
    }
    return name;
}

QByteArray encode(const QString &name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < name.size() &&
            QChar::isLowSurrogate(name.at(i + 1).unicode())) {
            appendUtf8(bytes, QChar::surrogateToUcs4(u, name.at(i + 1).unicode()));
            ++i;
        } else if (u >= EscapeBase + 0x80 && u <= EscapeBase + 0xFF) {
            bytes += char(u - EscapeBase);
        } else if (QChar::isSurrogate(u)) {
            appendUtf8(bytes, 0xFFFD); // as Qt writes a lone surrogate
        } else {
            appendUtf8(bytes, u);
        }
    }
    return bytes;
}

int open(const QString &name, int flags, unsigned mode)
{
    return ::open(encode(name).constData(), flags, mode_t(mode));
}

} // namespace LocalFileName
