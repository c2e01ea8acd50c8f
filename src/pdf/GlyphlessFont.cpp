#include "pdf/GlyphlessFont.h"

#include <QVector>
#include <QtEndian>
#include <algorithm>

namespace {

void put16(QByteArray &out, quint16 value)
{
    out += char(value >> 8);
    out += char(value & 0xff);
}

void put32(QByteArray &out, quint32 value)
{
    put16(out, quint16(value >> 16));
    put16(out, quint16(value & 0xffff));
}

quint32 checksum(const QByteArray &table)
{
    QByteArray padded = table;
    padded.append(QByteArray((4 - padded.size() % 4) % 4, '\0'));
    quint32 sum = 0;
    for (int i = 0; i < padded.size(); i += 4)
        sum += qFromBigEndian<quint32>(padded.constData() + i);
    return sum;
}

struct Table
{
    QByteArray tag;
    QByteArray data;
};

constexpr int kGlyphs = 2; // .notdef and the one glyph every CID uses
constexpr int kUnitsPerEm = 1000;

QByteArray head()
{
    QByteArray t;
    put32(t, 0x00010000); // version
    put32(t, 0x00010000); // fontRevision
    put32(t, 0);          // checkSumAdjustment, set once the font is whole
    put32(t, 0x5F0F3CF5); // magic
    put16(t, 0x000B);     // baseline at y=0, integer scaling
    put16(t, kUnitsPerEm);
    put32(t, 0);
    put32(t, 0); // created
    put32(t, 0);
    put32(t, 0); // modified
    put16(t, 0);
    put16(t, 0);
    put16(t, GlyphlessFont::kAdvance);
    put16(t, kUnitsPerEm); // bounding box
    put16(t, 0);           // macStyle
    put16(t, 3);           // lowestRecPPEM
    put16(t, 2);           // fontDirectionHint
    put16(t, 0);           // short loca offsets
    put16(t, 0);           // glyphDataFormat
    return t;
}

QByteArray hhea()
{
    QByteArray t;
    put32(t, 0x00010000);
    put16(t, kUnitsPerEm); // ascender
    put16(t, 0);           // descender
    put16(t, 0);           // lineGap
    put16(t, GlyphlessFont::kAdvance);
    put16(t, 0);
    put16(t, 0);
    put16(t, GlyphlessFont::kAdvance); // xMaxExtent
    put16(t, 1);                       // caret slope: upright
    put16(t, 0);
    put16(t, 0);
    for (int i = 0; i < 4; ++i)
        put16(t, 0);
    put16(t, 0); // metricDataFormat
    put16(t, kGlyphs);
    return t;
}

QByteArray maxp()
{
    QByteArray t;
    put32(t, 0x00010000);
    put16(t, kGlyphs);
    for (int i = 0; i < 13; ++i)  // no points, contours, zones or instructions
        put16(t, i == 4 ? 2 : 0); // maxZones is 2 without a twilight zone in use
    return t;
}

QByteArray hmtx()
{
    QByteArray t;
    for (int g = 0; g < kGlyphs; ++g) {
        put16(t, GlyphlessFont::kAdvance);
        put16(t, 0);
    }
    return t;
}

QByteArray loca()
{
    QByteArray t;
    for (int g = 0; g <= kGlyphs; ++g)
        put16(t, 0); // every glyph empty
    return t;
}

// Format 4 with only the closing segment: no character maps to a glyph; the PDF
// reaches glyphs through the CID map instead.
QByteArray cmap()
{
    QByteArray t;
    put16(t, 0);
    put16(t, 1);
    put16(t, 3);
    put16(t, 1);
    put32(t, 12);
    put16(t, 4);  // format
    put16(t, 24); // length
    put16(t, 0);  // language
    put16(t, 2);  // segCountX2
    put16(t, 2);  // searchRange
    put16(t, 0);  // entrySelector
    put16(t, 0);  // rangeShift
    put16(t, 0xFFFF);
    put16(t, 0);
    put16(t, 0xFFFF);
    put16(t, 1);
    put16(t, 0);
    return t;
}

QByteArray post()
{
    QByteArray t;
    put32(t, 0x00030000); // no glyph names
    put32(t, 0);
    put16(t, quint16(-100));
    put16(t, 50);
    put32(t, 1); // fixed pitch
    for (int i = 0; i < 4; ++i)
        put32(t, 0);
    return t;
}

QByteArray buildFont()
{
    // Sorted by tag, as the table directory requires.
    QVector<Table> tables{{"cmap", cmap()}, {"glyf", QByteArray(4, '\0')},
                          {"head", head()}, {"hhea", hhea()},
                          {"hmtx", hmtx()}, {"loca", loca()},
                          {"maxp", maxp()}, {"post", post()}};
    const int count = int(tables.size());
    int power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    QByteArray font;
    put32(font, 0x00010000);
    put16(font, quint16(count));
    put16(font, quint16(power * 16));
    put16(font, quint16(log2));
    put16(font, quint16(count * 16 - power * 16));
    int offset = 12 + 16 * count;
    int headOffset = 0;
    for (const Table &table : tables) {
        font += table.tag;
        put32(font, checksum(table.data));
        put32(font, quint32(offset));
        put32(font, quint32(table.data.size()));
        if (table.tag == "head")
            headOffset = offset;
        offset += int(table.data.size() + 3) / 4 * 4;
    }
    for (const Table &table : tables) {
        font += table.data;
        font.append(QByteArray((4 - table.data.size() % 4) % 4, '\0'));
    }
    const quint32 adjustment = 0xB1B0AFBA - checksum(font);
    qToBigEndian<quint32>(adjustment, font.data() + headOffset + 8);
    return font;
}

} // namespace

namespace GlyphlessFont {

QByteArray trueTypeProgram()
{
    static const QByteArray font = buildFont();
    return font;
}

QByteArray cidToGidMap()
{
    static const QByteArray map = [] {
        QByteArray raw;
        raw.reserve(2 * 65536);
        for (int cid = 0; cid < 65536; ++cid)
            put16(raw, 1);
        // qCompress prefixes the zlib stream with its length in four bytes.
        return qCompress(raw, 9).mid(4);
    }();
    return map;
}

QByteArray toUnicodeMap()
{
    static const QByteArray map = [] {
        QByteArray cmap = "/CIDInit /ProcSet findresource begin\n"
                          "12 dict begin\n"
                          "begincmap\n"
                          "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> "
                          "def\n"
                          "/CMapName /Adobe-Identity-UCS def\n"
                          "/CMapType 2 def\n"
                          "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
        // A range may vary only in its last byte, and a block holds at most 100.
        for (int first = 0; first < 256; first += 100) {
            const int n = std::min(100, 256 - first);
            cmap += QByteArray::number(n) + " beginbfrange\n";
            for (int high = first; high < first + n; ++high) {
                const QByteArray h = QByteArray::number(high, 16).toUpper().rightJustified(2, '0');
                cmap += '<' + h + "00> <" + h + "FF> <" + h + "00>\n";
            }
            cmap += "endbfrange\n";
        }
        cmap += "endcmap\n"
                "CMapName currentdict /CMap defineresource pop\n"
                "end\n"
                "end\n";
        return cmap;
    }();
    return map;
}

} // namespace GlyphlessFont
