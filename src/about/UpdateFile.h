#pragma once

#include <QByteArray>
#include <QString>

// Reads the version an update file announces: the document element (any name),
// its first child element Program_Info, and that element's first child element
// Program_Version, whose text (that of its descendants too) is the announcement.
// A Program_Info without Program_Version announces the empty text.
//
// The answer comes from a server and is not trusted: one streaming pass, no tree,
// and it stops at a nesting depth of MaxDepth or at MaxSize bytes. Qt's reader
// compares every attribute of a tag with every other one, so a tag with more than
// MaxAttributes is refused before it is parsed; a document type declaration is
// refused too (the update file needs none, and its entities are a way to make
// the reader work hard). So the time taken grows only with the size and has a bound.
namespace UpdateFile {

constexpr int MaxDepth = 32;
constexpr int MaxAttributes = 64;
constexpr qsizetype MaxSize = 1024 * 1024;

enum class Status
{
    Ok,            // well-formed, Program_Info found; version holds the announcement
    NotXml,        // not a well-formed XML document
    NoProgramInfo, // the document element has no Program_Info child
    TooDeep,       // elements nested more than MaxDepth deep
    TooComplex,    // a tag with more than MaxAttributes, or a document type declaration
    TooLarge,      // more than MaxSize bytes
};

struct Result
{
    Status status = Status::NotXml;
    QString version;
};

Result read(const QByteArray &data);

} // namespace UpdateFile
