#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Turns an input file into the JPEG data of one PDF page. Pure functions of the file
// contents, safe to call from several threads at once.
namespace PdfPageSource {

// A page that exists only in memory (its files could not be written), read by
// every function below under key as if key were its file, while this lives.
// The key is what the caller passes as the page's path; errors name it.
class HeldPage
{
public:
    HeldPage(const QString &key, const QImage &image);
    ~HeldPage();
    HeldPage(const HeldPage &) = delete;
    HeldPage &operator=(const HeldPage &) = delete;

private:
    QString m_key;
};

// The whole file. False with "Unable to open file '<path>': <reason>" (or a read
// error) on failure; anything but a regular file (a FIFO, a device) is refused.
bool readFile(const QString &path, QByteArray &data, QString *error = nullptr);

// Decodes an image file (BMP, PNG, TIFF, ...) and encodes it as a baseline,
// three-component JPEG of quality 75, gray and black-and-white pages included.
// frame picks the page of a multi-page TIFF. A damaged file is refused.
bool bitmapPage(const QString &path, QByteArray &jpeg, QString *error = nullptr, int frame = 0);

// JPEG files (by name or by their start-of-image marker) are taken unchanged once a
// reduced decode has shown them whole; every other file goes through bitmapPage.
// Only regular files are read.
bool page(const QString &path, QByteArray &jpeg, QString *error = nullptr, int frame = 0);

// The same page with its decoded image as well, for text recognition: every file is
// decoded once, and a bitmap's JPEG is encoded from that image.
// encodeBitmap false: a file that is not a JPEG is only decoded and jpeg left
// empty, for a caller that changes the picture before it is encoded.
bool pageWithImage(const QString &path, QByteArray &jpeg, QImage &image, QString *error = nullptr,
                   int frame = 0, bool encodeBitmap = true);

// A decoded page encoded as the page JPEG (quality 75, three components). False,
// with the reason naming path, when it cannot be.
bool imagePage(const QImage &image, const QString &path, QByteArray &jpeg,
               QString *error = nullptr);

} // namespace PdfPageSource
