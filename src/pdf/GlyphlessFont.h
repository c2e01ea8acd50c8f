#pragma once

#include <QByteArray>

// The pieces of the invisible font that carries a searchable PDF's text layer: a
// TrueType program whose glyphs draw nothing, the map sending every CID to its one
// empty glyph, and a /ToUnicode map that reads each two-byte code as the UTF-16
// code unit it is. Text drawn with it in render mode 3 is never seen, whatever its
// script, but search, selection and copy find it. Every piece is the same for every
// document.
namespace GlyphlessFont {

// Advance of every glyph in thousandths of the font size.
constexpr int kAdvance = 500;

QByteArray trueTypeProgram();
// Flate-compressed: 65536 two-byte entries, each naming glyph 1.
QByteArray cidToGidMap();
QByteArray toUnicodeMap();

} // namespace GlyphlessFont
