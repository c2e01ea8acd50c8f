#pragma once

#include <QByteArray>
#include <QString>

// Whether JPEG data that is to be embedded unchanged can be decoded at all: a
// decode at one eighth of the size still reads every entropy-coded segment, so a
// file cut short, one without image data and one with damaged data are all found,
// at a small part of the cost of a full decode. libjpeg's warnings count as
// failures, as they mean the picture would come out damaged.
namespace JpegCheck {

// True when the whole image decodes without error or warning; otherwise false
// with libjpeg's reason in *reason.
bool decodes(const QByteArray &jpeg, QString *reason = nullptr);

} // namespace JpegCheck
